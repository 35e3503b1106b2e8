// The desktop character against a test character of plain shapes and a
// scripted voice: request order and completion, stopping, speech and the
// balloon, showing, hiding, moving, dragging, and the service's choice of
// character. The character's time is the test's own (ManualTimers), moved on
// wake-up by wake-up; only the balloon's reveal and the real voices run on
// the event loop's time.

#include "ManualTimers.h"
#include "AnimationPlayer.h"
#include "desktop/DesktopCharacter.h"
#include "desktop/ClearPlacement.h"
#include "desktop/DesktopCharacterService.h"
#include "desktop/VoiceEnrolmentWindow.h"
#include "desktop/Speaking.h"
#include "QtVoice.h"

#include <QApplication>
#include <QDir>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>
#include <QJsonDocument>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using namespace kestrova::character;
using kestrova::Timers;
using kestrova::test::ManualTimers;

// Waits in the test's time: the timers move on, wake-up by wake-up, until
// the condition holds or ms have passed.
#define TRY_VERIFY_WITHIN(cond, ms) QVERIFY2(timers.advanceUntil([&] { return bool(cond); }, ms), "not within " #ms " ms: " #cond)
#define TRY_VERIFY(cond) TRY_VERIFY_WITHIN(cond, 5000)
#define TRY_COMPARE_WITHIN(a, b, ms)                               \
    do {                                                           \
        timers.advanceUntil([&] { return (a) == (b); }, ms);       \
        QCOMPARE(a, b);                                            \
    } while (false)
#define TRY_COMPARE(a, b) TRY_COMPARE_WITHIN(a, b, 5000)

namespace {

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");

// A voice the test scripts: it writes down what it is told and reports back
// as its mode says.
class FakeVoice : public Voice {
    Q_OBJECT
public:
    enum Mode {
        Speaks,     // Speaking at once, Ready after speakMs
        Stuck,      // Speaking, and never Ready (no sound server)
        Late,       // an engine still starting: Speaking after 3 s, Ready speakMs later
        Silent,     // never begins and never reports
        Fails,      // the utterance fails shortly after say()
        Unavailable // known to have no engine
    };
    explicit FakeVoice(Timers &timers = Timers::system(), Mode mode = Speaks, int speakMs = 300)
        : timers(timers), mode(mode), speakMs(speakMs)
    {
    }
    // Calls f ms from now, on the voice's timers.
    void later(int ms, std::function<void()> f)
    {
        auto t = timers.timer(std::move(f));
        t->start(ms);
        pending.push_back(std::move(t));
    }

    bool isAvailable() const override { return mode != Unavailable; }
    bool isWorking() const override { return isAvailable() && !failedLast; }
    int say(const QString &text) override
    {
        said << text;
        const int utterance = next++;
        current = utterance;
        switch (mode) {
        case Speaks:
            later(0, [this, utterance] { Q_EMIT started(utterance); });
            later(speakMs, [this, utterance] {
                if (current == utterance)
                    Q_EMIT finished(utterance);
            });
            break;
        case Stuck:
            later(0, [this, utterance] { Q_EMIT started(utterance); });
            break;
        case Late:
            later(3000, [this, utterance] {
                if (current == utterance)
                    Q_EMIT started(utterance);
            });
            later(3000 + speakMs, [this, utterance] {
                if (current == utterance)
                    Q_EMIT finished(utterance);
            });
            break;
        case Silent:
            break;
        case Fails:
            later(12, [this, utterance] {
                failedLast = true;
                Q_EMIT failed(utterance);
            });
            break;
        case Unavailable:
            later(0, [this, utterance] { Q_EMIT failed(utterance); });
            break;
        }
        return utterance;
    }
    void stop() override
    {
        ++stops;
        current = 0;
    }

    Timers &timers;
    std::vector<std::unique_ptr<kestrova::Timer>> pending;
    Mode mode;
    int speakMs;
    QStringList said;
    int stops = 0;
    int next = 1;
    int current = 0;
    bool failedLast = false;
};

// Every completion in order, with when it came.
struct Completions {
    explicit Completions(Character *character, Timers &timers = Timers::system()) : timers(timers)
    {
        QObject::connect(character, &Character::requestComplete, character, [this](Request r) {
            done << r;
            at << now();
        });
    }
    qint64 now() const { return timers.elapsedMs(); }
    int count(Request r) const { return int(done.count(r)); }
    qint64 when(Request r) const
    {
        const qsizetype i = done.indexOf(r);
        return i < 0 ? -1 : at.at(i);
    }
    QList<Request> done;
    QList<qint64> at;
    Timers &timers;
};

std::unique_ptr<DesktopCharacter> makeBot(Timers &timers, std::unique_ptr<Voice> voice)
{
    QString error;
    std::optional<CharacterModel> model = CharacterModel::load(TestbotFolder, &error);
    if (!model)
        qFatal("testbot does not load: %s", qPrintable(error));
    return std::make_unique<DesktopCharacter>(std::move(*model), std::move(voice), timers);
}

std::unique_ptr<DesktopCharacter> makeBot(Timers &timers)
{
    return makeBot(timers, std::make_unique<FakeVoice>(timers));
}

FakeVoice *fakeVoice(DesktopCharacter &c)
{
    return static_cast<FakeVoice *>(c.voice());
}

// Shows the character and waits for it to be there.
bool showBot(DesktopCharacter &c, Completions &log)
{
    const Request r = c.show();
    if (auto *manual = dynamic_cast<ManualTimers *>(&log.timers))
        return manual->advanceUntil([&] { return log.count(r) == 1; }, 3000);
    return QTest::qWaitFor([&] { return log.count(r) == 1; }, 3000);
}

QPoint screenOf(const QWidget *w, QPoint local)
{
    return w->mapToGlobal(local);
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(local), QPointF(screenOf(w, local)), button, buttons, modifiers);
    QApplication::sendEvent(w, &event);
}

// Copies the test character into base/<name> as a character of that name.
void installBot(const QString &base, const QString &name)
{
    QDir().mkpath(base + u'/' + name);
    for (const QString &file : {QStringLiteral("character.json"), QStringLiteral("art.svg")})
        QFile::copy(TestbotFolder + u'/' + file, base + u'/' + name + u'/' + file);
}

// The test character with its "Show" animation made to loop for ever.
void installLoopingBot(const QString &base, const QString &name)
{
    installBot(base, name);
    QFile file(base + u'/' + name + QStringLiteral("/character.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonObject animations = o.value(QStringLiteral("animations")).toObject();
    animations[QStringLiteral("Show")] = QJsonDocument::fromJson(
        R"({"frames": [{"pose": "rest", "duration": 40, "branches": [{"to": 0, "probability": 100}]}]})").object();
    o[QStringLiteral("animations")] = animations;
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(o).toJson());
}

} // namespace

class TestDesktopCharacter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { ShapedWindow::setCompositorOverride(std::nullopt); }
    void serviceTellsWhichCharacterItRefused();

    void requestsCompleteOnceInOrder();
    void stopAllReportsWhatItDrops();
    void stopEndsOnlyTheRunningRequest();
    void playFindsAnimationsByAnyCase();
    void branchesAndExitFollowTheData();
    void speechReachesVoiceAndBalloon();
    void balloonRevealsWordsAsTheyAreSaid();
    void withoutVoiceTheBalloonShowsForTheReadingTime();
    void stuckVoiceEndsAtTheReadingTime();
    void voiceStillStartingIsWaitedFor();
    void failedUtteranceShowsTheBalloon();
    void mouthMovesOnlyWhileSpeaking();
    void thinkShowsAThoughtForTheReadingTime();
    void showAndHideAnimate();
    void hiddenCharacterCompletesAtOnce();
    void shownFromNowhereOnAScreen();
    void moveToGlidesToTheTarget();
    void gestureFacesThePoint();
    void dragMovesAndIsNotAClick();
    void placedAtOnceWhileSpeaking();
    void clicksReportButtonShiftAndPosition();
    void shapedWithoutCompositor();
    void balloonKeepsOffTheProgramsWindows();
    void balloonKeepsOffWindowsThatChangeAsItWalks();
    void enrolmentStandsBesideTheCharacter();
    void nothingRunsAtRest();
    void readingTimeGrowsWithTextAndIsCapped();
    void qtVoiceWithoutEngineFailsAndIsShown();
    void serviceFallsBack();
};

void TestDesktopCharacter::requestsCompleteOnceInOrder()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QList<Request> made;
    made << bot->show() << bot->speak(QStringLiteral("Hello")) << bot->play(QStringLiteral("Greet"))
         << bot->moveTo(bot->left() - 80, bot->top()) << bot->think(QStringLiteral("Hm"))
         << bot->gestureAt(0, 0) << bot->hide();
    // Handles are fresh, and none completes inside the call that made it.
    for (int i = 0; i < made.size(); ++i) {
        QVERIFY(!made[i].isNull());
        for (int j = 0; j < i; ++j)
            QVERIFY(made[i] != made[j]);
    }
    QVERIFY(log.done.isEmpty());
    TRY_COMPARE_WITHIN(log.done.size(), made.size(), 15000);
    QCOMPARE(log.done, made);
    timers.advance(300);
    QCOMPARE(log.done.size(), made.size());
}

void TestDesktopCharacter::stopAllReportsWhatItDrops()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const Request looping = bot->play(QStringLiteral("Processing")); // loops until stopped
    const Request dropped1 = bot->speak(QStringLiteral("never said"));
    const Request dropped2 = bot->hide();
    const Request dropped3 = bot->play(QStringLiteral("Greet"));
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("Processing"));
    QCOMPARE(bot->queuedCount(), 3);
    // A request made while the stopped ones report is not dropped with them.
    Request madeMeanwhile;
    connect(bot.get(), &Character::requestComplete, this, [&](Request r) {
        if (r == dropped1)
            madeMeanwhile = bot->play(QStringLiteral("RestPose"));
    });

    const qint64 before = log.now();
    bot->stopAll();
    // The running one and every dropped one report at once, in order.
    QCOMPARE(log.done.mid(log.done.indexOf(looping)), QList<Request>({looping, dropped1, dropped2, dropped3}));
    QCOMPARE(bot->queuedCount(), 1);
    QVERIFY(!madeMeanwhile.isNull());
    // The dropped ones never played: the hide did not hide.
    QVERIFY(bot->visible());

    // The request made meanwhile starts on the next turn of the event loop.
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("RestPose"));
    TRY_COMPARE(log.count(madeMeanwhile), 1);
    QVERIFY2(log.when(madeMeanwhile) - before < 600, qPrintable(QString::number(log.when(madeMeanwhile) - before)));
    for (const Request r : {looping, dropped1, dropped2, dropped3})
        QCOMPARE(log.count(r), 1);
    QVERIFY(fakeVoice(*bot)->said.isEmpty());
}

void TestDesktopCharacter::stopEndsOnlyTheRunningRequest()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const Request looping = bot->play(QStringLiteral("Processing"));
    const Request greet = bot->play(QStringLiteral("Greet"));
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("Processing"));
    bot->stop();
    QCOMPARE(log.count(looping), 1);
    QCOMPARE(log.count(greet), 0);
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("Greet"));
    TRY_COMPARE(log.count(greet), 1);
    // Greet ran whole: 200 ms of frames and 100 ms back to rest.
    QVERIFY(log.when(greet) - log.when(looping) >= 280);
    QVERIFY(samePose(bot->currentPose(), bot->model().restPose));

    // Nothing running: stop has nothing to end.
    bot->stop();
    QCOMPARE(log.done.size(), 3);
}

void TestDesktopCharacter::playFindsAnimationsByAnyCase()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));

    const Request unknown = bot->play(QStringLiteral("NoSuchAnimation"));
    TRY_COMPARE(log.count(unknown), 1);
    const qint64 unknownAt = log.when(unknown);

    const Request rest = bot->play(QStringLiteral("restpose"));
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("RestPose"));
    TRY_COMPARE(log.count(rest), 1);
    QVERIFY(log.when(rest) - unknownAt >= 140); // its one 150 ms frame

    const Request unknownAfter = bot->play(QStringLiteral("Nope"));
    const qint64 asked = log.now();
    TRY_COMPARE(log.count(unknownAfter), 1);
    QVERIFY(log.when(unknownAfter) - asked < 100);
}

void TestDesktopCharacter::branchesAndExitFollowTheData()
{
    ManualTimers timers;
    std::optional<CharacterModel> model = CharacterModel::load(TestbotFolder);
    QVERIFY(model);
    AnimationPlayer player(timers);
    QList<int> rolls = {0, 49, 99}; // branch, branch, not (Wave's branch is 50%)
    player.setPick([&rolls](int count) {
        Q_ASSERT(count == 100);
        return rolls.isEmpty() ? 99 : rolls.takeFirst();
    });
    QList<int> frames;
    connect(&player, &AnimationPlayer::poseChanged, this, [&] { frames << player.frameIndex(); });
    int finished = 0;
    connect(&player, &AnimationPlayer::finished, this, [&] { ++finished; });
    player.play(model->animation(QStringLiteral("wave")));
    TRY_COMPARE(finished, 1);
    QCOMPARE(frames, (QList<int>{0, 1, 0, 1, 0, 1, 2}));
    QVERIFY(!player.isPlaying());

    // A looping animation asked to exit jumps to its exit frame and ends.
    frames.clear();
    player.play(model->animation(QStringLiteral("Processing")));
    timers.advance(250);
    QVERIFY(player.isPlaying());
    QCOMPARE(finished, 1);
    player.exit();
    QCOMPARE(player.frameIndex(), 2);
    TRY_COMPARE(finished, 2);
    QCOMPARE(frames.last(), 2);

    // A tween frame passes through poses between the two.
    const Pose up = model->animation(QStringLiteral("Greet"))->frames.at(0).pose;
    player.setPose(model->restPose);
    QList<double> angles;
    connect(&player, &AnimationPlayer::poseChanged, this,
            [&] { angles << player.pose().value(QStringLiteral("arm")).rotation; });
    player.play(model->animation(QStringLiteral("Greet")));
    TRY_COMPARE(finished, 3);
    QVERIFY(angles.size() >= 3);
    QVERIFY(std::any_of(angles.begin(), angles.end(), [](double a) { return a < -5 && a > -55; }));
    QCOMPARE(player.pose().value(QStringLiteral("arm")).rotation, up.value(QStringLiteral("arm")).rotation);
}

void TestDesktopCharacter::speechReachesVoiceAndBalloon()
{
    ManualTimers timers;
    auto bot = makeBot(timers, std::make_unique<FakeVoice>(timers, FakeVoice::Speaks, 200));
    FakeVoice *voice = fakeVoice(*bot);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    QList<int> counts;
    bot->setPick([&counts](int count) {
        counts << count;
        return count - 1; // always the last alternative
    });

    const Request r = bot->speak(QStringLiteral("One|Two \\Pau=100\\words|Three \\Map=\"spoken part\"=\"shown part\"\\ end"));
    TRY_COMPARE(voice->said.size(), 1);
    QCOMPARE(counts, QList<int>{3});
    QCOMPARE(voice->said.at(0), QStringLiteral("Three spoken part end"));
    QVERIFY(bot->balloon()->isVisible()); // balloon style on by default
    QCOMPARE(bot->balloon()->text(), QStringLiteral("Three shown part end"));
    QCOMPARE(bot->balloon()->style(), Balloon::Style::Speech);
    TRY_COMPARE(log.count(r), 1);
    QVERIFY(!bot->balloon()->isVisible());
    // The voice said it all: no stop needed.
    QCOMPARE(voice->stops, 0);

    // Other tags are left out of both.
    bot->setPick([](int) { return 1; });
    const Request r2 = bot->speak(QStringLiteral("One|Two \\Pau=100\\words"));
    TRY_COMPARE(voice->said.size(), 2);
    QCOMPARE(voice->said.at(1), QStringLiteral("Two words"));
    QCOMPARE(bot->balloon()->text(), QStringLiteral("Two words"));
    TRY_COMPARE(log.count(r2), 1);

    // With the balloon off a working voice speaks alone.
    bot->setBalloonStyle(0);
    const Request r3 = bot->speak(QStringLiteral("Quiet balloon"));
    TRY_COMPARE(voice->said.size(), 3);
    QVERIFY(!bot->balloon()->isVisible());
    TRY_COMPARE(log.count(r3), 1);

    // Ending on the voice's word: well before the reading time.
    QVERIFY(log.when(r3) - log.when(r2) < readingTimeMs(QStringLiteral("Quiet balloon")) - 200);

    // Held, a question stays in its balloon after it has been said, through
    // the next animation too, until the hold is released.
    bot->setBalloonStyle(Character::BalloonOn);
    bot->holdBalloon(true);
    const Request asked = bot->speak(QStringLiteral("Shall we?"));
    TRY_COMPARE(log.count(asked), 1);
    QVERIFY(bot->balloon()->isVisible());
    QCOMPARE(bot->balloon()->text(), QStringLiteral("Shall we?"));
    const Request played = bot->play(QStringLiteral("Greet"));
    TRY_COMPARE_WITHIN(log.count(played), 1, 15000);
    QVERIFY(bot->balloon()->isVisible());
    bot->holdBalloon(false);
    QVERIFY(!bot->balloon()->isVisible());
    // Hiding takes it away even while held.
    bot->holdBalloon(true);
    const Request again = bot->speak(QStringLiteral("Still there?"));
    TRY_COMPARE(log.count(again), 1);
    QVERIFY(bot->balloon()->isVisible());
    const Request hidden = bot->hide();
    TRY_COMPARE(log.count(hidden), 1);
    QVERIFY(!bot->balloon()->isVisible());
}

void TestDesktopCharacter::withoutVoiceTheBalloonShowsForTheReadingTime()
{
    ManualTimers timers;
    for (const bool voiceObject : {false, true}) {
        auto bot = makeBot(timers, voiceObject ? std::make_unique<FakeVoice>(timers, FakeVoice::Unavailable) : nullptr);
        bot->setBalloonStyle(0); // off, and still shown: nothing else would show the words
        Completions log(bot.get(), timers);
        QVERIFY(showBot(*bot, log));
        const QString text = QStringLiteral("Nobody hears this, so it is shown.");
        const qint64 asked = log.now();
        const Request r = bot->speak(text);
        TRY_VERIFY(bot->balloon()->isVisible());
        QCOMPARE(bot->balloon()->text(), text);
        TRY_COMPARE_WITHIN(log.count(r), 1, 10000);
        const qint64 took = log.when(r) - asked;
        const int reading = readingTimeMs(text);
        QVERIFY2(took >= reading - 20 && took < reading + 400,
                 qPrintable(QStringLiteral("%1 ms for a reading time of %2").arg(took).arg(reading)));
        QVERIFY(!bot->balloon()->isVisible());
        if (voiceObject)
            QVERIFY(fakeVoice(*bot)->said.isEmpty()); // not handed to a voice that has no engine
    }
}

void TestDesktopCharacter::stuckVoiceEndsAtTheReadingTime()
{
    ManualTimers timers;
    auto bot = makeBot(timers, std::make_unique<FakeVoice>(timers, FakeVoice::Stuck));
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const QString text = QStringLiteral("Speaking for ever");
    const qint64 asked = log.now();
    const Request r = bot->speak(text);
    const Request after = bot->play(QStringLiteral("RestPose"));
    TRY_COMPARE_WITHIN(log.count(r), 1, 10000);
    const qint64 took = log.when(r) - asked;
    QVERIFY2(took >= readingTimeMs(text) - 20 && took < readingTimeMs(text) + 400, qPrintable(QString::number(took)));
    QCOMPARE(fakeVoice(*bot)->stops, 1); // silenced so the next utterance is heard
    TRY_COMPARE(log.count(after), 1);
}

void TestDesktopCharacter::voiceStillStartingIsWaitedFor()
{
    // An engine that needs 3 s to start (speech-dispatcher at log-in) says
    // the greeting in full instead of being cut off at its reading time.
    ManualTimers timers;
    auto bot = makeBot(timers, std::make_unique<FakeVoice>(timers, FakeVoice::Late, 900));
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const QString text = QStringLiteral("Good Evening Ada");
    QVERIFY(readingTimeMs(text) < 3000);
    const qint64 asked = log.now();
    const Request r = bot->speak(text);
    TRY_COMPARE_WITHIN(log.count(r), 1, 10000);
    const qint64 took = log.when(r) - asked;
    QVERIFY2(took >= 3900 && took < 3900 + 400, qPrintable(QString::number(took)));
    QCOMPARE(fakeVoice(*bot)->stops, 0); // it finished; nothing cut it off

    // A voice that never begins is waited for only so long: the Speak ends
    // that much after its reading time, the words shown.
    auto mute = makeBot(timers, std::make_unique<FakeVoice>(timers, FakeVoice::Silent));
    Completions muteLog(mute.get(), timers);
    QVERIFY(showBot(*mute, muteLog));
    const qint64 begun = muteLog.now();
    const Request m = mute->speak(text);
    TRY_COMPARE_WITHIN(muteLog.count(m), 1, 20000);
    const qint64 waited = muteLog.when(m) - begun;
    const int bound = readingTimeMs(text) + Speaking::VoiceStartWaitMs;
    QVERIFY2(waited >= bound - 20 && waited < bound + 400, qPrintable(QString::number(waited)));
    QCOMPARE(fakeVoice(*mute)->stops, 1);
}

void TestDesktopCharacter::failedUtteranceShowsTheBalloon()
{
    ManualTimers timers;
    auto bot = makeBot(timers, std::make_unique<FakeVoice>(timers, FakeVoice::Fails));
    bot->setBalloonStyle(0);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const Request r = bot->speak(QStringLiteral("Lost in the speakers"));
    TRY_COMPARE(fakeVoice(*bot)->said.size(), 1);
    QVERIFY(!bot->balloon()->isVisible());
    TRY_VERIFY(bot->balloon()->isVisible());
    QCOMPARE(bot->balloon()->text(), QStringLiteral("Lost in the speakers"));
    TRY_COMPARE_WITHIN(log.count(r), 1, 10000);
    QVERIFY(log.when(r) >= readingTimeMs(QStringLiteral("Lost in the speakers")) - 20);

    // After a failure the next text is still tried, and shown from the start.
    const Request again = bot->speak(QStringLiteral("Try again"));
    TRY_COMPARE(fakeVoice(*bot)->said.size(), 2);
    QVERIFY(bot->balloon()->isVisible());
    QCOMPARE(bot->balloon()->text(), QStringLiteral("Try again"));
    TRY_COMPARE_WITHIN(log.count(again), 1, 10000);
}

void TestDesktopCharacter::mouthMovesOnlyWhileSpeaking()
{
    ManualTimers timers;
    auto bot = makeBot(timers, std::make_unique<FakeVoice>(timers, FakeVoice::Speaks, 1500));
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const QStringList shapes = bot->model().mouthShapes;
    QSet<QString> seen;
    const Request r = bot->speak(QStringLiteral("Open wide, say aah, oh and ee."));
    // The mouth, looked at every 10 ms.
    for (int t = 0; t < 5000 && log.count(r) == 0; t += 10) {
        timers.advance(10);
        seen.insert(bot->currentPose().value(QStringLiteral("mouth")).element);
    }
    QCOMPARE(log.count(r), 1);
    QVERIFY2(seen.size() >= 3, qPrintable(QStringList(seen.values()).join(u',')));
    for (const QString &s : std::as_const(seen))
        QVERIFY(shapes.contains(s));
    // Closed again, and it stays so.
    QCOMPARE(bot->currentPose().value(QStringLiteral("mouth")).element, shapes.first());
    timers.advance(300);
    QCOMPARE(bot->currentPose().value(QStringLiteral("mouth")).element, shapes.first());

    // The motion itself: opens on vowels, ends closed, fills the time given.
    const QList<MouthStep> steps = mouthMotion(QStringLiteral("Hello, banana"), 3, 1000);
    int total = 0;
    for (const MouthStep &s : steps)
        total += s.ms;
    QCOMPARE(total, 1000);
    QCOMPARE(steps.last().shape, 0);
    QVERIFY(std::any_of(steps.begin(), steps.end(), [](const MouthStep &s) { return s.shape == 2; }));
    QVERIFY(mouthMotion(QStringLiteral("Hi"), 1, 500).isEmpty()); // one shape: nothing to move
}

void TestDesktopCharacter::thinkShowsAThoughtForTheReadingTime()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const Request r = bot->think(QStringLiteral("What was \\Emp\\that?"));
    TRY_VERIFY(bot->balloon()->isVisible());
    QCOMPARE(bot->balloon()->style(), Balloon::Style::Thought);
    QCOMPARE(bot->balloon()->text(), QStringLiteral("What was that?"));
    QCOMPARE(bot->currentAnimation(), QStringLiteral("Think"));
    QVERIFY(fakeVoice(*bot)->said.isEmpty()); // thoughts are never spoken
    TRY_COMPARE_WITHIN(log.count(r), 1, 5000);
    QVERIFY(!bot->balloon()->isVisible());
}

void TestDesktopCharacter::showAndHideAnimate()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(!bot->visible());
    const Request show = bot->show();
    TRY_VERIFY(bot->visible());
    QCOMPARE(bot->currentAnimation(), QStringLiteral("Show"));
    QCOMPARE(log.count(show), 0);
    TRY_COMPARE(log.count(show), 1);
    QVERIFY(log.when(show) >= 180); // 40 + 160 ms of frames

    // The balloon closes with the character.
    bot->speak(QStringLiteral("Bye for now, and a long goodbye it is."));
    TRY_VERIFY(bot->balloon()->isVisible());
    bot->stop();
    QVERIFY(!bot->balloon()->isVisible());

    bool hiddenWhenDone = false;
    const Request hide = bot->hide();
    connect(bot.get(), &Character::requestComplete, this, [&](Request r) {
        if (r == hide)
            hiddenWhenDone = !bot->window()->isVisible() && !bot->visible();
    });
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("Hide"));
    QVERIFY(bot->visible());
    const qint64 started = log.now();
    TRY_COMPARE(log.count(hide), 1);
    QVERIFY(hiddenWhenDone);
    QVERIFY(log.when(hide) - started >= 150);

    // A hide stopped halfway still leaves the character hidden.
    QVERIFY(showBot(*bot, log));
    const Request hide2 = bot->hide();
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("Hide"));
    bot->stop();
    QCOMPARE(log.count(hide2), 1);
    QVERIFY(!bot->visible());
}

void TestDesktopCharacter::hiddenCharacterCompletesAtOnce()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    const qint64 asked = log.now();
    const Request play = bot->play(QStringLiteral("Greet"));
    const Request speak = bot->speak(QStringLiteral("Nobody sees me"));
    const Request think = bot->think(QStringLiteral("Hm"));
    const Request gesture = bot->gestureAt(0, 0);
    const Request move = bot->moveTo(123, 45);
    const Request hide = bot->hide();
    TRY_COMPARE(log.done.size(), 6);
    QCOMPARE(log.done, (QList<Request>{play, speak, think, gesture, move, hide}));
    QVERIFY(log.at.last() - asked < 200);
    QVERIFY(!bot->visible());
    QVERIFY(!bot->window()->isVisible());
    QVERIFY(fakeVoice(*bot)->said.isEmpty());
    QCOMPARE(QPoint(bot->left(), bot->top()), QPoint(123, 45)); // jumped

    // Requests made while hidden, behind a Show, wait for it.
    const Request show = bot->show();
    const Request greet = bot->play(QStringLiteral("Greet"));
    TRY_COMPARE(log.count(greet), 1);
    QVERIFY(log.when(greet) - log.when(show) >= 280);
    QCOMPARE(QPoint(bot->left(), bot->top()), QPoint(123, 45));
}

QStringList g_debugLines;
void collectDebug(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_debugLines << message;
}

// Sent while hidden to a place on no screen (a rest position from a monitor
// that is gone), the character shows on a screen, and the log says where.
void TestDesktopCharacter::shownFromNowhereOnAScreen()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    const Request move = bot->moveTo(30000, -20000);
    TRY_COMPARE(log.count(move), 1);
    g_debugLines.clear();
    struct Collecting {
        Collecting() { QLoggingCategory::setFilterRules(QStringLiteral("kestrova.character.debug=true")); }
        ~Collecting()
        {
            qInstallMessageHandler(previous);
            QLoggingCategory::setFilterRules(QStringLiteral("kestrova.character.debug=false"));
        }
        QtMessageHandler previous = qInstallMessageHandler(collectDebug);
    } collecting;
    const Request show = bot->show();
    TRY_COMPARE(log.count(show), 1);
    const QRect window = bot->window()->geometry();
    QVERIFY2(QGuiApplication::primaryScreen()->geometry().contains(window.topLeft()),
             qPrintable(QStringLiteral("%1 %2").arg(window.x()).arg(window.y())));
    const QStringList said = g_debugLines.filter(QStringLiteral("Shown at"));
    QCOMPARE(said.size(), 1);
    QCOMPARE(said.first(), QStringLiteral("Shown at %1 %2 size %3 %4")
                               .arg(window.x()).arg(window.y()).arg(window.width()).arg(window.height()));
}

void TestDesktopCharacter::moveToGlidesToTheTarget()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const QPoint from(bot->left(), bot->top());
    const QPoint target(from.x() - 300, from.y() - 20);
    QList<QPoint> path;
    connect(bot->window(), &CharacterWindow::moved, this, [&](QPoint p) { path << p; });
    const qint64 asked = log.now();
    const Request r = bot->moveTo(target.x(), target.y());
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("MoveLeft"));
    TRY_COMPARE_WITHIN(log.count(r), 1, 3000);
    QCOMPARE(QPoint(bot->left(), bot->top()), target);
    const qint64 took = log.when(r) - asked;
    QVERIFY2(took >= 300 && took <= 1700, qPrintable(QString::number(took))); // 300 px at 600 px/s
    QVERIFY(path.size() >= 5); // glided, did not jump
    QVERIFY(path.at(path.size() / 2).x() < from.x() && path.at(path.size() / 2).x() > target.x());

    // Far moves are bounded in time.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint wide(screen.left() + 40, target.y());
    const Request across = bot->moveTo(wide.x(), wide.y());
    TRY_COMPARE_WITHIN(log.count(across), 1, 4000);
    const qint64 asked2 = log.now();
    const Request far = bot->moveTo(screen.right() - bot->window()->width() - 40, target.y());
    TRY_COMPARE_WITHIN(log.count(far), 1, 4000);
    QVERIFY(log.when(far) - asked2 <= 1800);
    QCOMPARE(bot->left(), screen.right() - bot->window()->width() - 40);

    // A place on no screen: it glides onto the main screen instead, to the
    // nearest place there, and stays in reach.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const Request off = bot->moveTo(screen.right() + 3000, target.y());
    TRY_COMPARE_WITHIN(log.count(off), 1, 4000);
    QVERIFY2(area.contains(bot->window()->geometry()),
             qPrintable(QStringLiteral("%1 %2").arg(bot->left()).arg(bot->top())));
    QCOMPARE(bot->left(), area.right() + 1 - bot->window()->width());
    const Request above = bot->moveTo(area.left() + 10, -5000);
    TRY_COMPARE_WITHIN(log.count(above), 1, 4000);
    QCOMPARE(QPoint(bot->left(), bot->top()), QPoint(area.left() + 10, area.top()));
}

void TestDesktopCharacter::gestureFacesThePoint()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const QPoint centre = bot->window()->geometry().center();
    const struct {
        QPoint at;
        QString animation;
    } cases[] = {
        {centre + QPoint(-400, 50), QStringLiteral("GestureLeft")},
        {centre + QPoint(400, -50), QStringLiteral("GestureRight")},
        {centre + QPoint(20, -300), QStringLiteral("GestureUp")},
        {centre + QPoint(-20, 300), QStringLiteral("GestureDown")},
    };
    for (const auto &c : cases) {
        const Request r = bot->gestureAt(c.at.x(), c.at.y());
        TRY_COMPARE(bot->currentAnimation(), c.animation);
        TRY_COMPARE(log.count(r), 1);
    }
}

void TestDesktopCharacter::dragMovesAndIsNotAClick()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    int clicks = 0;
    connect(bot.get(), &Character::click, this, [&] { ++clicks; });
    CharacterWindow *w = bot->window();
    const QPoint start(bot->left(), bot->top());
    const QPoint grab(50, 60);
    sendMouse(w, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    const QPoint grabScreen = screenOf(w, grab);
    // Moves are relative to where the press was on the screen.
    for (int step = 1; step <= 4; ++step) {
        const QPoint screen = grabScreen + QPoint(-30 * step, -10 * step);
        QMouseEvent move(QEvent::MouseMove, QPointF(w->mapFromGlobal(screen)), QPointF(screen), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    QVERIFY(w->isDragging());
    const QPoint end = grabScreen + QPoint(-120, -40);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(w->mapFromGlobal(end)), QPointF(end), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
    QCOMPARE(QPoint(bot->left(), bot->top()), start + QPoint(-120, -40));
    QCOMPARE(clicks, 0);

    // A wobble under the drag distance is still a click.
    sendMouse(w, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseMove, grab + QPoint(1, 1), Qt::NoButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, grab + QPoint(1, 1), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(clicks, 1);
    QCOMPARE(QPoint(bot->left(), bot->top()), start + QPoint(-120, -40));

    // A drag during a glide ends the MoveTo where the user left it.
    const Request glide = bot->moveTo(bot->left() + 400, bot->top());
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("MoveRight"));
    sendMouse(w, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    const QPoint pressed = screenOf(w, grab);
    QMouseEvent drag(QEvent::MouseMove, QPointF(w->mapFromGlobal(pressed + QPoint(0, 50))),
                     QPointF(pressed + QPoint(0, 50)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &drag);
    QCOMPARE(log.count(glide), 1);
    const QPoint left(bot->left(), bot->top());
    timers.advance(200);
    QCOMPARE(QPoint(bot->left(), bot->top()), left);
    sendMouse(w, QEvent::MouseButtonRelease, w->mapFromGlobal(pressed + QPoint(0, 50)), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(clicks, 1);
}

void TestDesktopCharacter::placedAtOnceWhileSpeaking()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    bot->setBalloonStyle(Character::BalloonOn);
    const Request r = bot->speak(QStringLiteral("A sentence that takes a while to say."));
    TRY_COMPARE(bot->balloon()->isVisible(), true);
    QVERIFY(bot->isBusy());
    const QPoint balloonOffset = bot->balloon()->pos() - bot->window()->pos();
    const QPoint to(bot->left() + 60, bot->top() + 30);
    bot->placeAt(to.x(), to.y());
    // There at once, the balloon with it, the sentence going on.
    QCOMPARE(QPoint(bot->left(), bot->top()), to);
    // (Across, the balloon keeps clear of the screen's edges.)
    QCOMPARE(bot->balloon()->y() - bot->top(), balloonOffset.y());
    QCOMPARE(log.count(r), 0);
    QVERIFY(bot->balloon()->isVisible());
    TRY_COMPARE_WITHIN(log.count(r), 1, 15000);
    QCOMPARE(QPoint(bot->left(), bot->top()), to);

    // Put elsewhere during a glide: the glide ends there.
    const Request glide = bot->moveTo(bot->left() - 300, bot->top());
    TRY_COMPARE(bot->currentAnimation(), QStringLiteral("MoveLeft"));
    const QPoint there(to.x() + 20, to.y() + 10);
    bot->placeAt(there.x(), there.y());
    QCOMPARE(log.count(glide), 1);
    timers.advance(200);
    QCOMPARE(QPoint(bot->left(), bot->top()), there);
}

void TestDesktopCharacter::clicksReportButtonShiftAndPosition()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    struct Event {
        QString kind;
        int button, shift, x, y;
    };
    QList<Event> events;
    connect(bot.get(), &Character::click, this,
            [&](int b, int s, int x, int y) { events << Event{QStringLiteral("click"), b, s, x, y}; });
    connect(bot.get(), &Character::dblClick, this,
            [&](int b, int s, int x, int y) { events << Event{QStringLiteral("dblClick"), b, s, x, y}; });
    CharacterWindow *w = bot->window();
    const QPoint at(40, 70);
    const QPoint screen = screenOf(w, at);

    sendMouse(w, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton, Qt::ShiftModifier);
    sendMouse(w, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events[0].kind, QStringLiteral("click"));
    QCOMPARE(events[0].button, 2);
    QCOMPARE(events[0].shift, 1);
    QCOMPARE(QPoint(events[0].x, events[0].y), screen);

    // A double click: one click, then the double click, nothing for its
    // second release.
    events.clear();
    sendMouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    sendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    sendMouse(w, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    sendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    QCOMPARE(events.size(), 2);
    QCOMPARE(events[0].kind, QStringLiteral("click"));
    QCOMPARE(events[1].kind, QStringLiteral("dblClick"));
    QCOMPARE(events[1].button, 1);
    QCOMPARE(events[1].shift, 2);
    // And the next click counts again.
    sendMouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(events.size(), 3);
}

void TestDesktopCharacter::shapedWithoutCompositor()
{
    ManualTimers timers;
    ShapedWindow::setCompositorOverride(false);
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    CharacterWindow *w = bot->window();
    QVERIFY(w->isShaped());
    QVERIFY(!w->testAttribute(Qt::WA_TranslucentBackground));
    const QRegion shape = w->shape();
    QVERIFY(shape.contains(QPoint(50, 60)));  // the body
    QVERIFY(shape.contains(QPoint(50, 28)));  // the head
    QVERIFY(!shape.contains(QPoint(2, 2)));   // transparent corners are cut away
    QVERIFY(!shape.contains(QPoint(97, 97)));
    QVERIFY(w->mask() == shape);

    // The balloon is shaped too: its tail, not a box.
    bot->speak(QStringLiteral("Shaped words"));
    TRY_VERIFY(bot->balloon()->isVisible());
    Balloon *b = bot->balloon();
    QVERIFY(b->isShaped());
    const QPoint tip = b->tailTip() - b->pos();
    QVERIFY(b->shape().contains(b->bubbleRect().center() - b->pos()));
    QVERIFY(!b->shape().contains(QPoint(0, b->height() - 1))); // beside the tail
    QVERIFY(tip.y() > b->bubbleRect().bottom() - b->pos().y()); // tail below the bubble, at the character
    bot->stopAll();

    // With a compositor the window is translucent and not cut.
    ShapedWindow::setCompositorOverride(true);
    auto composited = makeBot(timers);
    Completions log2(composited.get(), timers);
    QVERIFY(showBot(*composited, log2));
    QVERIFY(!composited->window()->isShaped());
    QVERIFY(composited->window()->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(composited->window()->mask().isEmpty());
}

// A window of the program open where the balloon would stand above the
// character (a row of fields and a slider, as in the options): the balloon
// goes to another side, clear of the window. Once the character has moved
// away from the window, the balloon is back above it, following it.
void TestDesktopCharacter::balloonKeepsOffTheProgramsWindows()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect character(area.left() + 340, area.top() + 260, 100, 100);
    const auto anchorOf = [](const QRect &c) { return QPoint(c.center().x(), c.top() + 12); };
    const QString text = QStringLiteral("The time is 1:30 AM on Friday December 11th, 2026");
    const auto isAbove = [](const QRect &bubble, const QRect &c) { return bubble.bottom() < c.top() + c.height() / 3; };

    // Alone on the desktop: above the character.
    Balloon alone;
    alone.showText(text, Balloon::Style::Speech, anchorOf(character), character);
    const QRect above = alone.bubbleRect();
    QVERIFY(isAbove(above, character));

    QWidget options;
    options.setWindowTitle(QStringLiteral("Options"));
    auto *rows = new QVBoxLayout(&options);
    rows->addWidget(new QLabel(QStringLiteral("Speaking rate:")));
    rows->addWidget(new QSlider(Qt::Horizontal));
    rows->addWidget(new QLineEdit);
    options.setGeometry(above.adjusted(-30, -60, 30, 4));
    options.show();
    QVERIFY(QTest::qWaitForWindowExposed(&options));
    const QRect window = options.frameGeometry().united(options.geometry());
    QVERIFY(window.contains(above));
    QVERIFY2(!window.intersects(character), qPrintable(QStringLiteral("window %1 %2 %3x%4").arg(window.x()).arg(window.y()).arg(window.width()).arg(window.height())));
    // The balloon shown already makes way as the window opens.
    QTRY_VERIFY_WITH_TIMEOUT(!alone.bubbleRect().intersects(window), 2000);
    alone.hide();

    Balloon balloon;
    balloon.showText(text, Balloon::Style::Speech, anchorOf(character), character);
    QVERIFY2(!balloon.bubbleRect().intersects(window),
             qPrintable(QStringLiteral("the balloon at %1 %2 %3x%4 lies over the window")
                            .arg(balloon.bubbleRect().x()).arg(balloon.bubbleRect().y())
                            .arg(balloon.bubbleRect().width()).arg(balloon.bubbleRect().height())));
    QVERIFY(area.contains(balloon.bubbleRect()));
    QVERIFY(!balloon.bubbleRect().intersects(character.adjusted(0, character.height() / 3, 0, 0)));

    // The character walks down, away from the window: above it again.
    const QRect lower = character.translated(0, 200);
    balloon.follow(anchorOf(lower), lower);
    QVERIFY(isAbove(balloon.bubbleRect(), lower));
    QVERIFY(!balloon.bubbleRect().intersects(window));
    QCOMPARE(balloon.bubbleRect().center().x(), above.center().x());

    // Back beside the window, then the window closes: above again.
    balloon.follow(anchorOf(character), character);
    QVERIFY(!balloon.bubbleRect().intersects(window));
    options.close();
    QTRY_COMPARE_WITH_TIMEOUT(balloon.bubbleRect(), above, 2000);
}

// The balloon keeps what it read of the open windows from one step of a
// walk to the next; a window moved in front of it, or opened while it was
// away, is still kept clear of at the very next step.
void TestDesktopCharacter::balloonKeepsOffWindowsThatChangeAsItWalks()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect character(area.left() + 340, area.top() + 260, 100, 100);
    const QPoint anchor(character.center().x(), character.top() + 12);
    const QString text = QStringLiteral("Shall we walk over to the calendar together?");
    const auto where = [](const QRect &r) {
        return QStringLiteral("%1 %2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };

    Balloon balloon;
    balloon.showText(text, Balloon::Style::Speech, anchor, character);
    const QRect above = balloon.bubbleRect();

    // A window far from the character: the balloon reads it and stays above.
    const auto makeWindow = [](QWidget &window, const QString &title) {
        window.setWindowTitle(title);
        auto *rows = new QVBoxLayout(&window);
        rows->addWidget(new QLabel(QStringLiteral("Speaking rate:")));
        rows->addWidget(new QLineEdit);
    };
    QWidget first;
    makeWindow(first, QStringLiteral("First"));
    first.setGeometry(QRect(area.left() + 10, area.bottom() - 120, 200, 100));
    first.show();
    QVERIFY(QTest::qWaitForWindowExposed(&first));
    QTRY_VERIFY_WITH_TIMEOUT(!first.frameGeometry().united(first.geometry()).intersects(character), 2000);
    QTest::qWait(50);
    balloon.follow(anchor, character);
    QCOMPARE(balloon.bubbleRect(), above);

    // Moved over where the balloon stands: the next step keeps off it.
    const QRect over = above.adjusted(-30, -60, 30, 4);
    first.setGeometry(over);
    QTRY_COMPARE_WITH_TIMEOUT(first.geometry(), over, 2000);
    balloon.follow(anchor, character);
    const QRect moved = first.frameGeometry().united(first.geometry());
    QVERIFY2(!balloon.bubbleRect().intersects(moved),
             qPrintable(QStringLiteral("the balloon at %1 lies over the window moved to %2")
                            .arg(where(balloon.bubbleRect()), where(moved))));

    // Away again, then hidden; a second window opens where it stood above.
    first.setGeometry(QRect(area.left() + 10, area.bottom() - 120, 200, 100));
    QTRY_VERIFY_WITH_TIMEOUT(!first.frameGeometry().united(first.geometry()).intersects(above), 2000);
    balloon.follow(anchor, character);
    QCOMPARE(balloon.bubbleRect(), above);
    balloon.hide();
    QWidget second;
    makeWindow(second, QStringLiteral("Second"));
    second.setGeometry(over);
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    balloon.showText(text, Balloon::Style::Speech, anchor, character);
    const QRect opened = second.frameGeometry().united(second.geometry());
    QVERIFY2(!balloon.bubbleRect().intersects(opened),
             qPrintable(QStringLiteral("the balloon at %1 lies over the window opened at %2")
                            .arg(where(balloon.bubbleRect()), where(opened))));
}

void TestDesktopCharacter::balloonRevealsWordsAsTheyAreSaid()
{
    auto bot = makeBot(Timers::system(), std::make_unique<FakeVoice>(Timers::system(), FakeVoice::Speaks, 4000));
    Completions log(bot.get());
    QVERIFY(showBot(*bot, log));
    const QString text = QStringLiteral("One two three four five six seven eight nine ten eleven twelve.");
    const Request r = bot->speak(text);
    QTRY_VERIFY(bot->balloon()->isVisible());
    QCOMPARE(bot->balloon()->text(), text);
    QVERIFY2(bot->balloon()->revealedText().startsWith(QStringLiteral("One")), qPrintable(bot->balloon()->revealedText()));
    QVERIFY(bot->balloon()->revealedText().size() < text.size() / 2);
    const QRect bubble = bot->balloon()->bubbleRect();
    // Word by word, never back, the bubble as it was.
    QStringList seen{bot->balloon()->revealedText()};
    QElapsedTimer clock;
    clock.start();
    while (bot->balloon()->revealedText() != text && clock.elapsed() < 8000) {
        QTest::qWait(20);
        const QString now = bot->balloon()->revealedText();
        if (now != seen.last()) {
            QVERIFY2(now.startsWith(seen.last()), qPrintable(now));
            seen << now;
        }
        QCOMPARE(bot->balloon()->bubbleRect().size(), bubble.size());
    }
    QCOMPARE(bot->balloon()->revealedText(), text);
    QVERIFY2(seen.size() >= 6, qPrintable(seen.join(u'|')));
    QTRY_COMPARE_WITH_TIMEOUT(log.count(r), 1, 8000);

    // With no voice the balloon is all there is: the whole text at once.
    auto mute = makeBot(Timers::system(), std::make_unique<FakeVoice>(Timers::system(), FakeVoice::Unavailable));
    Completions muteLog(mute.get());
    QVERIFY(showBot(*mute, muteLog));
    mute->speak(text);
    QTRY_VERIFY(mute->balloon()->isVisible());
    QCOMPARE(mute->balloon()->revealedText(), text);
}

void TestDesktopCharacter::nothingRunsAtRest()
{
    ManualTimers timers;
    auto bot = makeBot(timers);
    Completions log(bot.get(), timers);
    QVERIFY(showBot(*bot, log));
    const Request r = bot->speak(QStringLiteral("Then rest"));
    TRY_COMPARE(log.count(r), 1);
    // Settling back to rest takes a moment; after that, nothing: no frame
    // drawn, and no wake-up armed but the one for the next idle animation.
    timers.advance(500);
    QCoreApplication::processEvents();
    const int paints = bot->window()->paintCount();
    const Pose pose = bot->currentPose();
    QCOMPARE(timers.armedCount(), 1);
    QVERIFY(bot->idleScheduled());
    timers.advance(600);
    QCoreApplication::processEvents();
    QCOMPARE(bot->window()->paintCount(), paints);
    QVERIFY(samePose(bot->currentPose(), pose));
    QVERIFY(samePose(pose, bot->model().restPose));
    QVERIFY(bot->currentAnimation().isEmpty());
}

void TestDesktopCharacter::readingTimeGrowsWithTextAndIsCapped()
{
    const int shortText = readingTimeMs(QStringLiteral("Hi"));
    const int longer = readingTimeMs(QStringLiteral("Hi there, this is longer"));
    QVERIFY(shortText >= 500);
    QVERIFY(longer > shortText);
    QCOMPARE(readingTimeMs(QString(5000, u'a')), 20000);
    QVERIFY(readingTimeMs(QStringLiteral("Slow voice"), -1) > readingTimeMs(QStringLiteral("Slow voice")));
    // Enough for a voice at about 16 characters a second.
    const QString sentence = QStringLiteral("Hello there, this is a test of the voice.");
    QVERIFY(readingTimeMs(sentence) > sentence.size() * 1000 / 16);
}

void TestDesktopCharacter::qtVoiceWithoutEngineFailsAndIsShown()
{
    // No engine of that name is installed: the voice says so once it has
    // looked, utterances fail, and the character shows its words instead.
    auto voice = std::make_unique<QtVoice>(VoiceSettings{}, QStringList{QStringLiteral("no-such-engine")});
    QtVoice *qt = voice.get();
    QVERIFY(qt->isAvailable()); // not known yet
    QList<int> failed;
    connect(qt, &Voice::failed, this, [&](int u) { failed << u; });
    const int u = qt->say(QStringLiteral("Hello"));
    QTRY_COMPARE(failed, QList<int>{u});
    QVERIFY(!qt->isAvailable());
    QVERIFY(!qt->isWorking());
    QVERIFY(qt->engineName().isEmpty());

    auto bot = makeBot(Timers::system(), std::move(voice));
    bot->setBalloonStyle(0);
    Completions log(bot.get());
    QVERIFY(showBot(*bot, log));
    const Request r = bot->speak(QStringLiteral("Shown, not heard"));
    QTRY_VERIFY(bot->balloon()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(log.count(r), 1, 5000);
}

void TestDesktopCharacter::serviceTellsWhichCharacterItRefused()
{
    QTemporaryDir program;
    QTemporaryDir settings;
    QVERIFY(program.isValid() && settings.isValid());
    const QString base = characterFolders(program.path()).last();
    auto load = [&](const QString &stored, QString *refusal) -> QString {
        DesktopCharacterService service(program.path(), settings.path());
        service.setVoiceFactory([](const CharacterModel &) -> std::unique_ptr<Voice> {
            return std::make_unique<FakeVoice>();
        });
        service.setDefaultCharacter(stored);
        const bool loaded = service.load(QStringLiteral("Char"));
        *refusal = service.refusal();
        auto *c = loaded ? qobject_cast<DesktopCharacter *>(service.character(QStringLiteral("Char"))) : nullptr;
        return c ? c->model().id : QStringLiteral("(none)");
    };
    QString refusal;

    // Nothing loads: the refusal says so.
    installLoopingBot(base, QStringLiteral("looper"));
    QCOMPARE(load(QStringLiteral("looper"), &refusal), QStringLiteral("(none)"));
    QVERIFY2(refusal.startsWith(QStringLiteral("The character \"looper\" was refused.")), qPrintable(refusal));
    QVERIFY2(refusal.endsWith(QStringLiteral("No other character could be loaded.")), qPrintable(refusal));

    // A show that never ends would hold the greeting for good: refused,
    // the fallback is loaded, and the user is told which and why.
    installBot(base, QStringLiteral("kess"));
    QCOMPARE(load(QStringLiteral("looper"), &refusal), QStringLiteral("kess"));
    for (const QString &part : {QStringLiteral("The character \"looper\" was refused."),
                                base + QStringLiteral("/looper/character.json"), QStringLiteral("\"showing\""),
                                QStringLiteral("Testbot is shown instead.")})
        QVERIFY2(refusal.contains(part), qPrintable(refusal));

    // Art far beyond any character's: refused before it is read.
    installBot(base, QStringLiteral("heavy"));
    QFile art(base + QStringLiteral("/heavy/art.svg"));
    QVERIFY(art.resize(200LL * 1024 * 1024)); // sparse: costs no disk
    QCOMPARE(load(QStringLiteral("heavy"), &refusal), QStringLiteral("kess"));
    QVERIFY2(refusal.contains(QStringLiteral("the art file is 200 MB, more than the 8 MB")), qPrintable(refusal));

    // A missing default is not a refusal; a sound one is not either.
    QCOMPARE(load(QStringLiteral("missing"), &refusal), QStringLiteral("kess"));
    QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
    QCOMPARE(load(QStringLiteral("kess"), &refusal), QStringLiteral("kess"));
    QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
}

void TestDesktopCharacter::serviceFallsBack()
{
    QTemporaryDir program;
    QTemporaryDir settings;
    QVERIFY(program.isValid() && settings.isValid());
    const QString base = characterFolders(program.path()).last();
    const VoiceFactory fake = [](const CharacterModel &) -> std::unique_ptr<Voice> {
        return std::make_unique<FakeVoice>();
    };
    auto loadedId = [&](const QString &stored) -> QString {
        DesktopCharacterService service(program.path(), settings.path());
        service.setVoiceFactory(fake);
        service.setDefaultCharacter(stored);
        if (!service.load(QStringLiteral("Char")))
            return QStringLiteral("(none)");
        auto *c = qobject_cast<DesktopCharacter *>(service.character(QStringLiteral("Char")));
        return c ? c->model().id : QStringLiteral("(not a desktop character)");
    };

    QCOMPARE(loadedId(QString()), QStringLiteral("(none)")); // no characters at all

    installBot(base, QStringLiteral("zeta"));
    QCOMPARE(loadedId(QStringLiteral("missing")), QStringLiteral("zeta")); // any there is

    installBot(base, QStringLiteral("kess"));
    installBot(base, QStringLiteral("alpha"));
    QCOMPARE(loadedId(QStringLiteral("missing")), QStringLiteral("kess"));
    QCOMPARE(loadedId(QString()), QStringLiteral("kess"));
    QCOMPARE(loadedId(QStringLiteral("zeta")), QStringLiteral("zeta"));

    // A broken default is passed over like a missing one.
    QDir().mkpath(base + QStringLiteral("/broken"));
    QFile json(base + QStringLiteral("/broken/character.json"));
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write("{ not json");
    json.close();
    QCOMPARE(loadedId(QStringLiteral("broken")), QStringLiteral("kess"));

    // A stored name that leads out of the character folders names nothing,
    // as in the chooser and the live switch.
    installBot(program.path(), QStringLiteral("outside"));
    QCOMPARE(loadedId(QStringLiteral("../outside")), QStringLiteral("kess"));
    QCOMPARE(loadedId(program.path() + QStringLiteral("/outside")), QStringLiteral("kess"));
    QCOMPARE(loadedId(QStringLiteral("zeta/../../outside")), QStringLiteral("kess"));

    // A CharacterService.ini of megabytes is not read but set aside whole;
    // the defaults hold.
    {
        const QString ini = settings.path() + QStringLiteral("/CharacterService.ini");
        QByteArray big = "[General]\nDefault=zeta\n";
        for (int i = 0; big.size() < 8 * 1024 * 1024; ++i)
            big += "Junk" + QByteArray::number(i) + "=some value\n";
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(big), big.size());
        f.close();
        DesktopCharacterService service(program.path(), settings.path());
        service.setVoiceFactory(fake);
        QVERIFY(service.load(QStringLiteral("Big")));
        auto *c = qobject_cast<DesktopCharacter *>(service.character(QStringLiteral("Big")));
        QVERIFY(c);
        QCOMPARE(c->model().id, QStringLiteral("kess"));
        QCOMPARE(QFileInfo(ini + QStringLiteral(".damaged")).size(), qint64(big.size()));
        QVERIFY(QFileInfo(ini).size() < 1024);
    }

    // The default lives in the service's own settings file.
    {
        DesktopCharacterService service(program.path(), settings.path());
        service.setDefaultCharacter(QStringLiteral("alpha"));
    }
    QSettings ini(settings.path() + QStringLiteral("/CharacterService.ini"), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Default")).toString(), QStringLiteral("alpha"));

    // Loaded characters raise their events through the service; unload
    // hides the window at once and forgets the ID.
    DesktopCharacterService service(program.path(), settings.path());
    service.setVoiceFactory(fake);
    QVERIFY(service.load(QStringLiteral("A")));
    auto *c = qobject_cast<DesktopCharacter *>(service.character(QStringLiteral("A")));
    QVERIFY(c);
    QCOMPARE(c->model().id, QStringLiteral("alpha"));
    QCOMPARE(c->name(), QStringLiteral("Testbot"));
    QList<Request> forwarded;
    connect(&service, &CharacterService::requestComplete, this, [&](Request r) { forwarded << r; });
    const Request shown = c->show();
    QTRY_COMPARE(forwarded, QList<Request>{shown});
    QPointer<CharacterWindow> window = c->window();
    service.unload(QStringLiteral("A"));
    QVERIFY(!service.character(QStringLiteral("A")));
    QVERIFY(!window->isVisible());
    QTRY_VERIFY(window.isNull());
    QVERIFY(service.load(QStringLiteral("A")));
    QVERIFY(service.character(QStringLiteral("A")) != nullptr);
}

// The enrolment window, which would cover the character wherever it stood
// whole (a screen with no room above, below or left of the character for
// it, less than its width right of it), narrows to stand beside it: its
// level bar and buttons in sight, every control at least as wide as it
// asks, its wrapped texts with the lines they need.
void TestDesktopCharacter::enrolmentStandsBesideTheCharacter()
{
    QTemporaryDir program;
    QTemporaryDir settings;
    QVERIFY(program.isValid() && settings.isValid());
    installBot(characterFolders(program.path()).last(), QStringLiteral("kess"));
    DesktopCharacterService service(program.path(), settings.path());
    service.setVoiceFactory([](const CharacterModel &) -> std::unique_ptr<Voice> { return std::make_unique<FakeVoice>(); });
    QVERIFY(service.load(QStringLiteral("Char")));
    auto *c = qobject_cast<DesktopCharacter *>(service.character(QStringLiteral("Char")));
    QVERIFY(c);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize body = c->window()->size();
    // 500 pixels right of it; the window, 560 wide, is wider.
    const QPoint at(area.right() + 1 - 500 - body.width(), area.center().y() - body.height() / 2);
    QVERIFY2(at.x() - area.left() < 560 + 40, "no room left of the character");
    QList<Request> done;
    connect(&service, &CharacterService::requestComplete, this, [&](Request r) { done << r; });
    const Request moved = c->moveTo(at.x(), at.y());
    const Request shown = c->show();
    QTRY_VERIFY(done.contains(moved) && done.contains(shown));
    const QRect character = c->window()->geometry();
    QCOMPARE(character.topLeft(), at);

    service.showVoiceEnrolment();
    VoiceEnrolmentWindow *w = service.voiceEnrolment();
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect framed(w->pos(), w->size() + FrameAllowance);
    QVERIFY2(!framed.intersects(character),
             qPrintable(QStringLiteral("the window at %1 %2 %3x%4 covers the character at %5 %6")
                            .arg(framed.x()).arg(framed.y()).arg(framed.width()).arg(framed.height())
                            .arg(character.x()).arg(character.y())));
    QVERIFY(area.contains(framed));
    QVERIFY(w->width() < 560);
    const auto *level = w->findChild<QWidget *>(QStringLiteral("kestrovaEnrolLevel"));
    QVERIFY(level && level->isVisible());
    QVERIFY(!QRect(level->mapToGlobal(QPoint(0, 0)), level->size()).intersects(character));
    for (const QWidget *control : w->findChildren<QWidget *>()) {
        if (!control->isVisible())
            continue;
        if (const auto *label = qobject_cast<const QLabel *>(control); label && label->wordWrap())
            QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(label->text()));
        else
            QVERIFY2(control->width() >= control->minimumSizeHint().width(), qPrintable(control->objectName()));
    }
}

QTEST_MAIN(TestDesktopCharacter)
#include "test_desktop_character.moc"
