// Listening by voice: the listener that carries audio from a source to the
// recogniser on a thread of its own and brings results back, and the
// desktop character that turns what was heard into commands.

#include "desktop/Balloon.h"
#include "desktop/DesktopCharacter.h"
#include "desktop/Listening.h"
#include "desktop/ListeningKey.h"
#include "desktop/ListeningPrompt.h"
#include "LeftBehind.h"
#include "ManualTimers.h"
#include "SpeechListener.h"
#include "WavFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace kestrova::character;

namespace {

constexpr int Chunk = 1600; // 100 ms at 16 kHz

// What a scripted recogniser does with the samples it is fed, and what it
// saw. Speech begins after speechFrom samples of the utterance and ends
// after speechUntil (never when negative).
struct Script {
    qint64 speechFrom = 3 * Chunk;
    qint64 speechUntil = 8 * Chunk;
    // A second stretch of speech after a pause (none when negative), and
    // whether the words before a pause make a whole command.
    qint64 resumeFrom = -1;
    qint64 resumeUntil = -1;
    bool complete = false;
    // How many utterances, from the first, have no word in their speech
    // (a click, the microphone's hiss).
    int wordless = 0;
    // Utterances from this one on (counted from 1) hear no speech at all
    // (never when 0).
    int speechlessFrom = 0;
    Recognition result;
    // When set, what each utterance is heard as, given the commands the
    // recogniser was set to listen for (called with the mutex held).
    std::function<Recognition(const std::vector<VoiceCommand> &)> respond;

    QMutex mutex;
    int commandSets = 0;
    std::vector<VoiceCommand> commands;
    int starts = 0;
    int ends = 0;
    int discards = 0;
    int destroyed = 0;
    qint64 longestUtterance = 0;
    QSet<QThread *> threads;
};

class ScriptedRecognizer : public SpeechRecognizer {
public:
    explicit ScriptedRecognizer(std::shared_ptr<Script> script) : m_script(std::move(script)) {}
    ~ScriptedRecognizer() override
    {
        QMutexLocker lock(&m_script->mutex);
        ++m_script->destroyed;
    }
    bool setCommands(const std::vector<VoiceCommand> &commands, QStringList *) override
    {
        QMutexLocker lock(&m_script->mutex);
        ++m_script->commandSets;
        m_script->commands = commands;
        m_script->threads.insert(QThread::currentThread());
        return true;
    }
    void startUtterance() override
    {
        QMutexLocker lock(&m_script->mutex);
        ++m_script->starts;
        m_samples = 0;
    }
    void process(const std::int16_t *, std::size_t count) override
    {
        QMutexLocker lock(&m_script->mutex);
        m_samples += qint64(count);
        m_script->longestUtterance = std::max(m_script->longestUtterance, m_samples);
        m_script->threads.insert(QThread::currentThread());
    }
    bool speechStarted() const override
    {
        if (m_script->speechlessFrom > 0 && m_script->starts >= m_script->speechlessFrom)
            return false;
        return m_samples >= m_script->speechFrom;
    }
    bool inSpeech() const override
    {
        return (speechStarted() && (m_script->speechUntil < 0 || m_samples < m_script->speechUntil))
            || (m_script->resumeFrom >= 0 && m_samples >= m_script->resumeFrom && m_samples < m_script->resumeUntil);
    }
    bool commandComplete() const override { return m_script->complete; }
    bool wordsHeard() const override
    {
        QMutexLocker lock(&m_script->mutex);
        return m_script->starts > m_script->wordless;
    }
    void discardUtterance() override
    {
        QMutexLocker lock(&m_script->mutex);
        ++m_script->discards;
    }
    Recognition endUtterance() override
    {
        QMutexLocker lock(&m_script->mutex);
        ++m_script->ends;
        Recognition r = m_script->respond ? m_script->respond(m_script->commands) : m_script->result;
        r.speech = m_samples >= m_script->speechFrom;
        r.audioMs = int(m_samples / 16);
        return r;
    }

private:
    std::shared_ptr<Script> m_script;
    qint64 m_samples = 0;
};

// Silence in 100 ms chunks, as fast as it is taken; after `chunks` of them
// it runs dry (never when negative).
class ChunkSource : public AudioSource {
public:
    ChunkSource(int chunks, QString failWith) : m_chunks(chunks), m_failWith(std::move(failWith))
    {
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_chunks >= 0 && m_sent >= m_chunks) {
                m_timer.stop();
                Q_EMIT finished();
                return;
            }
            ++m_sent;
            Q_EMIT samples(QByteArray(Chunk * 2, '\0'));
        });
    }
    bool start() override
    {
        if (!m_failWith.isEmpty())
            return false;
        m_sent = 0;
        if (!manual)
            m_timer.start();
        return true;
    }
    // With `manual`, chunks come only from here.
    void push() { Q_EMIT samples(QByteArray(Chunk * 2, '\0')); }
    bool manual = false;
    void stop() override { m_timer.stop(); }
    QString errorString() const override { return m_failWith; }
    bool running() const { return m_timer.isActive(); }

private:
    int m_chunks;
    int m_sent = 0;
    QString m_failWith;
    QTimer m_timer;
};

struct Rig {
    std::shared_ptr<Script> script = std::make_shared<Script>();
    int chunks = -1;
    QString sourceError;
    int recognizersMade = 0;
    int sourcesMade = 0;
    bool noRecognizer = false;
    bool noSource = false;
    bool manual = false;
    QPointer<ChunkSource> source;

    // A listener for one command; a listener with none refuses to listen.
    std::unique_ptr<SpeechListener> make()
    {
        auto listener = makeBare();
        listener->setCommands({{"Quit", "quit"}});
        return listener;
    }
    std::unique_ptr<SpeechListener> makeBare()
    {
        return std::make_unique<SpeechListener>(
            [this](QString *error) -> std::unique_ptr<SpeechRecognizer> {
                ++recognizersMade;
                if (noRecognizer) {
                    *error = QStringLiteral("the speech model is not installed");
                    return nullptr;
                }
                return std::make_unique<ScriptedRecognizer>(script);
            },
            [this]() -> std::unique_ptr<AudioSource> {
                ++sourcesMade;
                if (noSource)
                    return nullptr;
                auto s = std::make_unique<ChunkSource>(chunks, sourceError);
                s->manual = manual;
                source = s.get();
                return s;
            });
    }
};

Recognition heardAs(const QString &command, int confidence, const QString &words)
{
    Recognition r;
    r.command = command;
    r.confidence = confidence;
    r.words = words;
    return r;
}

// The command the recogniser was given for a spoken answer, by a word of
// its grammar ("yes", "no", "two"); empty when there is none.
QString answerCommand(const std::vector<VoiceCommand> &commands, const QString &word)
{
    for (const VoiceCommand &c : commands)
        if (c.grammar.split(QRegularExpression(QStringLiteral("[^a-z]+")), Qt::SkipEmptyParts).contains(word))
            return c.name;
    return {};
}

// Heard unsurely, with guesses: what the user is asked about.
Recognition guessed(const QString &words, int confidence, const QStringList &guesses)
{
    Recognition r = heardAs(guesses.first(), confidence, words);
    r.guesses = guesses;
    return r;
}

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");


// The test character with "Processing" as its hearing state.
std::unique_ptr<DesktopCharacter> makeBot(kestrova::Timers &timers = kestrova::Timers::system())
{
    QString error;
    std::optional<CharacterModel> model = CharacterModel::load(TestbotFolder, &error);
    if (!model)
        qFatal("testbot does not load: %s", qPrintable(error));
    model->states.insert(QStringLiteral("hearing"), QStringList{QStringLiteral("Processing")});
    auto bot = std::make_unique<DesktopCharacter>(std::move(*model), std::make_unique<SilentVoice>(), timers);
    Commands &c = bot->commands();
    c.setCaption(QStringLiteral("Kestrova"));
    c.setVisible(true);
    c.add(QStringLiteral("General"), QStringLiteral("General"), QStringLiteral("[...]general[...]"), true, true);
    c.add(QStringLiteral("Secret"), QStringLiteral("Secret"), QStringLiteral("secret"), false, true);
    c.add(QStringLiteral("Menu Only"), QStringLiteral("Menu Only"), QString(), true, true);
    c.add(QStringLiteral("Check Mail"), QStringLiteral("Check Mail"), QStringLiteral("[check][e]mail"), true, false);
    c.add(QStringLiteral("Quit"), QStringLiteral("Quit"), QStringLiteral("quit[program|application]"), true, true);
    c.item(QStringLiteral("Quit"))->strict = true;
    bot->show();
    auto *manual = dynamic_cast<kestrova::test::ManualTimers *>(&timers);
    if (!QTest::qWaitFor(
            [&] {
                if (manual)
                    manual->advance(20);
                return bot->visible() && !bot->isBusy();
            },
            3000))
        qFatal("testbot does not show");
    return bot;
}

} // namespace

class TestSpeechListener : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<UserInput>(); }

    void oneUtteranceIsDecodedOffTheUiThread();
    void stopDropsTheResult();
    void sourceRunningDry();
    void speechLongerThanTheLimitEnds();
    void waitingForSpeechHoldsLittleAudio();
    void pauseBetweenWords();
    void endOfSpeechInsideALongPiece();
    void noiseWithoutWordsIsListenedThrough();
    void grammarRebuiltOnlyWhenCommandsChange();
    void noMicrophone();
    void noRecognizer();
    void recognizerRemadeWhenTheVoiceProfileChanges();
    void endNotHeldUpByTheRecognizerBeingMade();

    void spokenCommandBecomesACommand();
    void somethingElseHeardIsNotUnderstood();
    void commandDisabledWhileListening();
    void typingWinsOverTheVoice();
    void noMicrophoneIsSaidOnce();
    void realRecordingThroughTheCharacter_data();
    void wholeCommandEndsAtTheFirstPause_data();
    void wholeCommandEndsAtTheFirstPause();
    void realRecordingThroughTheCharacter();
    void unsureCommandIsAskedAbout();
    void questionAnsweredByVoice_data();
    void questionAnsweredByVoice();
    void questionDroppedByEscape();
    void questionDroppedAfterSilence();

    void listeningKeyNeedsX11();
};

void TestSpeechListener::oneUtteranceIsDecodedOffTheUiThread()
{
    Rig rig;
    rig.script->result = heardAs(QStringLiteral("Check Mail"), 42, QStringLiteral("check mail"));
    auto listener = rig.make();
    QStringList order;
    QThread *heardOn = nullptr;
    connect(listener.get(), &SpeechListener::hearingStarted, this, [&] { order << "hearing"; });
    connect(listener.get(), &SpeechListener::heard, this, [&](const Recognition &r) {
        order << "heard " + r.command;
        heardOn = QThread::currentThread();
    });
    QVERIFY(listener->start());
    QVERIFY(listener->isListening());
    QTRY_COMPARE(order, QStringList({"hearing", "heard Check Mail"}));
    QVERIFY(!listener->isListening());
    QCOMPARE(heardOn, QThread::currentThread());
    listener->waitForWorker();
    QMutexLocker lock(&rig.script->mutex);
    QCOMPARE(rig.script->threads.size(), 1);
    QVERIFY(!rig.script->threads.contains(QThread::currentThread()));
    // The source stops with the result; nothing more is recorded.
    QVERIFY(rig.source && !rig.source->running());
    QCOMPARE(rig.recognizersMade, 1);
}

void TestSpeechListener::stopDropsTheResult()
{
    Rig rig;
    rig.manual = true;
    rig.script->speechFrom = 0;
    rig.script->speechUntil = Chunk;
    // "quit" is a whole command: the pause after it ends the utterance.
    rig.script->complete = true;
    rig.script->result = heardAs(QStringLiteral("Quit"), 90, QStringLiteral("quit"));
    auto listener = rig.make();
    QSignalSpy heard(listener.get(), &SpeechListener::heard);
    QVERIFY(listener->start());
    // The worker has its answer on the way when listening is stopped: it
    // is not raised.
    rig.source->push();
    listener->waitForWorker();
    listener->stop();
    QVERIFY(!listener->isListening());
    QTest::qWait(100);
    QCOMPARE(heard.count(), 0);

    // Listening again gives the next utterance its own result.
    QVERIFY(listener->start());
    rig.source->push();
    QTRY_COMPARE(heard.count(), 1);
    QCOMPARE(heard.at(0).at(0).value<Recognition>().command, QStringLiteral("Quit"));
}

void TestSpeechListener::sourceRunningDry()
{
    // Nothing but silence, then the file ends: listening stops, no result.
    {
        Rig rig;
        rig.chunks = 2;
        auto listener = rig.make();
        QSignalSpy heard(listener.get(), &SpeechListener::heard);
        QSignalSpy stopped(listener.get(), &SpeechListener::stopped);
        QVERIFY(listener->start());
        QTRY_COMPARE(stopped.count(), 1);
        QCOMPARE(heard.count(), 0);
        QVERIFY(!listener->isListening());
        // A source that ran dry is made anew for the next listening.
        QVERIFY(listener->start());
        QCOMPARE(rig.sourcesMade, 2);
        listener->stop();
    }
    // Speech still going when the source ends: what was heard counts.
    {
        Rig rig;
        rig.chunks = 5;
        rig.script->speechUntil = -1;
        rig.script->result = heardAs(QStringLiteral("General"), 10, QStringLiteral("general"));
        auto listener = rig.make();
        QSignalSpy heard(listener.get(), &SpeechListener::heard);
        QSignalSpy stopped(listener.get(), &SpeechListener::stopped);
        QVERIFY(listener->start());
        QTRY_COMPARE(heard.count(), 1);
        QCOMPARE(stopped.count(), 0);
        QCOMPARE(heard.at(0).at(0).value<Recognition>().command, QStringLiteral("General"));
    }
}

void TestSpeechListener::speechLongerThanTheLimitEnds()
{
    Rig rig;
    rig.script->speechUntil = -1; // a steady noise the detector takes for speech
    auto listener = rig.make();
    listener->setMaxUtteranceMs(500);
    QSignalSpy heard(listener.get(), &SpeechListener::heard);
    QVERIFY(listener->start());
    QTRY_COMPARE(heard.count(), 1);
    listener->waitForWorker();
    QMutexLocker lock(&rig.script->mutex);
    // Speech was noticed in the 20 ms piece that ends at 300 ms; the limit
    // is 500 ms from that piece's start.
    QCOMPARE(rig.script->longestUtterance, qint64(300 - 20 + 500) * 16);
}

void TestSpeechListener::pauseBetweenWords()
{
    // Speech 0.3-0.8 s, a pause of 0.3 s, speech again 1.1-1.5 s. Words
    // that are not yet a command wait through the pause and take both.
    for (const bool complete : {false, true}) {
        Rig rig;
        rig.script->resumeFrom = 11 * Chunk;
        rig.script->resumeUntil = 15 * Chunk;
        rig.script->complete = complete;
        rig.script->result = heardAs(QStringLiteral("New Document"), 30, QStringLiteral("word doc"));
        auto listener = rig.make();
        int audioMs = -1;
        connect(listener.get(), &SpeechListener::heard, this, [&](const Recognition &r) { audioMs = r.audioMs; });
        QVERIFY(listener->start());
        QTRY_VERIFY(audioMs >= 0);
        if (complete) {
            // A whole command: the first pause ends it.
            QCOMPARE(audioMs, 800);
        } else {
            // Through the pause, to the end of the second word and a
            // pause longer than one between words.
            QVERIFY2(audioMs >= 1500 + 300 && audioMs <= 1500 + 500, qPrintable(QString::number(audioMs)));
        }
    }
}

void TestSpeechListener::endOfSpeechInsideALongPiece()
{
    // The source hands over 100 ms at a time; speech ends 50 ms into a
    // piece. The end is acted on there, not at the end of the piece, and
    // the audio after it is not decoded: with a whole command at once,
    // otherwise after the pause between words.
    for (const bool complete : {true, false}) {
        Rig rig;
        rig.script->speechUntil = 8 * Chunk + Chunk / 2;
        rig.script->complete = complete;
        rig.script->result = heardAs(QStringLiteral("Quit"), 40, QStringLiteral("quit"));
        auto listener = rig.make();
        int audioMs = -1;
        connect(listener.get(), &SpeechListener::heard, this, [&](const Recognition &r) { audioMs = r.audioMs; });
        QVERIFY(listener->start());
        QTRY_VERIFY(audioMs >= 0);
        const int endMs = 850 + (complete ? 0 : 350);
        QVERIFY2(audioMs >= endMs && audioMs <= endMs + 20, qPrintable(QString::number(audioMs)));
        listener->waitForWorker();
        QMutexLocker lock(&rig.script->mutex);
        QVERIFY(rig.script->longestUtterance <= qint64(endMs + 20) * 16);
    }
}

void TestSpeechListener::noiseWithoutWordsIsListenedThrough()
{
    // Twice something the recogniser took for speech with no word in it,
    // then words: one result, of the words, and the noise thrown away.
    Rig rig;
    rig.script->wordless = 2;
    rig.script->result = heardAs(QStringLiteral("Quit"), 40, QStringLiteral("quit"));
    auto listener = rig.make();
    QSignalSpy heard(listener.get(), &SpeechListener::heard);
    QSignalSpy stopped(listener.get(), &SpeechListener::stopped);
    QVERIFY(listener->start());
    QTRY_COMPARE(heard.count(), 1);
    QCOMPARE(heard.at(0).at(0).value<Recognition>().command, QStringLiteral("Quit"));
    listener->waitForWorker();
    QMutexLocker lock(&rig.script->mutex);
    QCOMPARE(rig.script->discards, 2);
    QCOMPARE(rig.script->starts, 3);
    QCOMPARE(rig.script->ends, 1);
    QCOMPARE(stopped.count(), 0);
}

void TestSpeechListener::waitingForSpeechHoldsLittleAudio()
{
    Rig rig;
    rig.chunks = 120; // 12 s of silence
    rig.script->speechFrom = 1 << 30;
    auto listener = rig.make();
    QSignalSpy stopped(listener.get(), &SpeechListener::stopped);
    QVERIFY(listener->start());
    QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, 10000);
    listener->waitForWorker();
    QMutexLocker lock(&rig.script->mutex);
    QCOMPARE(rig.script->longestUtterance, qint64(40 * Chunk));
    QCOMPARE(rig.script->starts, 4);
    QCOMPARE(rig.script->ends, 4);
}

void TestSpeechListener::grammarRebuiltOnlyWhenCommandsChange()
{
    Rig rig;
    auto listener = rig.makeBare();
    QSignalSpy failed(listener.get(), &SpeechListener::failed);
    QVERIFY(listener->start());
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("No command can be spoken"));

    const std::vector<VoiceCommand> a = {{"Quit", "quit"}, {"Help", "help"}};
    listener->setCommands(a);
    listener->setCommands(a);
    QVERIFY(listener->start());
    listener->stop();
    listener->waitForWorker();
    {
        QMutexLocker lock(&rig.script->mutex);
        QCOMPARE(rig.script->commandSets, 1);
    }
    // A command enabled, or its grammar changed: built again.
    listener->setCommands({{"Quit", "quit"}, {"Help", "help"}, {"General", "general"}});
    listener->setCommands({{"Quit", "quit [program]"}, {"Help", "help"}, {"General", "general"}});
    listener->waitForWorker();
    QMutexLocker lock(&rig.script->mutex);
    QCOMPARE(rig.script->commandSets, 3);
    QCOMPARE(rig.script->commands.size(), std::size_t(3));
    QCOMPARE(rig.script->commands.front().grammar, QStringLiteral("quit [program]"));
    lock.unlock();
    // Made strict: built again, and the recogniser told.
    listener->setCommands({{"Quit", "quit [program]", true}, {"Help", "help"}, {"General", "general"}});
    listener->waitForWorker();
    lock.relock();
    QCOMPARE(rig.script->commandSets, 4);
    QVERIFY(rig.script->commands.front().strict);
}

void TestSpeechListener::noMicrophone()
{
    Rig rig;
    rig.sourceError = QStringLiteral("No microphone was found");
    auto listener = rig.make();
    QVERIFY(!listener->start());
    QCOMPARE(listener->errorString(), QStringLiteral("No microphone was found"));
    QVERIFY(!listener->isListening());
    // Asked again at the next listening: a microphone may be there by then.
    QVERIFY(!listener->start());
    QCOMPARE(rig.sourcesMade, 2);

    Rig none;
    none.noSource = true;
    auto listener2 = none.make();
    QVERIFY(!listener2->start());
    QVERIFY(!listener2->errorString().isEmpty());
}

void TestSpeechListener::recognizerRemadeWhenTheVoiceProfileChanges()
{
    Rig rig;
    auto listener = rig.make();
    QMutex keyMutex;
    QString key = QStringLiteral("first");
    listener->setRecognizerKey([&] {
        QMutexLocker lock(&keyMutex);
        return key;
    });
    auto listenOnce = [&] {
        QVERIFY(listener->start());
        listener->stop();
        listener->waitForWorker();
    };
    listenOnce();
    listenOnce();
    QCOMPARE(rig.recognizersMade, 1);
    {
        QMutexLocker lock(&rig.script->mutex);
        QCOMPARE(rig.script->commandSets, 1);
    }
    // A profile learnt (or forgotten) between two listenings: the next one
    // makes the recogniser again, and gives it the commands.
    {
        QMutexLocker lock(&keyMutex);
        key.clear();
    }
    listenOnce();
    QCOMPARE(rig.recognizersMade, 2);
    QMutexLocker lock(&rig.script->mutex);
    QCOMPARE(rig.script->commandSets, 2);
    QCOMPARE(rig.script->commands.size(), std::size_t(1));
}

void TestSpeechListener::noRecognizer()
{
    Rig rig;
    rig.noRecognizer = true;
    auto listener = rig.make();
    QSignalSpy failed(listener.get(), &SpeechListener::failed);
    QVERIFY(listener->start());
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("the speech model is not installed"));
    QVERIFY(!listener->isListening());
    QVERIFY(rig.source && !rig.source->running());
    // Not tried again: the model will not appear during the run.
    QVERIFY(listener->start());
    QTRY_COMPARE(failed.count(), 2);
    QCOMPARE(rig.recognizersMade, 1);
}

void TestSpeechListener::endNotHeldUpByTheRecognizerBeingMade()
{
    const int leftBefore = kestrova::platform::leftBehind();
    {
        // Made and idle: the end takes the worker and its recogniser at
        // once, and nothing runs on.
        Rig rig;
        auto listener = rig.make();
        QSignalSpy heard(listener.get(), &SpeechListener::heard);
        QVERIFY(listener->start());
        QTRY_COMPARE(heard.count(), 1);
        listener.reset();
        QMutexLocker lock(&rig.script->mutex);
        QCOMPARE(rig.script->destroyed, 1);
        QCOMPARE(kestrova::platform::leftBehind(), leftBefore);
    }

    // The end comes while the model is still being loaded (seconds on a
    // loaded machine).
    struct Gate {
        QSemaphore started;
        QSemaphore go;
        QSemaphore made;
    };
    auto gate = std::make_shared<Gate>();
    // Held by the recogniser's factory, which the worker keeps.
    auto heldByTheWorker = std::make_shared<int>(0);
    const std::weak_ptr<int> workerAlive = heldByTheWorker;
    auto listener = std::make_unique<SpeechListener>(
        [gate, held = std::move(heldByTheWorker)](QString *error) -> std::unique_ptr<SpeechRecognizer> {
            gate->started.release();
            gate->go.tryAcquire(1, 3000);
            // Once loaded, the model turns out not to do: a failure for
            // the listener to hear of.
            *error = QStringLiteral("the speech model is damaged");
            gate->made.release();
            return nullptr;
        },
        [] {
            auto source = std::make_unique<ChunkSource>(-1, QString());
            source->manual = true;
            return source;
        });
    listener->setCommands({{"Quit", "quit"}});
    QVERIFY(listener->start());
    QVERIFY(gate->started.tryAcquire(1, 10000));
    QElapsedTimer ending;
    ending.start();
    listener.reset();
    QVERIFY2(ending.elapsed() < 1000, qPrintable(QStringLiteral("the end took %1 ms").arg(ending.elapsed())));
    QCOMPARE(kestrova::platform::leftBehind(), leftBefore + 1);
    QVERIFY(!workerAlive.expired());

    // Made after the listener went: the worker tells no one, and goes with
    // its thread.
    gate->go.release();
    QVERIFY(gate->made.tryAcquire(1, 10000));
    QTRY_VERIFY_WITH_TIMEOUT(workerAlive.expired(), 10000);
}

void TestSpeechListener::spokenCommandBecomesACommand()
{
    Rig rig;
    rig.script->speechUntil = 15 * Chunk;
    rig.script->result = heardAs(QStringLiteral("Check Mail"), 35, QStringLiteral("check mail"));
    auto listener = rig.make();
    auto bot = makeBot();
    bot->setSpeechListener(listener.get());
    QSignalSpy commands(bot.get(), &Character::command);
    QStringList seen;
    connect(listener.get(), &SpeechListener::hearingStarted, this, [&] {
        QTimer::singleShot(0, this, [&] { seen << bot->currentAnimation(); });
    });
    bot->listen(true);
    QVERIFY(bot->listeningPrompt()->isVisible());
    QVERIFY(listener->isListening());
    QTRY_COMPARE(commands.count(), 1);
    const UserInput input = commands.at(0).at(0).value<UserInput>();
    QCOMPARE(input.name, QStringLiteral("Check Mail"));
    QCOMPARE(input.confidence, 35);
    QCOMPARE(input.voice, QStringLiteral("check mail"));
    QVERIFY(!bot->isListening());
    QVERIFY(!bot->listeningPrompt()->isVisible());
    QCOMPARE(seen, QStringList({"Processing"}));
    // The recogniser listened for the enabled commands with words to say.
    listener->waitForWorker();
    QMutexLocker lock(&rig.script->mutex);
    QStringList names;
    for (const VoiceCommand &c : rig.script->commands)
        names << c.name + (c.strict ? QStringLiteral(" (strict)") : QString());
    QCOMPARE(names, QStringList({"General", "Check Mail", "Quit (strict)"}));
}

void TestSpeechListener::somethingElseHeardIsNotUnderstood()
{
    Rig rig;
    rig.script->result = heardAs(QString(), -100, QString());
    auto listener = rig.make();
    auto bot = makeBot();
    bot->setSpeechListener(listener.get());
    QSignalSpy commands(bot.get(), &Character::command);
    bot->listen(true);
    QTRY_COMPARE(commands.count(), 1);
    const UserInput input = commands.at(0).at(0).value<UserInput>();
    QCOMPARE(input.name, QString());
    QCOMPARE(input.confidence, -100);
    QVERIFY(!bot->isListening());
}

void TestSpeechListener::commandDisabledWhileListening()
{
    Rig rig;
    rig.script->speechFrom = 20 * Chunk;
    rig.script->speechUntil = 25 * Chunk;
    rig.script->result = heardAs(QStringLiteral("Quit"), 80, QStringLiteral("quit"));
    auto listener = rig.make();
    auto bot = makeBot();
    bot->setSpeechListener(listener.get());
    QSignalSpy commands(bot.get(), &Character::command);
    bot->listen(true);
    bot->commands().item(QStringLiteral("Quit"))->enabled = false;
    QTRY_COMPARE(commands.count(), 1);
    const UserInput input = commands.at(0).at(0).value<UserInput>();
    QCOMPARE(input.name, QString());
    QCOMPARE(input.confidence, -100);
    QCOMPARE(input.voice, QStringLiteral("quit"));
}

void TestSpeechListener::typingWinsOverTheVoice()
{
    Rig rig;
    rig.script->speechFrom = 10 * Chunk;
    rig.script->speechUntil = 14 * Chunk;
    rig.script->result = heardAs(QStringLiteral("Quit"), 80, QStringLiteral("quit"));
    auto listener = rig.make();
    auto bot = makeBot();
    bot->setSpeechListener(listener.get());
    QSignalSpy commands(bot.get(), &Character::command);
    bot->listen(true);
    bot->hear(QStringLiteral("general"));
    QCOMPARE(commands.count(), 1);
    QCOMPARE(commands.at(0).at(0).value<UserInput>().name, QStringLiteral("General"));
    QVERIFY(!listener->isListening());
    QTest::qWait(300);
    QCOMPARE(commands.count(), 1);
}

void TestSpeechListener::noMicrophoneIsSaidOnce()
{
    Rig rig;
    rig.sourceError = QStringLiteral("No microphone was found");
    auto listener = rig.make();
    auto bot = makeBot();
    bot->setSpeechListener(listener.get());
    // In the top left corner the balloon and the prompt both want the
    // space to the right of the character.
    bot->moveTo(0, 0);
    QTRY_VERIFY(!bot->isBusy() && bot->left() == 0);
    bot->listen(true);
    // Typing still works.
    QVERIFY(bot->isListening());
    QVERIFY(bot->listeningPrompt()->isVisible());
    QVERIFY(bot->balloon()->isVisible());
    QCOMPARE(bot->balloon()->text(), DesktopCharacter::NoMicrophoneNotice);
    QVERIFY(!bot->listeningPrompt()->geometry().intersects(bot->balloon()->geometry()));
    QTRY_VERIFY_WITH_TIMEOUT(!bot->balloon()->isVisible(), 15000);
    bot->listen(false);
    bot->listen(true);
    QTest::qWait(100);
    QVERIFY(bot->isListening());
    QVERIFY(!bot->balloon()->isVisible());
    QCOMPARE(rig.sourcesMade, 2);
    bot->listen(false);
}

// The first listening of a run, through the real recogniser: the words
// right after the key, and after a moment of the hiss every microphone
// has, which the recogniser has not heard before.
void TestSpeechListener::realRecordingThroughTheCharacter_data()
{
    QTest::addColumn<double>("hissSeconds");
    QTest::newRow("words at once") << 0.0;
    QTest::newRow("after a moment's hiss") << 2.0;
}

void TestSpeechListener::realRecordingThroughTheCharacter()
{
    QFETCH(double, hissSeconds);
    QTemporaryDir dir;
    const QString raw = dir.filePath("raw.wav"), words = dir.filePath("words.wav"), wav = dir.filePath("check.wav");
    QCOMPARE(QProcess::execute("flite", {"-voice", "slt", "-t", "check mail", "-o", raw}), 0);
    // Half a second of silence after the words, as a speaker pauses.
    QCOMPARE(QProcess::execute("sox", {raw, "-r", "16000", "-c", "1", "-b", "16", words, "pad", "0.3", "0.6"}), 0);
    if (hissSeconds > 0) {
        // A quiet microphone's hiss (about -70 dB) under all of it.
        const QString hiss = dir.filePath("hiss.wav"), padded = dir.filePath("padded.wav");
        QCOMPARE(QProcess::execute("sox", {words, padded, "pad", QString::number(hissSeconds), "0"}), 0);
        QCOMPARE(QProcess::execute("sox", {padded, hiss, "synth", "whitenoise", "vol", "0.0008"}), 0);
        QCOMPARE(QProcess::execute("sox", {"-m", padded, hiss, wav}), 0);
    } else {
        QVERIFY(QFile::rename(words, wav));
    }
    SpeechListener listener([](QString *error) { return createPocketsphinxRecognizer(error); },
                            [wav]() -> std::unique_ptr<AudioSource> { return std::make_unique<WavFileSource>(wav, true); });
    auto bot = makeBot();
    bot->setSpeechListener(&listener);
    QSignalSpy commands(bot.get(), &Character::command);
    QSignalSpy failed(&listener, &SpeechListener::failed);
    bot->listen(true);
    QTRY_COMPARE_WITH_TIMEOUT(commands.count(), 1, 10000);
    QCOMPARE(failed.count(), 0);
    const UserInput input = commands.at(0).at(0).value<UserInput>();
    QCOMPARE(input.name, QStringLiteral("Check Mail"));
    QVERIFY2(input.confidence > -60, qPrintable(QString::number(input.confidence)));
    QCOMPARE(input.voice, QStringLiteral("check mail"));
}

// A command said in one breath ends at the pause after it, through the
// real recogniser: at once when no longer command goes on from its words
// ("open word" while "open wordpad" is another command: "word" is not
// "wordpad" begun), after the wait a speaker gets between words when one
// does ("open word doc").
void TestSpeechListener::wholeCommandEndsAtTheFirstPause_data()
{
    QTest::addColumn<bool>("longerCommand");
    QTest::newRow("no longer command") << false;
    QTest::newRow("a longer command goes on from it") << true;
}

void TestSpeechListener::wholeCommandEndsAtTheFirstPause()
{
    QFETCH(bool, longerCommand);
    QTemporaryDir dir;
    const QString raw = dir.filePath("raw.wav"), wav = dir.filePath("open-word.wav");
    QCOMPARE(QProcess::execute("flite", {"-voice", "slt", "-t", "open word", "-o", raw}), 0);
    QCOMPARE(QProcess::execute("sox", {raw, "-r", "16000", "-c", "1", "-b", "16", wav, "pad", "0.3", "1.5"}), 0);
    QString error;
    const auto samples = readWav16kMono(wav, &error);
    QVERIFY2(samples, qPrintable(error));
    std::size_t last = 0;
    for (std::size_t i = 0; i < samples->size(); ++i)
        if (std::abs(int((*samples)[i])) > 300)
            last = i;
    const int speechEndMs = int(last / 16);

    std::vector<VoiceCommand> commands = {{"Wordpad", "[show|open|run]wordpad[program|application]", true},
                                          {"Word", "[start|open|run]word", true},
                                          {"Quit", "quit[program|application]", true}};
    if (longerCommand)
        commands.push_back({"New Document", "[start|open|run]word doc", true});
    SpeechListener listener([](QString *e) { return createPocketsphinxRecognizer(e); },
                            [wav]() -> std::unique_ptr<AudioSource> { return std::make_unique<WavFileSource>(wav, false); });
    listener.setCommands(commands);
    QSignalSpy heard(&listener, &SpeechListener::heard);
    QSignalSpy failed(&listener, &SpeechListener::failed);
    QVERIFY(listener.start());
    QTRY_COMPARE_WITH_TIMEOUT(heard.count() + failed.count(), 1, 20000);
    QCOMPARE(failed.count(), 0);
    const Recognition r = heard.at(0).at(0).value<Recognition>();
    QCOMPARE(r.words, QStringLiteral("open word"));
    // The recogniser notices the pause some 0.15 s after the words; the
    // wait between words is 0.35 s more.
    const int after = r.audioMs - speechEndMs;
    if (longerCommand)
        QVERIFY2(after >= 450, qPrintable(QString::number(after)));
    else
        QVERIFY2(after < 300, qPrintable(QString::number(after)));
}

// Heard too unsurely to act on: the character asks, the prompt offers the
// guesses, and a key or a click chooses one.
void TestSpeechListener::unsureCommandIsAskedAbout()
{
    Rig rig;
    rig.script->result = guessed(QStringLiteral("check mail"), -75, {"Check Mail", "General", "Quit"});
    auto listener = rig.make();
    auto bot = makeBot();
    bot->setSpeechListener(listener.get());
    QSignalSpy commands(bot.get(), &Character::command);
    bot->listen(true);
    ListeningPrompt *prompt = bot->listeningPrompt();
    QTRY_VERIFY(prompt->asking());
    QCOMPARE(commands.count(), 0);
    QVERIFY(bot->isListening());
    QVERIFY(prompt->isVisible());
    QTRY_VERIFY(bot->balloon()->isVisible());
    QStringList buttons;
    for (QPushButton *b : prompt->guessButtons())
        buttons << b->text();
    QCOMPARE(buttons, QStringList({"&1 Check Mail", "&2 General", "&3 Quit"}));
    QCOMPARE(bot->balloon()->text(), QStringLiteral("Did you mean Check Mail?"));
    // A digit typed after letters is part of the line; on an empty line it
    // chooses.
    QTest::keyClick(prompt->line(), Qt::Key_A);
    QTest::keyClick(prompt->line(), Qt::Key_2);
    QCOMPARE(prompt->line()->text(), QStringLiteral("a2"));
    QCOMPARE(commands.count(), 0);
    prompt->line()->clear();
    QTest::keyClick(prompt->line(), Qt::Key_2);
    QCOMPARE(commands.count(), 1);
    const UserInput input = commands.at(0).at(0).value<UserInput>();
    QCOMPARE(input.name, QStringLiteral("General"));
    QCOMPARE(input.confidence, 100);
    QVERIFY(!bot->isListening());
    QVERIFY(!prompt->isVisible());
    QVERIFY(!prompt->asking());

    // Asked again, a click on a button answers; the next listening asks
    // nothing until something is heard.
    rig.script->result = guessed(QStringLiteral("quit"), -60, {"Quit", "Check Mail"});
    bot->listen(true);
    QTRY_VERIFY(prompt->asking());
    QCOMPARE(prompt->guessButtons().size(), 2);
    prompt->guessButtons().at(0)->click();
    QCOMPARE(commands.count(), 2);
    QCOMPARE(commands.at(1).at(0).value<UserInput>().name, QStringLiteral("Quit"));

    // A command's caption is the user's own text: shown as written.
    bot->commands().add(QStringLiteral("Tom & Jerry"), QStringLiteral("<b>Tom</b> & Jerry"),
                        QStringLiteral("tom and jerry"), true, true);
    rig.script->result = guessed(QStringLiteral("tom and jerry"), -70, {"Tom & Jerry"});
    bot->listen(true);
    QTRY_VERIFY(prompt->asking());
    QCOMPARE(prompt->guessButtons().at(0)->text(), QStringLiteral("&1 <b>Tom</b> && Jerry"));
    const QLabel *caption = prompt->findChild<QLabel *>(QStringLiteral("kestrovaListeningCaption"));
    QVERIFY(caption);
    QCOMPARE(caption->text(), QStringLiteral("Did you mean <b>Tom</b> & Jerry?"));
    QCOMPARE(caption->textFormat(), Qt::PlainText);
    bot->listen(false);
    bot->commands().item(QStringLiteral("Tom & Jerry"))->enabled = false;

    // A guess the user cannot run (disabled since) is not offered; with
    // none left it is not understood, as before.
    rig.script->result = guessed(QStringLiteral("secret"), -70, {"Secret"});
    bot->listen(true);
    QTRY_COMPARE(commands.count(), 3);
    QCOMPARE(commands.at(2).at(0).value<UserInput>().name, QString());
    QCOMPARE(commands.at(2).at(0).value<UserInput>().confidence, -100);
}

void TestSpeechListener::questionAnsweredByVoice_data()
{
    QTest::addColumn<QStringList>("guesses");
    QTest::addColumn<QString>("answer");      // a word of an answer's grammar, else a command's name
    QTest::addColumn<int>("confidence");     // the answer's
    QTest::addColumn<QString>("run");        // the command run; empty: none
    QTest::addColumn<bool>("stillAsking");   // the question stands after the answer
    const QStringList strict = {"Quit", "Check Mail"};
    const QStringList plain = {"Check Mail", "General"};
    QTest::newRow("yes runs the guess that quits") << strict << "yes" << 20 << "Quit" << false;
    QTest::newRow("an unsure yes is no answer") << strict << "yes" << -70 << "" << true;
    QTest::newRow("no runs nothing") << strict << "no" << 30 << "" << false;
    QTest::newRow("its number") << strict << "two" << 10 << "Check Mail" << false;
    QTest::newRow("a number with no guess") << plain << "three" << 10 << "" << true;
    QTest::newRow("said again, unsurely") << plain << "Check Mail" << -70 << "Check Mail" << false;
    QTest::newRow("quit said again, unsurely") << strict << "Quit" << -60 << "" << true;
    QTest::newRow("quit said again, surely") << strict << "Quit" << 50 << "Quit" << false;
    QTest::newRow("another command, surely") << plain << "Quit" << 50 << "Quit" << false;
}

// The answer heard as the recogniser hears words: the question's own
// words are given to it beside the commands.
void TestSpeechListener::questionAnsweredByVoice()
{
    QFETCH(QStringList, guesses);
    QFETCH(QString, answer);
    QFETCH(int, confidence);
    QFETCH(QString, run);
    QFETCH(bool, stillAsking);
    Rig rig;
    rig.script->speechUntil = 6 * Chunk;
    std::atomic<int> answers = 0;
    rig.script->respond = [&](const std::vector<VoiceCommand> &commands) {
        const QString yes = answerCommand(commands, QStringLiteral("yes"));
        if (yes.isEmpty()) // the first utterance: not sure
            return guessed(guesses.first().toLower(), guesses.first() == u"Quit" ? -60 : -75, guesses);
        ++answers;
        if (answers > 1) // after the answer: nothing heard
            return heardAs(QString(), -100, QString());
        const QString name = answerCommand(commands, answer);
        if (!name.isEmpty())
            return heardAs(name, confidence, answer);
        return confidence > NotUnderstoodConfidence ? heardAs(answer, confidence, answer.toLower())
                                                    : guessed(answer.toLower(), confidence, {answer});
    };
    auto listener = rig.make();
    auto bot = makeBot();
    bot->setSpeechListener(listener.get());
    QSignalSpy commands(bot.get(), &Character::command);
    bot->listen(true);
    QTRY_VERIFY(bot->listeningPrompt()->asking());
    QTRY_VERIFY_WITH_TIMEOUT(answers >= 1, 10000);
    if (stillAsking) {
        QTRY_VERIFY_WITH_TIMEOUT(answers >= 2, 10000);
        QCOMPARE(commands.count(), 0);
        QVERIFY(bot->isListening());
        QVERIFY(bot->listeningPrompt()->asking());
        bot->listen(false);
        return;
    }
    QTRY_VERIFY(!bot->isListening());
    QVERIFY(!bot->listeningPrompt()->asking());
    if (run.isEmpty()) {
        QTest::qWait(200);
        QCOMPARE(commands.count(), 0);
        return;
    }
    QCOMPARE(commands.count(), 1);
    QCOMPARE(commands.at(0).at(0).value<UserInput>().name, run);
    QVERIFY(commands.at(0).at(0).value<UserInput>().confidence > NotUnderstoodConfidence);
    // The next listening is for the commands alone again.
    bot->listen(true);
    listener->waitForWorker();
    QMutexLocker lock(&rig.script->mutex);
    QCOMPARE(answerCommand(rig.script->commands, QStringLiteral("yes")), QString());
    QCOMPARE(rig.script->commands.size(), std::size_t(3));
}

void TestSpeechListener::questionDroppedByEscape()
{
    Rig rig;
    rig.script->result = guessed(QStringLiteral("quit"), -60, {"Quit"});
    auto listener = rig.make();
    auto bot = makeBot();
    bot->setSpeechListener(listener.get());
    QSignalSpy commands(bot.get(), &Character::command);
    bot->listen(true);
    QTRY_VERIFY(bot->listeningPrompt()->asking());
    QTest::keyClick(bot->listeningPrompt()->line(), Qt::Key_Escape);
    QVERIFY(!bot->isListening());
    QVERIFY(!bot->listeningPrompt()->asking());
    QTest::qWait(300);
    QCOMPARE(commands.count(), 0);
}

// AnswerTimeoutMs without speech after the question has been said drops it;
// the character's own time, moved on by the test.
void TestSpeechListener::questionDroppedAfterSilence()
{
    kestrova::test::ManualTimers timers;
    Rig rig;
    rig.script->speechlessFrom = 2;
    rig.script->result = guessed(QStringLiteral("quit"), -60, {"Quit"});
    auto listener = rig.make();
    auto bot = makeBot(timers);
    bot->setSpeechListener(listener.get());
    QSignalSpy commands(bot.get(), &Character::command);
    bot->listen(true);
    QTRY_VERIFY(bot->listeningPrompt()->asking());
    QVERIFY(!listener->isListening());
    // The question is said; then the answer is listened for.
    QVERIFY(timers.advanceUntil([&] {
        QCoreApplication::processEvents();
        return listener->isListening();
    }, 20000));
    timers.advance(Listening::AnswerTimeoutMs - 1);
    QCoreApplication::processEvents();
    QVERIFY(bot->isListening());
    QVERIFY(bot->listeningPrompt()->asking());
    timers.advance(1);
    QVERIFY(!bot->isListening());
    QVERIFY(!bot->listeningPrompt()->asking());
    QVERIFY(!listener->isListening());
    QCOMPARE(commands.count(), 0);
}

void TestSpeechListener::listeningKeyNeedsX11()
{
    // These tests run on the offscreen platform: no key can be grabbed, and
    // the key says why instead of pretending.
    ListeningKey key;
    QVERIFY(!key.setKey(ListeningKey::DefaultKey));
    QVERIFY(!key.isActive());
    QVERIFY(key.errorString().contains(QStringLiteral("X11")));
    QVERIFY(key.setKey(QStringLiteral("None")));
    QVERIFY(!key.isActive());
    QCOMPARE(key.key(), QString());
}

QTEST_MAIN(TestSpeechListener)
#include "test_speech_listener.moc"
