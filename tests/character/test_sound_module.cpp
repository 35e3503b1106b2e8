// The voice that waits for the sound module: texts given while it loads,
// a module that is missing, and the module built beside the tests.

#include "SoundModule.h"

#include <QApplication>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

using namespace kestrova::character;

namespace {

// Writes down what it is asked to say; its utterance numbers start at 100
// so that they cannot be mistaken for the waiting voice's own.
class RecordingVoice : public Voice {
public:
    bool isAvailable() const override { return true; }
    int say(const QString &text) override
    {
        said << text;
        return 100 + said.size();
    }
    void stop() override { ++stops; }

    QStringList said;
    int stops = 0;
};

// A table whose flite voice is a RecordingVoice.
RecordingVoice *made = nullptr;
const SoundApi *recordingApi()
{
    static const SoundApi api = [] {
        SoundApi a;
        a.fliteVoice = [](const VoiceSettings &) -> Voice * { return made = new RecordingVoice; };
        return a;
    }();
    return &api;
}

ModuleVoice::Make flite()
{
    return [](const SoundApi &api) { return api.fliteVoice({}); };
}

} // namespace

class TestSoundModule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { made = nullptr; }
    void textsGivenWhileLoadingAreSaidInOrder();
    void stopDropsTextsStillWaiting();
    void withoutTheModuleEveryTextFails();
    void theModuleBuiltBesideLoads();
};

void TestSoundModule::textsGivenWhileLoadingAreSaidInOrder()
{
    auto gate = std::make_shared<QSemaphore>();
    ModuleVoice voice(flite(), [gate] {
        gate->acquire();
        return recordingApi();
    });
    QSignalSpy started(&voice, &Voice::started);
    QSignalSpy finished(&voice, &Voice::finished);
    QSignalSpy timed(&voice, &Voice::timed);

    const int first = voice.say(QStringLiteral("Good Morning"));
    const int second = voice.say(QStringLiteral("The time is"));
    QVERIFY(first != second);
    // Not known yet to be missing: the character gives it texts.
    QVERIFY(voice.isAvailable());
    QCOMPARE(voice.voice(), nullptr);
    QTest::qWait(50);
    QCOMPARE(voice.voice(), nullptr);

    gate->release();
    QTRY_VERIFY(voice.voice() != nullptr);
    QCOMPARE(made->said, (QStringList{QStringLiteral("Good Morning"), QStringLiteral("The time is")}));

    // The module voice's reports reach the character with the numbers it was given.
    SpeechTiming timing;
    timing.totalMs = 900;
    Q_EMIT made->timed(102, timing);
    Q_EMIT made->started(102);
    Q_EMIT made->finished(101);
    Q_EMIT made->finished(102);
    QCOMPARE(timed.size(), 1);
    QCOMPARE(timed.at(0).at(0).toInt(), second);
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.at(0).at(0).toInt(), second);
    QCOMPARE(finished.size(), 2);
    QCOMPARE(finished.at(0).at(0).toInt(), first);
    QCOMPARE(finished.at(1).at(0).toInt(), second);
    // A late second report of the same utterance is not passed on.
    Q_EMIT made->finished(101);
    QCOMPARE(finished.size(), 2);

    // Once loaded, a text goes straight to the module's voice.
    const int third = voice.say(QStringLiteral("Goodbye"));
    QCOMPARE(made->said.size(), 3);
    QSignalSpy failed(&voice, &Voice::failed);
    Q_EMIT made->failed(103);
    Q_EMIT made->failed(103);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toInt(), third);
}

void TestSoundModule::stopDropsTextsStillWaiting()
{
    auto gate = std::make_shared<QSemaphore>();
    ModuleVoice voice(flite(), [gate] {
        gate->acquire();
        return recordingApi();
    });
    voice.say(QStringLiteral("Welcome"));
    voice.stop();
    voice.say(QStringLiteral("Goodbye"));
    gate->release();
    QTRY_VERIFY(voice.voice() != nullptr);
    QCOMPARE(made->said, QStringList{QStringLiteral("Goodbye")});
    voice.stop();
    QCOMPARE(made->stops, 1);
}

void TestSoundModule::withoutTheModuleEveryTextFails()
{
    ModuleVoice voice(flite(), [] { return static_cast<const SoundApi *>(nullptr); });
    QSignalSpy failed(&voice, &Voice::failed);
    const int before = voice.say(QStringLiteral("Good Evening"));
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toInt(), before);
    QVERIFY(!voice.isAvailable());
    QVERIFY(!voice.isWorking());
    // Later texts fail too, from the event loop, not inside say().
    const int after = voice.say(QStringLiteral("Goodbye"));
    QCOMPARE(failed.size(), 1);
    QTRY_COMPARE(failed.size(), 2);
    QCOMPARE(failed.at(1).at(0).toInt(), after);
}

void TestSoundModule::theModuleBuiltBesideLoads()
{
    // The test runs from the folder the program is built in, with the
    // module beside it: the entry point's name and the table's version
    // must match what the program asks for.
    QString error;
    const SoundApi *api = soundApi(&error);
    QVERIFY2(api, qPrintable(error));
    QVERIFY(api->fliteVoice && api->systemVoice && api->microphone && api->playSound && api->audioInputs
            && api->systemVoices);
    std::unique_ptr<Voice> voice(api->fliteVoice({}));
    QVERIFY(voice->isAvailable());
    // A voice made through the table speaks through the waiting voice too.
    ModuleVoice waiting([](const SoundApi &a) { return a.fliteVoice({}); });
    QTRY_VERIFY(waiting.voice() != nullptr);
    QVERIFY(waiting.isAvailable());
}

QTEST_MAIN(TestSoundModule)
#include "test_sound_module.moc"
