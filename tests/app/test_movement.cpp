#include "CharacterRef.h"
#include "Fakes.h"
#include "Movement.h"
#include "RecordingCharacter.h"
#include "SettingsStore.h"
#include "SystemPlatform.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova;

class TestMovement : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void restPosition_data();
    void restPosition();
    void besideAWindow_data();
    void besideAWindow();
    void pointerMoves();
    void pointerUnseen();
    void xwaylandByPlatformAndScreens();
};

void TestMovement::restPosition_data()
{
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<int>("restX");
    QTest::addColumn<int>("restY");
    // What the log says about the stored values, in order.
    QTest::addColumn<QStringList>("logged");
    QTest::newRow("absent") << QString() << QString() << 0 << 0 << QStringList();
    QTest::newRow("stored") << "640" << "480" << 640 << 480 << QStringList();
    QTest::newRow("word") << "abc" << "12" << 0 << 12 << QStringList{"Rest/X holds \"abc\".*0 is used"};
    QTest::newRow("halves to even") << "10.5" << "11.5" << 10 << 12 << QStringList();
    QTest::newRow("out of range") << "40000" << "-40000" << 0 << 0
                                  << QStringList{"Rest/X holds \"40000\"", "Rest/Y holds \"-40000\""};
    QTest::newRow("negative") << "-20" << "-5" << -20 << -5 << QStringList();
    QTest::newRow("blank") << " " << "" << 0 << 0 << QStringList();
}

void TestMovement::restPosition()
{
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(int, restX);
    QFETCH(int, restY);
    QFETCH(QStringList, logged);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    if (!x.isNull())
        store.write("Kestrova", "Rest", "X", x);
    if (!y.isNull())
        store.write("Kestrova", "Rest", "Y", y);
    // Lines expected are taken first; any other about the rest position fails.
    QTest::failOnWarning(QRegularExpression("Rest/[XY]"));
    for (const QString &line : logged)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(line));
    Movement m;
    m.LoadRestPosition(store);
    QCOMPARE(int(m.RestX), restX);
    QCOMPARE(int(m.RestY), restY);

    test::RecordingCharacter c;
    character::CharacterRef agent(&c);
    m.MoveToRest(agent);
    QCOMPARE(c.log, QStringList{QString("MoveTo %1 %2").arg(restX).arg(restY)});
}

void TestMovement::besideAWindow_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QString>("move");
    QTest::newRow("right of the window") << QRect(60, 30, 240, 300) << "MoveTo 300 30";
    QTest::newRow("no room right: left of it") << QRect(1100, 50, 150, 300) << "MoveTo 972 50";
    QTest::newRow("kept below the top") << QRect(100, -40, 200, 200) << "MoveTo 300 0";
    QTest::newRow("kept above the bottom") << QRect(100, 760, 200, 100) << "MoveTo 300 672";
    QTest::newRow("window as wide as the screen") << QRect(0, 10, 1280, 400) << "MoveTo 0 10";
}

void TestMovement::besideAWindow()
{
    QFETCH(QRect, frame);
    QFETCH(QString, move);
    test::RecordingCharacter c;
    character::CharacterRef agent(&c);
    Movement m;
    m.MoveToTarget(agent, frame, QRect(0, 0, 1280, 800), QSize(128, 128));
    QCOMPARE(c.log, QStringList{move});
    QCOMPARE(QString("MoveTo %1 %2").arg(m.TargetX).arg(m.TargetY), move);
}

void TestMovement::pointerMoves()
{
    test::RecordingCharacter c;
    character::CharacterRef agent(&c);
    test::FakeMousePointer pointer;
    Movement m;
    pointer.where = QPoint(50, 300);
    m.MoveToMouse(agent, pointer);
    m.GestureAtMouse(agent, pointer);
    pointer.where = QPoint(40000, 5);
    m.GestureAtMouse(agent, pointer); // does not fit: skipped
    QCOMPARE(c.log, QStringList({"MoveTo -20 300", "GestureAt 50 300"}));

    character::CharacterRef none;
    m.MoveToMouse(none, pointer); // no character: nothing, no crash
}

void TestMovement::pointerUnseen()
{
    // Under XWayland with the pointer over a Wayland window the last place
    // over an X window is still reported: it is not gone to, nor pointed at.
    test::RecordingCharacter c;
    character::CharacterRef agent(&c);
    test::FakeMousePointer pointer;
    pointer.where = QPoint(48, 588);
    pointer.unseen = true;
    Movement m;
    m.MoveToMouse(agent, pointer);
    m.GestureAtMouse(agent, pointer);
    QCOMPARE(c.log, QStringList{"Speak I cannot see the mouse pointer there."});
    pointer.unseen = false;
    m.MoveToMouse(agent, pointer);
    QCOMPARE(c.log.last(), QString("MoveTo -22 588"));
}

void TestMovement::xwaylandByPlatformAndScreens()
{
    QVERIFY(runsUnderXWayland("xcb", {"XWAYLAND0"}));
    QVERIFY(runsUnderXWayland("xcb", {"XWAYLAND0", "XWAYLAND1"}));
    QVERIFY(!runsUnderXWayland("xcb", {}));
    QVERIFY(!runsUnderXWayland("xcb", {"screen"}));          // Xvfb
    QVERIFY(!runsUnderXWayland("xcb", {"HDMI-1", "eDP-1"})); // an X server on real outputs
    // Qt's own Wayland and offscreen platforms are not XWayland, whatever
    // their screens are called.
    QVERIFY(!runsUnderXWayland("wayland", {"XWAYLAND0"}));
    QVERIFY(!runsUnderXWayland("offscreen", {"XWAYLAND0"}));
}

QTEST_GUILESS_MAIN(TestMovement)
#include "test_movement.moc"
