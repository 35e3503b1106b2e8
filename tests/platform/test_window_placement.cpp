// Where the character's window goes when the monitors change: it stays
// where the user can see and reach it, and one left on no monitor is
// brought onto the primary one.
#include "WindowPlacement.h"

#include <QTest>

using namespace kestrova;

class TestWindowPlacement : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keptOnScreens_data();
    void keptOnScreens();
    void tilingDesktops();
    void clearOfTheCharacter();
};

void TestWindowPlacement::keptOnScreens_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QPoint>("expected");

    const QRect left(0, 0, 1280, 800);
    const QRect right(1280, 0, 1920, 1080);
    const QSize character(136, 142);
    // Both monitors there: wherever it stands on one, it stays.
    QTest::newRow("on the primary") << QRect(QPoint(600, 400), character) << QList<QRect>{left, right}
                                    << QPoint(600, 400);
    QTest::newRow("on the second") << QRect(QPoint(2000, 900), character) << QList<QRect>{left, right}
                                   << QPoint(2000, 900);
    QTest::newRow("across both") << QRect(QPoint(1200, 300), character) << QList<QRect>{left, right}
                                 << QPoint(1200, 300);
    // Beside the pointer at the left edge: partly outside, on purpose.
    QTest::newRow("partly outside") << QRect(QPoint(-20, 300), character) << QList<QRect>{left}
                                    << QPoint(-20, 300);
    // The right monitor unplugged: onto the primary, the nearest place there
    // (its available area ends above a 40 px panel).
    QTest::newRow("its monitor gone") << QRect(QPoint(2000, 500), character) << QList<QRect>{left}
                                      << QPoint(1280 - 136, 500);
    QTest::newRow("below, monitor gone") << QRect(QPoint(2000, 1000), character) << QList<QRect>{left}
                                         << QPoint(1280 - 136, 760 - 142);
    // A saved rest position far away, or above and left of every screen.
    QTest::newRow("far away") << QRect(QPoint(9000, 9000), character) << QList<QRect>{left} << QPoint(1144, 618);
    QTest::newRow("above left") << QRect(QPoint(-500, -500), character) << QList<QRect>{left} << QPoint(0, 0);
    // A sliver left on a screen cannot be taken hold of: moved.
    QTest::newRow("a sliver on the primary") << QRect(QPoint(-120, 300), character) << QList<QRect>{left}
                                             << QPoint(0, 300);
    QTest::newRow("a sliver at the bottom") << QRect(QPoint(400, 790), character) << QList<QRect>{left}
                                            << QPoint(400, 760 - 142);
    // Exactly a corner's worth in view is enough.
    QTest::newRow("a corner in view") << QRect(QPoint(1280 - 32, 800 - 32), character) << QList<QRect>{left}
                                      << QPoint(1280 - 32, 800 - 32);
    // A gap between two monitors of different heights (the right one ends
    // higher): nothing of it on either.
    QTest::newRow("in the gap") << QRect(QPoint(1300, 1500), character)
                                << QList<QRect>{left, QRect(1280, 0, 1920, 1080)} << QPoint(1144, 618);
    // No screens reported at all (between two monitor changes): left alone
    // only while the primary area is unknown.
    QTest::newRow("no screens") << QRect(QPoint(300, 300), character) << QList<QRect>{} << QPoint(300, 300);
}

void TestWindowPlacement::keptOnScreens()
{
    QFETCH(QRect, frame);
    QFETCH(QList<QRect>, screens);
    QFETCH(QPoint, expected);
    // The primary's available area: the left monitor without a 40 px panel.
    const QRect primaryArea(0, 0, 1280, 760);
    const QPoint at = WindowPlacement::keptOnScreens(frame, screens, primaryArea);
    QCOMPARE(at, expected);
    // Wherever it ends, a corner of it can be taken hold of.
    if (!screens.isEmpty()) {
        const QRect now(at, frame.size());
        bool reachable = false;
        for (const QRect &s : std::as_const(screens)) {
            const QRect seen = s.intersected(now);
            reachable = reachable || (seen.width() >= 32 && seen.height() >= 32);
        }
        QVERIFY(reachable);
    }
}

void TestWindowPlacement::tilingDesktops()
{
    auto with = [](std::initializer_list<std::pair<const char *, const char *>> values) {
        QProcessEnvironment environment;
        for (const auto &[name, value] : values)
            environment.insert(QString::fromLatin1(name), QString::fromLatin1(value));
        return WindowPlacement::tilingDesktop(environment);
    };
    QVERIFY(with({{"SWAYSOCK", "/run/user/1000/sway-ipc.1000.42.sock"}}));
    QVERIFY(with({{"I3SOCK", "/run/user/1000/i3/ipc-socket.42"}}));
    QVERIFY(with({{"XDG_CURRENT_DESKTOP", "sway"}}));
    QVERIFY(with({{"XDG_CURRENT_DESKTOP", "X-Generic:i3"}}));
    QVERIFY(!with({}));
    QVERIFY(!with({{"SWAYSOCK", ""}, {"XDG_CURRENT_DESKTOP", "GNOME"}}));
    QVERIFY(!with({{"XDG_CURRENT_DESKTOP", "KDE"}}));
    QVERIFY(!with({{"XDG_CURRENT_DESKTOP", "XFCE"}}));
    QVERIFY(!with({{"XDG_CURRENT_DESKTOP", "swayfx-like:i3wm"}})); // names are matched whole
}

// A window opened beside the character at the top left of a small screen
// (twice the scale on 1024x768): it stands clear where it can, else it
// covers as little of the character as the screen allows.
void TestWindowPlacement::clearOfTheCharacter()
{
    const QRect area(0, 0, 512, 384);
    const QRect character(0, 0, 136, 142);
    const QPoint middle(40, 60);
    const auto hidden = [&](const QRect &window) {
        const QRect both = window.intersected(character);
        return both.isEmpty() ? 0 : both.width() * both.height();
    };

    // Narrow enough to stand right of it.
    const QSize narrow(300, 250);
    QCOMPARE(WindowPlacement::clearOf(narrow, area, character, {}, QPoint(106, 67)), QPoint(144, 0));

    // Too wide to stand beside it and too tall to stand below it: it goes to
    // the far corner, and the character hides only the window's corner.
    const QSize about(449, 299);
    const QRect placed(WindowPlacement::clearOf(about, area, character, {}, middle), about);
    QCOMPARE(placed, QRect(QPoint(63, 85), about));
    QVERIFY(area.contains(placed));
    QCOMPARE(hidden(placed), (136 - 63) * (142 - 85));
    QVERIFY(hidden(placed) < hidden(QRect(middle, about)));

    // As large as the screen: nothing better than where it was asked to be.
    QCOMPARE(WindowPlacement::clearOf(area.size(), area, character, {}, QPoint(0, 0)), QPoint(0, 0));

    // A menu with nowhere clear (no place asked for) still keeps inside.
    const QPoint menu = WindowPlacement::clearOf(QSize(500, 380), area, character, {});
    QVERIFY(area.contains(QRect(menu, QSize(500, 380))));
    QCOMPARE(menu, QPoint(12, 4));

    // Narrowed to stand right of it (the side with more room), not below
    // what the window allows, and only where that is needed.
    QCOMPARE(WindowPlacement::widthBeside(about, 200, area, character), std::optional<int>(512 - 136 - 8));
    const QRect besideIt(WindowPlacement::clearOf(QSize(368, 330), area, character, {}, middle), QSize(368, 330));
    QVERIFY(area.contains(besideIt));
    QVERIFY(!besideIt.intersects(character));
    QCOMPARE(WindowPlacement::widthBeside(about, 400, area, character), std::nullopt);
    QCOMPARE(WindowPlacement::widthBeside(narrow, 200, area, character), std::nullopt);
    QCOMPARE(WindowPlacement::widthBeside(about, 200, area, QRect()), std::nullopt);
    // At the right edge, the room is on the left.
    const QRect atRight(400, 100, 112, 140);
    QCOMPARE(WindowPlacement::widthBeside(about, 200, area, atRight), std::optional<int>(400 - 8));

    // Shortened to stand below it (the side with more room), no shorter than
    // the window allows, only where needed; above it where the character
    // stands low.
    const QSize wide(500, 354);
    QCOMPARE(WindowPlacement::heightBeside(wide, 200, area, character), std::optional<int>(384 - 142 - 8));
    const QRect belowIt(WindowPlacement::clearOf(QSize(500, 234), area, character, {}, middle), QSize(500, 234));
    QVERIFY(area.contains(belowIt));
    QVERIFY(!belowIt.intersects(character));
    QCOMPARE(WindowPlacement::heightBeside(wide, 240, area, character), std::nullopt);
    QCOMPARE(WindowPlacement::heightBeside(QSize(500, 200), 150, area, character), std::nullopt);
    QCOMPARE(WindowPlacement::heightBeside(wide, 200, area, QRect()), std::nullopt);
    const QRect low(200, 300, 112, 84);
    QCOMPARE(WindowPlacement::heightBeside(wide, 200, area, low), std::optional<int>(300 - 8));
}

QTEST_MAIN(TestWindowPlacement)
#include "test_window_placement.moc"
