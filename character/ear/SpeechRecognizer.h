#pragma once

// Spoken commands decoded offline. The character service knows only this
// interface; the engine behind it (pocketsphinx) is chosen where the
// service is made.

#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrova::character {

// One command the recogniser listens for: its name and its voice grammar in
// the command table's notation ("[check][e]mail"). A strict command (one
// that starts a program or quits) is taken only on strong evidence: below
// StrictConfidence it counts as not understood.
struct VoiceCommand {
    QString name;
    QString grammar;
    bool strict = false;
};

// The confidence at or below which an utterance counts as not understood,
// and the one a strict command must pass: halfway to a sure hearing. On the
// tune voices it costs the strict commands about 5 of every 100 heard right;
// "quick" and "quit it" (about -40 and -35) no longer quit.
inline constexpr int NotUnderstoodConfidence = -60;
inline constexpr int StrictConfidence = -30;
// A strict command whose own naming words are short (UtteranceScores'
// namedTooBriefly) needs a sure hearing: above this. On the tune voices
// it costs 3 of 480 commands said.
inline constexpr int ShortNameConfidence = 0;
// Below the bar to act on, a command hypothesis heard more surely than
// this is a plausible guess: the user is asked whether it was meant,
// rather than told that nothing was understood. On the confidence's own
// scale, not bounded at -100 (UtteranceScores): on the test voices the
// commands refused with the right hypothesis reached down to about -130,
// the speech that was no command began below -165.
inline constexpr double GuessConfidence = -140.0;

// What one utterance was heard as.
struct Recognition {
    // The words recognised, lower case, one blank apart; empty when nothing
    // command-like was heard.
    QString words;
    // The command the words belong to; empty with no command.
    QString command;
    // -100..100: how sure the recogniser is that the utterance was this
    // command. At -60 and below the utterance counts as not understood.
    int confidence = -100;
    // The raw acoustic score at the heart of the confidence: per frame, how
    // much better the command grammar explains the audio than a free loop
    // of phones (for tuning and the benchmark).
    double gap = 0.0;
    // The measures the confidence is made from, by name (gap per speech
    // frame, phone distance to a free phone loop, margin to the best other
    // command...), for tuning and the benchmark.
    QMap<QString, double> scores;
    // When the utterance is not to be acted on but its best hypothesis is a
    // plausible command: that command first, then the best other command
    // that reads the audio (the rivals' pass), then the best of the rest;
    // empty otherwise. A command
    // that starts a program or quits heard below its stricter bar, or with
    // a common word that sounds like it heard instead, is a guess too: it
    // is never acted on without the user's yes.
    QStringList guesses;
    // Speech was detected at all (silence and steady noise give false).
    bool speech = false;
    // Audio processed, and the time decoding took after the end of the audio.
    int audioMs = 0;
    int finishMs = 0;
    // The processor time that work took, on every thread it ran on (what a
    // busy machine does not stretch, unlike finishMs).
    double finishCpuMs = 0;
};

// What the hearing does with a recognition: acts on its command, asks
// whether one of its guesses was meant, or says it did not understand.
enum class Hearing { Acted, Asked, Refused };
inline Hearing hearingOf(const Recognition &r)
{
    if (!r.command.isEmpty() && r.confidence > NotUnderstoodConfidence)
        return Hearing::Acted;
    return r.guesses.isEmpty() ? Hearing::Refused : Hearing::Asked;
}

class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;

    // The commands to listen for, replacing the previous set. Commands whose
    // grammar cannot be used are left out and named in *problems; false
    // when no grammar could be made at all (the previous set stays).
    virtual bool setCommands(const std::vector<VoiceCommand> &commands, QStringList *problems = nullptr) = 0;

    // One utterance: start, feed 16 kHz mono samples in chunks, end.
    virtual void startUtterance() = 0;
    virtual void process(const std::int16_t *samples, std::size_t count) = 0;
    // Whether speech has been heard since the utterance started.
    virtual bool speechStarted() const = 0;
    // Whether the speaker is talking now (false again after the end of
    // speech was detected).
    virtual bool inSpeech() const = 0;
    // Whether the words heard so far are a whole command that no other
    // command goes on from: a pause after them ends the utterance at once,
    // where after other words the speaker is given time to go on.
    virtual bool commandComplete() const { return false; }
    // Whether the decoder has read any word at all into what was taken for
    // speech so far: not into a click, a breath or the hiss a microphone
    // starts with before the recogniser has learnt its level.
    virtual bool wordsHeard() const { return true; }
    virtual Recognition endUtterance() = 0;
    // Ends the utterance as if it had not been: nothing learnt from it
    // about the microphone, no result.
    virtual void discardUtterance() { endUtterance(); }
    // Whether each recognition's measures also weigh the grammar's next
    // best readings of the audio (the "nbest" measures): seconds more per
    // utterance, for tuning only.
    virtual void setMeasureReadings(bool) {}
};

// Decodes one whole recording (16 kHz mono) as one utterance.
Recognition recognizeSamples(SpeechRecognizer &recognizer, const std::vector<std::int16_t> &samples);

// Where the recogniser runs the free loop of phones it measures each
// hypothesis against: on a decoder of its own, beside the pass of the
// command's rivals (on another core), or on the command decoder after it;
// or on a decoder of its own that hears the utterance while the user
// speaks (Live), so that at the end of speech only its last frames are
// left. Live hears the audio with the mean the utterance began with where
// the others hear it with one moved on by the utterance itself: its
// measures, and so the confidence, are not those of the other two.
enum class PhoneLoopDecoder { Own, Shared, Live };

// The pocketsphinx recogniser with Debian's US English model, moved towards
// the user's voice by the voice profile in profileFolder when there is one
// there (VoiceProfile); nothing when the model is not installed or the
// decoder does not start (*error says why).
std::unique_ptr<SpeechRecognizer> createPocketsphinxRecognizer(QString *error = nullptr,
                                                               PhoneLoopDecoder loop = PhoneLoopDecoder::Own,
                                                               const QString &profileFolder = {});

// The same recogniser from the module libkestrova_listening.so among
// `folders` (beside the program when empty), loaded the first time; nothing
// when the module is missing or does not load (*error says why).
std::unique_ptr<SpeechRecognizer> createRecognizerFromModule(QString *error = nullptr,
                                                             const QStringList &folders = {});

} // namespace kestrova::character
