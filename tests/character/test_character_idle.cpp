// The character left alone: idle animations now and then, calmer the
// longer nobody asks anything of it, and nothing drawn in between.

#include "desktop/DesktopCharacter.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace kestrova::character;

namespace {

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");


// The test bot idling with Wave, then Greet, then GestureUp.
std::unique_ptr<DesktopCharacter> makeBot(bool allLevels = true)
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
    return std::make_unique<DesktopCharacter>(std::move(*model), std::make_unique<SilentVoice>());
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

bool showBot(DesktopCharacter &bot)
{
    bot.show();
    return QTest::qWaitFor([&] { return bot.visible() && !bot.isBusy(); }, 3000);
}

const QStringList IdleNames = {QStringLiteral("Wave"), QStringLiteral("Greet"), QStringLiteral("GestureUp")};

// The idle animations that start within `ms`, in order (the return
// animations that follow some of them left out).
QStringList idlesWithin(DesktopCharacter &bot, int ms)
{
    QStringList seen;
    QString last = bot.currentAnimation();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QTest::qWait(5);
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
    auto bot = makeBot();
    bot->setIdleTiming(everyMs(700));
    QVERIFY(showBot(*bot));
    QVERIFY(bot->idleScheduled());
    QTRY_COMPARE_WITH_TIMEOUT(bot->currentAnimation(), QStringLiteral("Wave"), 2000);
    // The one-shot ends and the character is back at rest, the next one
    // due: from then on nothing is drawn until it comes.
    QTRY_VERIFY_WITH_TIMEOUT(bot->idleScheduled(), 3000);
    QVERIFY(bot->idleDueInMs() > 400);
    const int paints = bot->window()->paintCount();
    QTest::qWait(bot->idleDueInMs() - 100);
    QCOMPARE(bot->window()->paintCount(), paints);
    QTRY_COMPARE_WITH_TIMEOUT(bot->currentAnimation(), QStringLiteral("Wave"), 1000);
    QVERIFY(bot->window()->paintCount() > paints);
}

void TestCharacterIdle::levelsGrowCalmerUntilSomethingHappens()
{
    auto bot = makeBot();
    bot->setIdleTiming(everyMs(150, 1500, 3500));
    QVERIFY(showBot(*bot));
    const QStringList seen = idlesWithin(*bot, 6000);
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
    QTRY_VERIFY(!bot->isBusy());
    QCOMPARE(bot->idleLevel(), 1);
    const QStringList after = idlesWithin(*bot, 1200);
    QVERIFY2(!after.isEmpty() && after.first() == u"Wave", qPrintable(after.join(u' ')));
}

void TestCharacterIdle::aMissingLevelTakesTheOneBelow()
{
    auto bot = makeBot(false);
    bot->setIdleTiming(everyMs(150, 0, 0));
    QVERIFY(showBot(*bot));
    QCOMPARE(bot->idleLevel(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(bot->currentAnimation(), QStringLiteral("Wave"), 2000);
}

void TestCharacterIdle::noIdlingWhileBusyListeningOrHidden()
{
    auto bot = makeBot();
    bot->setIdleTiming(everyMs(100));
    QVERIFY(showBot(*bot));
    bot->listen(true);
    QVERIFY(!bot->idleScheduled());
    QVERIFY(idlesWithin(*bot, 500).isEmpty());
    bot->listen(false);
    QVERIFY(bot->idleScheduled());

    // A long request: its own animation, no idle cutting in.
    bot->think(QStringLiteral("A thought that takes its reading time, a good second or two."));
    QTRY_VERIFY(bot->isBusy());
    QVERIFY(!bot->idleScheduled());
    QVERIFY(!idlesWithin(*bot, 800).contains(QStringLiteral("Wave")));

    bot->stopAll();
    bot->hide();
    QTRY_VERIFY(!bot->visible() && !bot->isBusy());
    QVERIFY(!bot->idleScheduled());
}

void TestCharacterIdle::intervalIsPickedWithinItsBounds()
{
    auto bot = makeBot();
    DesktopCharacter::IdleTiming t = everyMs(0);
    t.minMs[0] = 2000;
    t.maxMs[0] = 12000;
    bot->setIdleTiming(t);
    int choice = 0;
    bot->setPick([&](int count) { return std::min(choice, count - 1); });
    QVERIFY(showBot(*bot));
    // (A coarse timer may run up to 5 % long.)
    QVERIFY2(bot->idleDueInMs() > 1500 && bot->idleDueInMs() <= 2100, qPrintable(QString::number(bot->idleDueInMs())));
    choice = 1000;
    bot->play(QStringLiteral("RestPose"));
    QTRY_VERIFY(!bot->isBusy() && bot->idleScheduled());
    QVERIFY2(bot->idleDueInMs() > 10500 && bot->idleDueInMs() <= 12600, qPrintable(QString::number(bot->idleDueInMs())));
}

QTEST_MAIN(TestCharacterIdle)
#include "test_character_idle.moc"
