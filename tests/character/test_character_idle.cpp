// The character left alone: idle animations now and then, calmer the
// longer nobody asks anything of it, and nothing drawn in between. Time is
// the test's own: minutes pass in a few milliseconds.

#include "ManualTimers.h"
#include "desktop/DesktopCharacter.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace kestrova::character;
using kestrova::test::ManualTimers;

namespace {

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");


// The test bot idling with Wave, then Greet, then GestureUp.
std::unique_ptr<DesktopCharacter> makeBot(ManualTimers &timers, bool allLevels = true)
{
    QString error;
    std::optional<CharacterModel> model = CharacterModel::load(TestbotFolder, &error);
    if (!model)
        qFatal("testbot does not load: %s", qPrintable(error));
    model->states.insert(QStringLiteral("idle-1"), {QStringLiteral("Wave")});
    if (allLevels) {
        model->states.insert(QStringLiteral("idle-2"), {QStringLiteral("Greet")});
        model->states.insert(QStringLiteral("idle-3"), {QStringLiteral("GestureUp")});
    }
    return std::make_unique<DesktopCharacter>(std::move(*model), std::make_unique<SilentVoice>(), timers);
}

DesktopCharacter::IdleTiming everyMs(int ms, int levelTwo = 600000, int levelThree = 900000)
{
    DesktopCharacter::IdleTiming t;
    t.levelTwoAfterMs = levelTwo;
    t.levelThreeAfterMs = levelThree;
    for (int k = 0; k < 3; ++k)
        t.minMs[k] = t.maxMs[k] = ms;
    return t;
}

bool showBot(DesktopCharacter &bot, ManualTimers &timers)
{
    bot.show();
    return timers.advanceUntil([&] { return bot.visible() && !bot.isBusy(); }, 3000);
}

// Time passes; what the windows were asked to draw is drawn.
void pass(ManualTimers &timers, qint64 ms)
{
    timers.advance(ms);
    QCoreApplication::processEvents();
}

const QStringList IdleNames = {QStringLiteral("Wave"), QStringLiteral("Greet"), QStringLiteral("GestureUp")};

// The idle animations that start within `ms`, in order (the return
// animations that follow some of them left out).
QStringList idlesWithin(DesktopCharacter &bot, ManualTimers &timers, int ms)
{
    QStringList seen;
    QString last = bot.currentAnimation();
    for (int t = 0; t < ms; t += 5) {
        timers.advance(5);
        const QString now = bot.currentAnimation();
        if (now != last && IdleNames.contains(now))
            seen << now;
        last = now;
    }
    return seen;
}

} // namespace

class TestCharacterIdle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void idleComesNowAndThenWithNothingDrawnBetween();
    void levelsGrowCalmerUntilSomethingHappens();
    void aMissingLevelTakesTheOneBelow();
    void noIdlingWhileBusyListeningOrHidden();
    void intervalIsPickedWithinItsBounds();
};

void TestCharacterIdle::idleComesNowAndThenWithNothingDrawnBetween()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    bot->setIdleTiming(everyMs(700));
    QVERIFY(showBot(*bot, timers));
    QVERIFY(bot->idleScheduled());
    QCOMPARE(bot->idleDueInMs(), 700);
    QVERIFY(timers.advanceUntil([&] { return bot->currentAnimation() == u"Wave"; }, 2000));
    // The one-shot ends and the character is back at rest, the next one
    // due: from then on nothing is drawn until it comes, and nothing else
    // waits to wake up.
    QVERIFY(timers.advanceUntil([&] { return bot->idleScheduled(); }, 3000));
    QCOMPARE(bot->idleDueInMs(), 700);
    QCOMPARE(timers.armedCount(), 1);
    pass(timers, 0);
    const int paints = bot->window()->paintCount();
    pass(timers, bot->idleDueInMs() - 1);
    QCOMPARE(bot->window()->paintCount(), paints);
    QVERIFY(bot->currentAnimation().isEmpty());
    pass(timers, 1);
    QCOMPARE(bot->currentAnimation(), QStringLiteral("Wave"));
    QVERIFY(bot->window()->paintCount() > paints);
}

void TestCharacterIdle::levelsGrowCalmerUntilSomethingHappens()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    bot->setIdleTiming(everyMs(150, 1500, 3500));
    QVERIFY(showBot(*bot, timers));
    const QStringList seen = idlesWithin(*bot, timers, 6000);
    // Each level's animation only after the one before, never back.
    const qsizetype firstGreet = seen.indexOf(QStringLiteral("Greet"));
    const qsizetype firstGesture = seen.indexOf(QStringLiteral("GestureUp"));
    QVERIFY2(seen.startsWith(QStringLiteral("Wave")), qPrintable(seen.join(u' ')));
    QVERIFY2(firstGreet > 0 && firstGesture > firstGreet, qPrintable(seen.join(u' ')));
    QCOMPARE(seen.lastIndexOf(QStringLiteral("Wave")), firstGreet - 1);
    QCOMPARE(seen.lastIndexOf(QStringLiteral("Greet")), firstGesture - 1);
    QCOMPARE(bot->idleLevel(), 3);

    // A request: lively again.
    bot->play(QStringLiteral("RestPose"));
    QVERIFY(timers.advanceUntil([&] { return !bot->isBusy(); }));
    QCOMPARE(bot->idleLevel(), 1);
    const QStringList after = idlesWithin(*bot, timers, 1200);
    QVERIFY2(!after.isEmpty() && after.first() == u"Wave", qPrintable(after.join(u' ')));
}

void TestCharacterIdle::aMissingLevelTakesTheOneBelow()
{
    ManualTimers timers;
    auto bot = makeBot(timers, false);
    bot->setIdleTiming(everyMs(150, 0, 0));
    QVERIFY(showBot(*bot, timers));
    QCOMPARE(bot->idleLevel(), 3);
    QVERIFY(timers.advanceUntil([&] { return bot->currentAnimation() == u"Wave"; }, 2000));
}

void TestCharacterIdle::noIdlingWhileBusyListeningOrHidden()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    bot->setIdleTiming(everyMs(100));
    QVERIFY(showBot(*bot, timers));
    bot->listen(true);
    QVERIFY(!bot->idleScheduled());
    QVERIFY(idlesWithin(*bot, timers, 500).isEmpty());
    bot->listen(false);
    QVERIFY(bot->idleScheduled());

    // A long request: its own animation, no idle cutting in.
    bot->think(QStringLiteral("A thought that takes its reading time, a good second or two."));
    QVERIFY(timers.advanceUntil([&] { return bot->isBusy(); }));
    QVERIFY(!bot->idleScheduled());
    QVERIFY(!idlesWithin(*bot, timers, 800).contains(QStringLiteral("Wave")));

    bot->stopAll();
    bot->hide();
    QVERIFY(timers.advanceUntil([&] { return !bot->visible() && !bot->isBusy(); }));
    QVERIFY(!bot->idleScheduled());
    // Hidden for an hour: nothing plays.
    QVERIFY(idlesWithin(*bot, timers, 3600 * 1000).isEmpty());
}

void TestCharacterIdle::intervalIsPickedWithinItsBounds()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    DesktopCharacter::IdleTiming t = everyMs(0);
    t.minMs[0] = 2000;
    t.maxMs[0] = 12000;
    bot->setIdleTiming(t);
    int choice = 0;
    bot->setPick([&](int count) { return std::min(choice, count - 1); });
    QVERIFY(showBot(*bot, timers));
    QCOMPARE(bot->idleDueInMs(), 2000);
    choice = 5;
    bot->play(QStringLiteral("RestPose"));
    QVERIFY(timers.advanceUntil([&] { return !bot->isBusy() && bot->idleScheduled(); }));
    QCOMPARE(bot->idleDueInMs(), 7000);
    choice = 1000;
    bot->play(QStringLiteral("RestPose"));
    QVERIFY(timers.advanceUntil([&] { return !bot->isBusy() && bot->idleScheduled(); }));
    QCOMPARE(bot->idleDueInMs(), 12000);
}

QTEST_MAIN(TestCharacterIdle)
#include "test_character_idle.moc"
