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

QTEST_MAIN(TestWindowPlacement)
#include "test_window_placement.moc"
