// The desktop's look and the placement of windows: which platform theme is
// asked for, when the desktop counts as dark, and where a window goes when
// the character stands on another screen.
#include "DesktopLook.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QStyle>
#include <QTest>

using namespace kestrova;
using DesktopLook::DarkHints;
using DesktopLook::ThemeChoice;

class TestDesktopLook : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void platformTheme();
    void darkHints();
    void darkPaletteReads();
    void fallbackOnlyWhenNeeded();
    void placement_data();
    void placement();
};

void TestDesktopLook::platformTheme()
{
    ThemeChoice gnome{QString(), QStringLiteral("ubuntu:GNOME"), false, true};
    QCOMPARE(DesktopLook::platformThemeFor(gnome), QByteArray("gtk3"));
    // The user's own choice wins, whatever it is.
    ThemeChoice own = gnome;
    own.requested = QStringLiteral("xdgdesktopportal");
    QCOMPARE(DesktopLook::platformThemeFor(own), QByteArray());
    // KDE's theme already follows KDE, named in either way.
    ThemeChoice kde = gnome;
    kde.currentDesktop = QStringLiteral("KDE");
    QCOMPARE(DesktopLook::platformThemeFor(kde), QByteArray());
    kde.currentDesktop = QStringLiteral("X-Generic:kde");
    QCOMPARE(DesktopLook::platformThemeFor(kde), QByteArray());
    ThemeChoice plasma = gnome;
    plasma.kdeSession = true;
    QCOMPARE(DesktopLook::platformThemeFor(plasma), QByteArray());
    // Without the plugin nothing is asked for: Qt would fall back anyway,
    // with a warning.
    ThemeChoice none = gnome;
    none.gtk3Available = false;
    QCOMPARE(DesktopLook::platformThemeFor(none), QByteArray());
    // No desktop named at all (a bare window manager): GTK's settings still
    // say how the user wants windows to look.
    ThemeChoice bare{QString(), QString(), false, true};
    QCOMPARE(DesktopLook::platformThemeFor(bare), QByteArray("gtk3"));
}

void TestDesktopLook::darkHints()
{
    QVERIFY(!DesktopLook::prefersDark({}));
    QVERIFY(DesktopLook::prefersDark({QStringLiteral("'prefer-dark'"), {}, {}, {}}));
    QVERIFY(!DesktopLook::prefersDark({QStringLiteral("'default'"), {}, {}, {}}));
    QVERIFY(DesktopLook::prefersDark({{}, QStringLiteral("Adwaita:dark"), {}, {}}));
    QVERIFY(!DesktopLook::prefersDark({{}, QStringLiteral("Adwaita"), {}, {}}));
    QVERIFY(DesktopLook::prefersDark(
        {{}, {}, QStringLiteral("[Settings]\ngtk-application-prefer-dark-theme=1\n"), {}}));
    QVERIFY(DesktopLook::prefersDark(
        {{}, {}, QStringLiteral("[Settings]\ngtk-application-prefer-dark-theme = true\n"), {}}));
    QVERIFY(!DesktopLook::prefersDark(
        {{}, {}, QStringLiteral("[Settings]\ngtk-application-prefer-dark-theme=0\n"), {}}));
    QVERIFY(DesktopLook::prefersDark({{}, {}, QStringLiteral("[Settings]\ngtk-theme-name=Adwaita-dark\n"), {}}));
    // A key outside the [Settings] group, or commented out, says nothing.
    QVERIFY(!DesktopLook::prefersDark(
        {{}, {}, QStringLiteral("[Other]\ngtk-theme-name=Adwaita-dark\n[Settings]\ngtk-theme-name=Adwaita\n"), {}}));
    QVERIFY(!DesktopLook::prefersDark(
        {{}, {}, QStringLiteral("[Settings]\n# gtk-application-prefer-dark-theme=1\n"), {}}));
    QVERIFY(DesktopLook::prefersDark({{}, {}, {}, QStringLiteral("'Yaru-dark'")}));
    // The desktop's own "prefer light" is believed over a dark theme name.
    QVERIFY(!DesktopLook::prefersDark({QStringLiteral("'prefer-light'"), QStringLiteral("Adwaita:dark"), {}, {}}));
}

void TestDesktopLook::darkPaletteReads()
{
    const QPalette p = DesktopLook::darkPalette();
    QVERIFY(DesktopLook::isDark(p));
    QVERIFY(!DesktopLook::isDark(QPalette(Qt::white)));
    // Text stands out from what it is written on, in boxes, on buttons, in
    // tips and selected.
    const auto contrast = [&p](QPalette::ColorRole fg, QPalette::ColorRole bg) {
        return std::abs(p.color(fg).lightness() - p.color(bg).lightness());
    };
    QVERIFY(contrast(QPalette::WindowText, QPalette::Window) > 150);
    QVERIFY(contrast(QPalette::Text, QPalette::Base) > 150);
    QVERIFY(contrast(QPalette::ButtonText, QPalette::Button) > 150);
    QVERIFY(contrast(QPalette::ToolTipText, QPalette::ToolTipBase) > 150);
    QVERIFY(contrast(QPalette::HighlightedText, QPalette::Highlight) > 100);
    // Disabled text is dimmer than enabled, yet still seen.
    const int enabled = p.color(QPalette::Active, QPalette::WindowText).lightness();
    const int disabled = p.color(QPalette::Disabled, QPalette::WindowText).lightness();
    const int window = p.color(QPalette::Window).lightness();
    QVERIFY(disabled < enabled && disabled > window + 40);
}

void TestDesktopLook::fallbackOnlyWhenNeeded()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    const QPalette before = QApplication::palette();
    QVERIFY(!DesktopLook::isDark(before));
    // A light desktop keeps the palette.
    QVERIFY(!DesktopLook::applyDarkFallback(*app, {QStringLiteral("'default'"), {}, {}, {}}));
    QCOMPARE(QApplication::palette().color(QPalette::Window), before.color(QPalette::Window));
    // A dark one gets the dark palette, and Fusion to draw it.
    QVERIFY(DesktopLook::applyDarkFallback(*app, {QStringLiteral("'prefer-dark'"), {}, {}, {}}));
    QVERIFY(DesktopLook::isDark(QApplication::palette()));
    QCOMPARE(QApplication::style()->name().toLower(), QString("fusion"));
    // Already dark: nothing more is done.
    QVERIFY(!DesktopLook::applyDarkFallback(*app, {QStringLiteral("'prefer-dark'"), {}, {}, {}}));
    QApplication::setPalette(before);
}

void TestDesktopLook::placement_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("windowArea");
    QTest::addColumn<QRect>("characterArea");
    QTest::addColumn<bool>("placedByWindow");
    QTest::addColumn<QPoint>("expected");
    const QRect left(0, 0, 1280, 776);   // a panel at the bottom
    const QRect right(1280, 24, 1920, 1056); // a panel at the top
    QTest::newRow("same screen: stays") << QRect(100, 80, 400, 300) << left << left << false << QPoint(100, 80);
    QTest::newRow("same screen, placed: stays") << QRect(900, 24, 200, 40) << left << left << true << QPoint(900, 24);
    QTest::newRow("other screen: centred") << QRect(0, 0, 400, 300) << left << right << false
                                           << QPoint(1280 + 760, 24 + 378);
    QTest::newRow("back to the first screen") << QRect(1500, 300, 400, 300) << right << left << false
                                              << QPoint(440, 238);
    // A window that placed itself (the toolbar at the top right) keeps its
    // place relative to the area, on the character's screen.
    QTest::newRow("placed: carried over") << QRect(1000, 24, 256, 40) << left << right << true
                                          << QPoint(1280 + 1000, 24 + 24);
    // Carried over beyond a smaller screen's edge: pulled back inside.
    QTest::newRow("placed: kept inside") << QRect(1600, 900, 300, 100) << right << left << true
                                         << QPoint(1600 - 1280, 776 - 100);
    // Larger than the area: its top left corner stays in view.
    QTest::newRow("larger than the area") << QRect(0, 0, 2000, 1200) << right << left << false << QPoint(0, 0);
    // A screen above another (negative coordinates).
    QTest::newRow("screen above") << QRect(10, 10, 200, 100) << left << QRect(0, -1080, 1920, 1080) << false
                                  << QPoint(860, -1080 + 490);
    // No area known for the character: the window stays.
    QTest::newRow("no character area") << QRect(10, 10, 200, 100) << left << QRect() << false << QPoint(10, 10);
}

void TestDesktopLook::placement()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, windowArea);
    QFETCH(QRect, characterArea);
    QFETCH(bool, placedByWindow);
    QFETCH(QPoint, expected);
    const QPoint at = WindowPlacement::placedAt(frame, windowArea, characterArea, placedByWindow);
    QCOMPARE(at, expected);
    if (characterArea.isValid() && frame.width() <= characterArea.width()
        && frame.height() <= characterArea.height())
        QVERIFY(characterArea.contains(QRect(at, frame.size())));
}

QTEST_MAIN(TestDesktopLook)
#include "test_desktop_look.moc"
