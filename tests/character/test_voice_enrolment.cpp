// The enrolment window driven as a user does: each sentence recorded (from
// WAV files standing in for the microphone), redone, the learning started,
// the sentences that did not match asked again, and the profile made.
#include "SpeechRecognizer.h"
#include "SpokenRecording.h"
#include "desktop/VoiceEnrolmentWindow.h"
#include "VoiceProfile.h"
#include "WavFile.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova::character;

class TestVoiceEnrolment : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandPhrases_data();
    void commandPhrases();
    void enrolThroughTheWindow();

private:
    QString say(const QString &phrase, double seconds = 0);
    QTemporaryDir m_dir;
    kestrova::test::SpokenRecording m_voice{m_dir.path(), "flite", {"-voice", "awb", "-t", "%TEXT%", "-o", "%OUT%"}};
};

void TestVoiceEnrolment::commandPhrases_data()
{
    QTest::addColumn<QString>("grammar");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("optional word said") << "quit[program|application]" << "quit program";
    QTest::newRow("first choice of a group") << "(move to|go to|follow)mouse[pointer|cursor]" << "move to mouse pointer";
    QTest::newRow("first of the whole") << "what time is it[now]|(what is|whats)the time[now]" << "what time is it now";
    QTest::newRow("filler left out") << "[...]general[...]" << "general";
    QTest::newRow("glued letter") << "[check][e]mail" << "check e mail";
    QTest::newRow("nothing to say") << "[...]" << "";
}

void TestVoiceEnrolment::commandPhrases()
{
    QFETCH(QString, grammar);
    QFETCH(QString, phrase);
    QCOMPARE(commandPhrase(grammar), phrase);
}

QString TestVoiceEnrolment::say(const QString &phrase, double seconds)
{
    return m_voice.say(phrase, seconds);
}

void TestVoiceEnrolment::enrolThroughTheWindow()
{
    QVERIFY(m_dir.isValid());
    // What the microphone hears next, as the test sets it.
    QString nextFile;
    int sourcesMade = 0;
    const QString profile = m_dir.filePath("data/voice");
    VoiceEnrolmentWindow window(
        [&]() -> std::unique_ptr<AudioSource> {
            ++sourcesMade;
            return std::make_unique<WavFileSource>(nextFile, false);
        },
        m_dir.filePath("data/voice-recordings"), profile);
    VoiceAdaptation::Tools tools = VoiceAdaptation::installedTools();
    tools.prepareProgram = QStringLiteral(KESTROVA_VOICE_PREP);
    window.adaptation()->setTools(tools);
    window.setCommands({{"Help", "help"}, {"Quit", "quit[program|application]", true}});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QStringList sentences = window.sentences();
    QCOMPARE(sentences.size(), enrolmentSentences().size() + 2);
    QCOMPARE(sentences.mid(sentences.size() - 2), (QStringList{"help", "quit program"}));
    auto *record = window.findChild<QPushButton *>("kestrovaEnrolRecord");
    auto *redo = window.findChild<QPushButton *>("kestrovaEnrolRedo");
    auto *next = window.findChild<QPushButton *>("kestrovaEnrolNext");
    auto *learn = window.findChild<QPushButton *>("kestrovaEnrolLearn");
    auto *shown = window.findChild<QLabel *>("kestrovaEnrolSentence");
    auto *level = window.findChild<QProgressBar *>("kestrovaEnrolLevel");
    QVERIFY(record && redo && next && learn && shown && level);
    QVERIFY(!learn->isEnabled());

    // The first dozen are cut short: they cannot match their sentences.
    constexpr int Cut = 12;
    int levelSeen = 0;
    connect(level, &QProgressBar::valueChanged, this, [&levelSeen](int v) { levelSeen = std::max(levelSeen, v); });
    for (int i = 0; i < sentences.size(); ++i) {
        QCOMPARE(window.current(), i);
        QCOMPARE(shown->text(), sentences[i]);
        nextFile = say(sentences[i], i < Cut ? 0.6 : 0);
        QVERIFY(!nextFile.isEmpty());
        QTest::mouseClick(record, Qt::LeftButton);
        // The file runs dry as a microphone stopped by the user would.
        QTRY_VERIFY(!window.isRecording());
        QCOMPARE(window.recordings().at(i).isEmpty(), false);
        if (i == 1) {
            // Redone: the second take replaces the first.
            QVERIFY(redo->isEnabled());
            QTest::mouseClick(redo, Qt::LeftButton);
            QTRY_VERIFY(!window.isRecording());
            QCOMPARE(window.current(), 1);
        }
        QTest::mouseClick(next, Qt::LeftButton);
    }
    QVERIFY(levelSeen > 50);
    QCOMPARE(sourcesMade, sentences.size() + 1);
    QVERIFY(learn->isEnabled());

    QSignalSpy learnt(&window, &VoiceEnrolmentWindow::learnt);
    QSignalSpy failed(window.adaptation(), &VoiceAdaptation::failed);
    QTest::mouseClick(learn, Qt::LeftButton);
    QVERIFY(!learn->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(failed.size() == 1, 120'000);
    QVERIFY(learnt.isEmpty());
    QVERIFY2(window.message().contains("please record again"), qPrintable(window.message()));
    QVERIFY(!VoiceProfile(profile).exists());
    // The cut ones are asked again, one after the other.
    const QStringList again = failed.first().at(1).toStringList();
    QVERIFY(again.size() >= Cut);
    for (int k = 0; k < again.size(); ++k) {
        QCOMPARE(shown->text(), again[k]);
        const int i = int(sentences.indexOf(again[k]));
        nextFile = say(sentences[i]);
        QTest::mouseClick(record, Qt::LeftButton);
        QTRY_VERIFY(!window.isRecording());
        QTest::mouseClick(next, Qt::LeftButton);
    }
    QVERIFY(learn->isEnabled());
    QTest::mouseClick(learn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(learnt.size() + failed.size() == 2, 120'000);
    QCOMPARE(learnt.size(), 1);
    QCOMPARE(learnt.first().first().toString(), profile);
    QVERIFY(VoiceProfile(profile).exists());
    QVERIFY2(window.message().contains("Your voice is learnt"), qPrintable(window.message()));

    // The recogniser made for the next listening takes it and says so.
    QTest::ignoreMessage(QtInfoMsg,
                         qPrintable(QStringLiteral("Listening with the voice profile in %1 (adapted model)").arg(profile)));
    QString error;
    QVERIFY2(createPocketsphinxRecognizer(&error, PhoneLoopDecoder::Shared, profile), qPrintable(error));
}

QTEST_MAIN(TestVoiceEnrolment)
#include "test_voice_enrolment.moc"
