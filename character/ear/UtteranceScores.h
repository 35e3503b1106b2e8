#pragma once

// How sure the recogniser is of a hypothesis: measures taken from the
// command grammar's decode, a free phone loop's decode of the same audio
// and the best rival command's, and the fitted model that turns them into
// a confidence. Knows nothing of the decoder itself.

#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrova::character {

// One word of a decode, or one phone of the phone loop's.
struct DecodedSegment {
    QString word;
    int start = 0, end = 0; // frames, inclusive
    std::int32_t acoustic = 0; // decoder units
    // A grammar word's phones; empty for silence and noise.
    QStringList phones;
    // A word said around the command ("..." in its grammar), not part of it.
    bool filler = false;
    // A word so many commands share that it names none ("open", "run").
    bool carrier = false;
    int frames() const { return end - start + 1; }
};

struct DecodedUtterance {
    // The grammar's words (silence and noise included, without phones).
    std::vector<DecodedSegment> heard;
    // The phone loop's phones, silence ("SIL") and noise ("+NSN+") included.
    std::vector<DecodedSegment> loop;
    // Path scores of the grammar, the phone loop and the best other command
    // (none when it found no reading), in decoder units.
    std::int32_t score = 0;
    std::int32_t loopScore = 0;
    std::optional<std::int32_t> rivalScore;
    int frames = 0;
    // The grammar's best readings of the audio, the best first, each told
    // apart by its words: the command it names (empty for none) and its
    // path score. The command heard is the one the best hypothesis names.
    struct Reading {
        QString command;
        std::int32_t score = 0;
    };
    std::vector<Reading> readings;
    QString command;
};

// Whether a phone of the loop is speech (not silence or noise).
bool isSpokenPhone(const QString &phone);

// The least number of phones to insert, delete or change to turn one
// sequence into the other.
int phoneDistance(const QStringList &a, const QStringList &b);

// The measures, by name: "gap" (per frame, grammar against phone loop, in
// nats), "gap_speech" (the same per frame of the words, filler included),
// "word_min" (the worst command word's acoustic gap to the loop over its
// frames), "dist" (phone distance between all the words' pronunciations and
// the loop's phones, per phone of the words), "dist_span" (the same for the
// command's own words and the loop's phones over their span), "coverage"
// and "outside" (the share of the loop's speech frames the words take, and
// the share outside the span of the command's words), "filler" (the share
// of the words' frames that is filler), "rival" (per frame of the words,
// how far the best other command stays behind; RivalCap when none),
// "rival_none" (1 when no other command reads the audio at all, else 0),
// "frames_per_phone", "phones" and "words" (of the command's own words),
// "name_phones" (the phones of those words that are no carrier),
// "loop_phones"; "word_min_total" (the worst word's gap over all its frames,
// not per frame), "word_fpp_min" and "word_fpp_max" (frames per phone of
// the command's quickest and slowest word); from the grammar's best
// readings (none when it gave none): "nbest" (how many), "nbest_agree"
// (the share of the readings after the first that name the same command,
// 1 when there are none), "nbest_mass" (the share of the readings' weight,
// at NbestScale, on that command) and "nbest_margin" (per frame of the
// words, how far the best reading of another command, or of none, stays
// behind the best reading of it; RivalCap when every reading names it,
// -RivalCap when none does).
QMap<QString, double> measureUtterance(const DecodedUtterance &utterance);

// The margin given when no other command reads the audio at all.
inline constexpr double RivalCap = 3.0;
// The share of nats a reading's path score counts for when the readings
// are weighed against each other (the decoder's scores are far sharper
// than its odds of being right).
inline constexpr double NbestScale = 0.1;

// The model that heard the utterance: the stock one, or one adapted to the
// user's voice. An adapted model reads its speaker better, and with it the
// wrong commands and the other speech: its logits lie higher all along, so
// its rejection line is a line of its own.
enum class SpeechModel { Stock, Adapted };

// The fitted model's logit for the measures (higher is surer), and the
// confidence -100..100 made of it: -60 at the rejection line, -100 when
// the phone loop heard (next to) no speech.
double confidenceLogit(const QMap<QString, double> &measures);
int confidenceFromMeasures(const QMap<QString, double> &measures, SpeechModel model = SpeechModel::Stock);
// The same confidence not bounded at -100, so that hypotheses well below
// the rejection line can still be told apart (a plausible guess from
// speech that is no command); NoSpeechConfidence when the phone loop heard
// (next to) no speech.
double unboundedConfidence(const QMap<QString, double> &measures, SpeechModel model = SpeechModel::Stock);

// Whether a hypothesis not sure enough to act on is still worth asking
// about: the asking's own fitted model, which tells the commands said
// unclearly from the speech that is no command, finds it above its line.
// A guess offered on speech that is nothing like a command is worse than
// saying nothing was understood.
double askLogit(const QMap<QString, double> &measures);
bool worthAsking(const QMap<QString, double> &measures);
// The same for a hypothesis that cleared the bar to act on and was held
// back only by a rule (a command that starts a program or quits heard
// below its stricter bar, as a lone short word, named by short words or
// with a sound-alike heard instead; a word alone that ends another
// command's word): heard as surely as what is acted on, one of two words
// or more is asked about on a lower line (HeldAskLine); a lone word, what
// a word near a command sounds like, on the asking's own.
bool heldWorthAsking(const QMap<QString, double> &measures);

// Whether the words heard for a command that starts a program or quits are
// too few to start it on without asking: a lone short word ("notepad",
// "writer") is what a pair of everyday words said in passing sounds like
// ("not bad", "rider"), however well it matches. A model adapted to its
// speaker reads that speaker's words surely enough to start one on a
// lone word heard well above the line (AdaptedShortWordConfidence).
bool tooShortToStartAProgram(const QMap<QString, double> &measures, SpeechModel model = SpeechModel::Stock);
inline constexpr int AdaptedShortWordConfidence = 30;
// Whether a common word that sounds like one of the command's own, heard
// in its place (the "alike" measure), still leaves the command sure
// enough to act on: never with the stock model, nor for a command heard
// as one word ("calculate" is no request for the calculator); with a
// model adapted to its speaker, for a command said in two words or more
// above AdaptedSoundAlikeConfidence ("quit program" read as "quick
// program" is still the speaker's "quit program").
bool soundAlikeOutweighed(const QMap<QString, double> &measures, int confidence,
                          SpeechModel model = SpeechModel::Stock);
inline constexpr int AdaptedSoundAlikeConfidence = 0;
inline constexpr double NoSpeechConfidence = -1000.0;
// Whether the words that name a command, its carriers ("open", "run",
// "application") left out, are as short as a lone short word.
bool namedTooBriefly(const QMap<QString, double> &measures);

} // namespace kestrova::character
