// Speech with its timing: flite's phones and words as the program gets
// them, the mouth shapes they make, and the desktop character following a
// voice that says when each sound comes.

#include "desktop/DesktopCharacter.h"
#include "FliteVoice.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace kestrova::character;

namespace {

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");

// Equal neighbours merged: the shapes as the eye sees them change.
QList<int> shapesOf(const QList<MouthStep> &steps)
{
    QList<int> out;
    for (const MouthStep &s : steps)
        if (out.isEmpty() || out.last() != s.shape)
            out << s.shape;
    return out;
}

// Says every text with a fixed timing, as a timing-aware engine would.
class TimedVoice : public Voice {
public:
    explicit TimedVoice(SpeechTiming timing) : m_timing(std::move(timing)) {}
    bool isAvailable() const override { return true; }
    int say(const QString &) override
    {
        const int u = next++;
        QTimer::singleShot(0, this, [this, u] {
            Q_EMIT timed(u, m_timing);
            Q_EMIT started(u);
        });
        QTimer::singleShot(m_timing.totalMs, this, [this, u] { Q_EMIT finished(u); });
        return u;
    }
    void stop() override {}
    int next = 1;

private:
    SpeechTiming m_timing;
};

} // namespace

class TestFliteVoice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<SpeechTiming>(); }
    void wordsAndPhonesAreTimed();
    void lipShapesOfAKnownSentence();
    void rateChangesTheLength();
    void noSoundOutputFailsTheUtterance();
    void characterFollowsTheVoicesTiming();
};

void TestFliteVoice::wordsAndPhonesAreTimed()
{
    QByteArray pcm;
    int rate = 0;
    SpeechTiming t;
    QVERIFY(synthesiseWithFlite(QStringLiteral("slt"), {}, QStringLiteral("Hello there, it is 7 o'clock."), &pcm, &rate, &t));
    QCOMPARE(rate, 16000);
    QCOMPARE(t.totalMs, int(pcm.size() / 2 * 1000 / rate));
    QVERIFY(t.totalMs > 1000 && t.totalMs < 4000);
    // The written words, in order, each inside the utterance and after the
    // one before; "7" is a word of its own even though flite says "seven".
    QStringList names;
    for (const SpokenWord &w : std::as_const(t.words))
        names << w.word;
    QCOMPARE(names, QStringList({"Hello", "there", "it", "is", "7", "o'clock"}));
    int last = 0;
    for (const SpokenWord &w : std::as_const(t.words)) {
        QVERIFY2(w.startMs >= last && w.endMs > w.startMs && w.endMs <= t.totalMs,
                 qPrintable(QStringLiteral("%1 %2-%3").arg(w.word).arg(w.startMs).arg(w.endMs)));
        last = w.endMs;
    }
    // The pause at the comma: "it" starts well after "there" ends.
    QVERIFY(t.words[2].startMs - t.words[1].endMs > 80);
    int sum = 0;
    for (const MouthStep &s : std::as_const(t.mouth)) {
        QVERIFY(s.shape >= 0 && s.shape <= 3);
        sum += s.ms;
    }
    QCOMPARE(sum, t.totalMs);
    QCOMPARE(t.mouth.last().shape, 0);
}

void TestFliteVoice::lipShapesOfAKnownSentence()
{
    QCOMPARE(mouthOpeningForPhone(QStringLiteral("aa")), 3);
    QCOMPARE(mouthOpeningForPhone(QStringLiteral("iy")), 2);
    QCOMPARE(mouthOpeningForPhone(QStringLiteral("uw")), 1);
    QCOMPARE(mouthOpeningForPhone(QStringLiteral("s")), 1);
    QCOMPARE(mouthOpeningForPhone(QStringLiteral("m")), 0);
    QCOMPARE(mouthOpeningForPhone(QStringLiteral("pau")), 0);

    QByteArray pcm;
    int rate = 0;
    SpeechTiming t;
    // pau m aa m ax | p aa p ax pau: lips shut on every m and p, open wide
    // on each "a".
    QVERIFY(synthesiseWithFlite(QStringLiteral("slt"), {}, QStringLiteral("mama papa"), &pcm, &rate, &t));
    QCOMPARE(shapesOf(t.mouth), QList<int>({0, 3, 0, 2, 0, 3, 0, 2, 0}));
}

void TestFliteVoice::rateChangesTheLength()
{
    QByteArray pcm;
    int rate = 0;
    SpeechTiming slow, fast;
    VoiceSettings s;
    s.rate = -0.5;
    QVERIFY(synthesiseWithFlite(QStringLiteral("rms"), s, QStringLiteral("Good morning to you"), &pcm, &rate, &slow));
    s.rate = 0.5;
    QVERIFY(synthesiseWithFlite(QStringLiteral("rms"), s, QStringLiteral("Good morning to you"), &pcm, &rate, &fast));
    QVERIFY2(slow.totalMs > fast.totalMs * 3 / 2, qPrintable(QStringLiteral("%1 %2").arg(slow.totalMs).arg(fast.totalMs)));

    VoiceSettings male;
    male.gender = QStringLiteral("male");
    QCOMPARE(FliteVoice::voiceNameFor(male), QStringLiteral("rms"));
    QCOMPARE(FliteVoice::voiceNameFor({}), QStringLiteral("slt"));
}

void TestFliteVoice::noSoundOutputFailsTheUtterance()
{
    // The tests run with no sound server: nowhere to play, so the
    // utterance fails (and the character shows the text instead).
    FliteVoice voice({});
    QSignalSpy failed(&voice, &Voice::failed);
    QSignalSpy started(&voice, &Voice::started);
    const int u = voice.say(QStringLiteral("Is anybody listening?"));
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toInt(), u);
    QCOMPARE(started.count(), 0);
    QVERIFY(!voice.isWorking());
}

void TestFliteVoice::characterFollowsTheVoicesTiming()
{
    SpeechTiming t;
    t.totalMs = 1200;
    t.mouth = {{0, 100}, {3, 300}, {0, 200}, {2, 300}, {0, 300}};
    t.words = {{QStringLiteral("Mama"), 100, 500}, {QStringLiteral("said"), 600, 900}, {QStringLiteral("so"), 950, 1150}};
    QString error;
    std::optional<CharacterModel> model = CharacterModel::load(TestbotFolder, &error);
    QVERIFY2(model, qPrintable(error));
    DesktopCharacter bot(std::move(*model), std::make_unique<TimedVoice>(t));
    bot.show();
    QTRY_VERIFY(bot.visible() && !bot.isBusy());
    QElapsedTimer clock;
    bot.speak(QStringLiteral("Mama said so"));
    clock.start();
    // The mouth element over time, and what the balloon shows.
    QStringList mouths, revealed;
    while (clock.elapsed() < 1100) {
        const QString m = bot.currentPose().value(QStringLiteral("mouth")).element;
        if (mouths.isEmpty() || mouths.last() != m)
            mouths << m;
        const QString r = bot.balloon()->revealedText();
        if (revealed.isEmpty() || revealed.last() != r)
            revealed << r;
        QTest::qWait(10);
    }
    // The four-step scale spread over the bot's three shapes: 3 -> open,
    // 2 -> half.
    QCOMPARE(mouths.mid(mouths.indexOf(QStringLiteral("mouth-open"))),
             QStringList({"mouth-open", "mouth-closed", "mouth-half", "mouth-closed"}));
    QCOMPARE(revealed.mid(revealed.lastIndexOf(QStringLiteral("Mama"))), QStringList({"Mama", "Mama said", "Mama said so"}));
}

QTEST_MAIN(TestFliteVoice)
#include "test_flite_voice.moc"
