#pragma once

#include "CharacterModel.h"

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>
#include <memory>

namespace kestrova::character {

// What the character speaks with. Everything the desktop character needs of
// a text-to-speech engine, so tests can put a scripted voice in its place.
//
// say() returns an utterance number; the signals carry it so that a late
// report about an utterance that was already stopped is not mistaken for the
// current one.
struct MouthStep;
struct SpeechTiming;

class Voice : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Voice() override = default;

    // Gets the engine ready in the background. Optional: say() does it too.
    virtual void prepare() {}

    // False once it is known that there is no engine to speak with; while
    // that is unknown, true. An unavailable voice is not given texts.
    virtual bool isAvailable() const = 0;
    // Whether speech is expected to be heard: available, and the last
    // utterance did not fail. A voice that is not working is still given
    // texts (the sound may come back), but they are shown as well.
    virtual bool isWorking() const { return isAvailable(); }

    virtual int say(const QString &text) = 0;
    virtual void stop() = 0;

Q_SIGNALS:
    void started(int utterance);   // the engine began to speak it
    void finished(int utterance);  // it was spoken to the end
    void failed(int utterance);    // it will not be heard
    // From engines that know when each sound is made: the mouth and the
    // words of the utterance, timed from its start; raised just before
    // started().
    void timed(int utterance, const kestrova::character::SpeechTiming &timing);
};

// No voice at all: every utterance fails from the event loop, so whatever
// is said shows in the balloon. For speech turned off, and for tests and
// benchmarks that must not make a sound.
class SilentVoice : public Voice {
public:
    using Voice::Voice;
    bool isAvailable() const override { return false; }
    bool isWorking() const override { return false; }
    int say(const QString &) override
    {
        const int utterance = m_next++;
        QMetaObject::invokeMethod(this, [this, utterance] { Q_EMIT failed(utterance); }, Qt::QueuedConnection);
        return utterance;
    }
    void stop() override {}

private:
    int m_next = 1;
};

// Passes what `inner` reports on as `outer`'s own reports, for a voice that
// speaks through another: `utterances` maps inner's utterance numbers to
// outer's (filled by the caller at each say()); a report of an utterance
// not in it is dropped, and a finished or failed one leaves it.
void relayVoice(Voice *inner, Voice *outer, std::shared_ptr<QHash<int, int>> utterances);

// Whether this session has anywhere to play sound: a PulseAudio or PipeWire
// server, or a sound card's playback device. Looked for at the first call.
bool soundOutputLikely();

// Builds the voice for a character. The service makes QtVoices; tests hand
// in their own.
using VoiceFactory = std::function<std::unique_ptr<Voice>(const CharacterModel &model)>;

// How long a text may keep the character busy: the time to read it in the
// balloon, and the longest a voice may take to say it. Every Speak ends by
// then even if the voice never reports back.
//   500 ms + 80 ms per character, stretched for slow voices (rate < 0 up to
//   twice as long at rate -1), at most 20 s.
// Flite says about 16 characters a second at rate 0 (measured: 41 characters
// in 2.5 s), so a working voice finishes well inside this.
int readingTimeMs(const QString &text, double rate = 0);

// The mouth while a text is spoken: which of the character's mouth shapes
// (0 = closed .. shapeCount-1 = widest) to show and for how long. Vowels
// open the mouth (a/o widest, e/i/y half, u a little), consonants nearly
// close it, spaces and punctuation close it. The steps add up to totalMs and
// end closed.
struct MouthStep {
    int shape = 0;
    int ms = 0;
};
QList<MouthStep> mouthMotion(const QString &spoken, int shapeCount, int totalMs);

// When an engine says a text: each word's start and end, in the order of
// the words of the text, and the mouth over the whole utterance, in
// milliseconds from its start. The mouth's shapes here are on a scale of
// four (0 closed, 1 nearly closed, 2 half open, 3 wide), which the
// character spreads over its own.
struct SpokenWord {
    QString word;
    int startMs = 0;
    int endMs = 0;
};
struct SpeechTiming {
    QList<SpokenWord> words;
    QList<MouthStep> mouth;
    int totalMs = 0;
};

// The time a voice takes to say a text, to spread the mouth over: about
// 62 ms a character at rate 0, faster or slower with the rate.
int speakingTimeMs(const QString &text, double rate = 0);

} // namespace kestrova::character

Q_DECLARE_METATYPE(kestrova::character::SpeechTiming)
