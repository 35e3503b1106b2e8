#pragma once

// What every decoder of the recogniser does over pocketsphinx's handles:
// its settings, the cepstral mean carried from one pass to the next, a
// pass over a whole utterance and the segmentation it leaves. Only the
// recogniser's own files include this.

#include "UtteranceScores.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

class QTemporaryFile;

extern "C" {
#include <pocketsphinx.h>
#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/feat.h>
}

namespace kestrova::character {

// The free loop of phones' search, in every decoder that has one.
inline constexpr char PhoneSearch[] = "phones";

// The front end's running cepstral mean: what the decoder has learnt of the
// microphone's level and colour, moved on by every utterance it decodes.
struct CepstralMean {
    std::vector<mfcc_t> mean, sum;
    int32 frames = 0;
    // How the front end uses it: a decoder that has only been given whole
    // utterances normalises each by its own mean and leaves the running
    // one alone; once given audio piece by piece, it keeps a running mean.
    cmn_type_t kind = CMN_LIVE;
};

CepstralMean cepstralMean(ps_decoder_t *ps);
void setCepstralMean(ps_decoder_t *ps, const CepstralMean &state);

// The decode's segmentation: words of a grammar search, phones of the
// phone loop; silence, noise and sentence marks included.
std::vector<DecodedSegment> segments(ps_decoder_t *ps);

// A whole utterance's audio through a search of the decoder (the current
// one when none is named); false when the decode did not start.
bool decodeWhole(ps_decoder_t *ps, const char *search, const std::vector<std::int16_t> &audio);

// A file of the one word a decoder starts with (words are added later);
// false when it cannot be written.
bool writeSeedDictionary(QTemporaryFile &seed);

// The decoder's settings; dict is the file of the words it starts with.
cmd_ln_t *decoderSettings(const QByteArray &hmm, const QByteArray &dict, const QByteArray &mllr = {});

} // namespace kestrova::character
