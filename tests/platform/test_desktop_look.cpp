// The desktop's look and the placement of windows: which platform theme is
// asked for, when the desktop counts as dark, its accent and font, a
// settings portal followed over a private session bus, and where a window
// goes when the character stands on another screen.
#include "DesktopLook.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

using namespace kestrova;
using DesktopLook::DarkHints;
using DesktopLook::ThemeChoice;
Q_DECLARE_METATYPE(DarkHints)

// A settings portal of the test's own on the session bus: answers Read
// with the values it holds, as real portals do (a variant in a variant),
// and can report a change.
class StandInPortal : public QDBusVirtualObject {
public:
    QHash<QString, QVariant> values; // "namespace key" -> value
    int reads = 0;

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != u"org.freedesktop.portal.Settings" || message.member() != u"Read")
            return false;
        ++reads;
        const QList<QVariant> args = message.arguments();
        const QString key = args.value(0).toString() + u' ' + args.value(1).toString();
        if (!values.contains(key)) {
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                                     QStringLiteral("Requested setting not found")));
            return true;
        }
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(values[key]))))));
        return true;
    }
    void change(const QDBusConnection &connection, const QString &ns, const QString &key, const QVariant &value)
    {
        values[ns + u' ' + key] = value;
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << ns << key << QVariant::fromValue(QDBusVariant(value));
        connection.send(signal);
    }
};

class TestDesktopLook : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void platformTheme();
    void darkHints();
    void darkPaletteReads();
    void accentAndFont_data();
    void accentAndFont();
    void applyFollowsTheHints();
    void portalIsFollowed();
    void placement_data();
    void placement();
};

void TestDesktopLook::platformTheme()
{
    // Where Qt would load GTK 3 by itself, it is shown no desktop in
    // particular, and the program follows the desktop itself.
    ThemeChoice gnome{QString(), QStringLiteral("ubuntu:GNOME"), false, false};
    QCOMPARE(DesktopLook::desktopNameForQt(gnome), QByteArray("X-Generic"));
    QVERIFY(DesktopLook::followsDesktop(gnome));
    QCOMPARE(DesktopLook::desktopNameForQt({QString(), QStringLiteral("XFCE"), false, false}), QByteArray("X-Generic"));
    QCOMPARE(DesktopLook::desktopNameForQt({QString(), QStringLiteral("X-Cinnamon"), false, false}),
             QByteArray("X-Generic"));
    // An older GNOME session names itself only in DESKTOP_SESSION.
    QCOMPARE(DesktopLook::desktopNameForQt({QString(), QString(), false, true}), QByteArray("X-Generic"));
    // The user's own choice wins, whatever it is, and is not overridden.
    ThemeChoice own = gnome;
    own.requested = QStringLiteral("gtk3");
    QCOMPARE(DesktopLook::desktopNameForQt(own), QByteArray());
    QVERIFY(!DesktopLook::followsDesktop(own));
    // KDE's theme already follows KDE, named in either way.
    for (const char *desktop : {"KDE", "X-Generic:kde"}) {
        ThemeChoice kde = gnome;
        kde.currentDesktop = QString::fromLatin1(desktop);
        QCOMPARE(DesktopLook::desktopNameForQt(kde), QByteArray());
        QVERIFY(!DesktopLook::followsDesktop(kde));
    }
    ThemeChoice plasma = gnome;
    plasma.kdeSession = true;
    QVERIFY(!DesktopLook::followsDesktop(plasma));
    // A bare window manager: Qt's own choice loads no toolkit; the program
    // still follows what GTK's settings say.
    ThemeChoice bare{QString(), QString(), false, false};
    QCOMPARE(DesktopLook::desktopNameForQt(bare), QByteArray());
    QVERIFY(DesktopLook::followsDesktop(bare));
}

void TestDesktopLook::darkHints()
{
    // colour scheme, GTK_THEME, settings.ini, gtk-theme
    const auto hints = [](const QString &scheme, const QString &env, const QString &ini, const QString &theme) {
        DarkHints h;
        h.colorScheme = scheme;
        h.gtkThemeEnv = env;
        h.gtkSettingsIni = ini;
        h.gtkThemeSetting = theme;
        return h;
    };
    QVERIFY(!DesktopLook::prefersDark(DarkHints{}));
    QVERIFY(DesktopLook::prefersDark(hints(QStringLiteral("'prefer-dark'"), {}, {}, {})));
    QVERIFY(!DesktopLook::prefersDark(hints(QStringLiteral("'default'"), {}, {}, {})));
    QVERIFY(DesktopLook::prefersDark(hints({}, QStringLiteral("Adwaita:dark"), {}, {})));
    QVERIFY(!DesktopLook::prefersDark(hints({}, QStringLiteral("Adwaita"), {}, {})));
    QVERIFY(DesktopLook::prefersDark(hints({}, {}, QStringLiteral("[Settings]\ngtk-application-prefer-dark-theme=1\n"), {})));
    QVERIFY(DesktopLook::prefersDark(hints({}, {}, QStringLiteral("[Settings]\ngtk-application-prefer-dark-theme = true\n"), {})));
    QVERIFY(!DesktopLook::prefersDark(hints({}, {}, QStringLiteral("[Settings]\ngtk-application-prefer-dark-theme=0\n"), {})));
    QVERIFY(DesktopLook::prefersDark(hints({}, {}, QStringLiteral("[Settings]\ngtk-theme-name=Adwaita-dark\n"), {})));
    // A key outside the [Settings] group, or commented out, says nothing.
    QVERIFY(!DesktopLook::prefersDark(hints({}, {}, QStringLiteral("[Other]\ngtk-theme-name=Adwaita-dark\n[Settings]\ngtk-theme-name=Adwaita\n"), {})));
    QVERIFY(!DesktopLook::prefersDark(hints({}, {}, QStringLiteral("[Settings]\n# gtk-application-prefer-dark-theme=1\n"), {})));
    QVERIFY(DesktopLook::prefersDark(hints({}, {}, {}, QStringLiteral("'Yaru-dark'"))));
    // The desktop's own "prefer light" is believed over a dark theme name.
    QVERIFY(!DesktopLook::prefersDark(hints(QStringLiteral("'prefer-light'"), QStringLiteral("Adwaita:dark"), {}, {})));
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

void TestDesktopLook::accentAndFont_data()
{
    QTest::addColumn<DarkHints>("hints");
    QTest::addColumn<QColor>("accent");
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");
    DarkHints none;
    QTest::newRow("nothing published") << none << QColor() << QString() << qreal(0) << false;
    DarkHints gnome;
    gnome.accentName = QStringLiteral("'teal'");
    gnome.fontName = QStringLiteral("'Cantarell 11'");
    QTest::newRow("GNOME's settings") << gnome << QColor(0x2190a4) << QStringLiteral("Cantarell") << qreal(11) << false;
    DarkHints portal = gnome;
    portal.portalAccent = QColor::fromRgbF(1, 0.5, 0);
    portal.fontName = QStringLiteral("DejaVu Sans Bold Italic 10.5");
    QTest::newRow("the portal's accent over GNOME's") << portal << QColor::fromRgbF(1, 0.5, 0)
                                                      << QStringLiteral("DejaVu Sans") << qreal(10.5) << true;
    DarkHints ini;
    ini.gtkSettingsIni = QStringLiteral("[Settings]\ngtk-font-name=Noto Sans, Sans Semi-Bold 12\n");
    QTest::newRow("GTK settings file") << ini << QColor() << QStringLiteral("Noto Sans") << qreal(12) << true;
    DarkHints odd;
    odd.accentName = QStringLiteral("'chartreuse'");
    odd.fontName = QStringLiteral("'Bold 500'"); // no family, a size no one means
    QTest::newRow("unknown accent, no family") << odd << QColor() << QString() << qreal(0) << false;
}

void TestDesktopLook::accentAndFont()
{
    QFETCH(DarkHints, hints);
    QFETCH(QColor, accent);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(bool, bold);
    QCOMPARE(DesktopLook::accent(hints).isValid(), accent.isValid());
    if (accent.isValid())
        QCOMPARE(DesktopLook::accent(hints).rgb(), accent.rgb());
    QFont base(QStringLiteral("Base Family"), 9);
    const QFont f = DesktopLook::font(hints, base);
    if (family.isEmpty()) {
        QCOMPARE(f.family(), base.family());
        QCOMPARE(f.pointSizeF(), base.pointSizeF());
        return;
    }
    QCOMPARE(f.families().value(0), family);
    QCOMPARE(f.pointSizeF(), points);
    QCOMPARE(f.bold(), bold);
}

void TestDesktopLook::applyFollowsTheHints()
{
    const QPalette before = QApplication::palette();
    const QFont fontBefore = QApplication::font();
    // A dark desktop with an accent: the dark palette, selected text that
    // reads on the accent, and Fusion to draw it.
    DarkHints dark;
    dark.portalColorScheme = 1;
    dark.portalAccent = QColor(0xf6, 0xd3, 0x2d); // a light yellow
    DesktopLook::apply(dark);
    QVERIFY(DesktopLook::isDark(QApplication::palette()));
    QCOMPARE(QApplication::style()->name().toLower(), QString("fusion"));
    QCOMPARE(QApplication::palette().color(QPalette::Highlight).rgb(), dark.portalAccent.rgb());
    QCOMPARE(QApplication::palette().color(QPalette::HighlightedText), QColor(Qt::black));
    // The portal's "prefer light" is believed over a dark GTK theme.
    DarkHints light;
    light.portalColorScheme = 2;
    light.gtkThemeEnv = QStringLiteral("Adwaita:dark");
    light.fontName = QStringLiteral("'Serif 13'");
    DesktopLook::apply(light);
    QVERIFY(!DesktopLook::isDark(QApplication::palette()));
    QCOMPARE(QApplication::font().pointSizeF(), 13.0);
    QCOMPARE(QApplication::font().families().value(0), QString("Serif"));
    QApplication::setPalette(before);
    QApplication::setFont(fontBefore);
}

void TestDesktopLook::portalIsFollowed()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus (the test is run under dbus-run-session)");
    // The portal has a connection of its own, so every call crosses the bus.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"));
    QVERIFY(bus.isConnected());
    const QPalette before = QApplication::palette();
    const QFont fontBefore = QApplication::font();
    StandInPortal portal;
    portal.values[QStringLiteral("org.freedesktop.appearance color-scheme")] = QVariant::fromValue(uint(1));
    portal.values[QStringLiteral("org.gnome.desktop.interface font-name")] = QStringLiteral("Serif 14");
    QVERIFY(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal));
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    DesktopLook::Follower follower;
    QSignalSpy applied(&follower, &DesktopLook::Follower::applied);
    follower.start();
    // Nothing is waited for: until the portal answers, the look is the
    // local one.
    QVERIFY(!DesktopLook::isDark(QApplication::palette()));
    QVERIFY(applied.wait(5000));
    QCOMPARE(portal.reads, 3);
    QVERIFY(DesktopLook::isDark(QApplication::palette()));
    QCOMPARE(QApplication::font().pointSizeF(), 14.0);

    // The desktop turns light while the program runs.
    portal.change(bus, QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
                  QVariant::fromValue(uint(2)));
    QVERIFY(applied.wait(5000));
    QVERIFY(!DesktopLook::isDark(QApplication::palette()));

    bus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    QApplication::setPalette(before);
    QApplication::setFont(fontBefore);
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
