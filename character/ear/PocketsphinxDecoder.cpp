#include "PocketsphinxDecoder.h"

#include <QTemporaryFile>

#include <algorithm>

namespace kestrova::character {

CepstralMean cepstralMean(ps_decoder_t *ps)
{
    CepstralMean out;
    out.kind = ps_get_feat(ps)->cmn;
    const cmn_t *cmn = ps_get_feat(ps)->cmn_struct;
    if (!cmn)
        return out;
    out.mean.assign(cmn->cmn_mean, cmn->cmn_mean + cmn->veclen);
    out.sum.assign(cmn->sum, cmn->sum + cmn->veclen);
    out.frames = cmn->nframe;
    return out;
}

void setCepstralMean(ps_decoder_t *ps, const CepstralMean &state)
{
    cmn_t *cmn = ps_get_feat(ps)->cmn_struct;
    if (!cmn || state.mean.size() != std::size_t(cmn->veclen) || state.sum.size() != std::size_t(cmn->veclen))
        return;
    std::copy(state.mean.begin(), state.mean.end(), cmn->cmn_mean);
    std::copy(state.sum.begin(), state.sum.end(), cmn->sum);
    cmn->nframe = state.frames;
}

std::vector<DecodedSegment> segments(ps_decoder_t *ps)
{
    std::vector<DecodedSegment> out;
    for (ps_seg_t *seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
        DecodedSegment s;
        s.word = QString::fromLatin1(ps_seg_word(seg));
        ps_seg_frames(seg, &s.start, &s.end);
        int32 acoustic = 0, language = 0, backoff = 0;
        ps_seg_prob(seg, &acoustic, &language, &backoff);
        s.acoustic = acoustic;
        out.push_back(s);
    }
    return out;
}

bool decodeWhole(ps_decoder_t *ps, const char *search, const std::vector<std::int16_t> &audio)
{
    if ((search && ps_set_search(ps, search) != 0) || ps_start_utt(ps) != 0)
        return false;
    ps_process_raw(ps, audio.data(), audio.size(), FALSE, TRUE);
    ps_end_utt(ps);
    return true;
}

bool writeSeedDictionary(QTemporaryFile &seed)
{
    return seed.open() && seed.write("garbageaa AA\n") >= 0 && seed.flush();
}

cmd_ln_t *decoderSettings(const QByteArray &hmm, const QByteArray &dict, const QByteArray &mllr)
{
    // A pause is noticed after 0.15 s of silence (the default is 0.5 s).
    // After a whole command that ends the utterance; after words that are
    // not one yet the listener waits longer for more (SpeechListener), so a
    // pause between words does not cut a command short.
    // The front end's noise removal is off: on speech with steady noise
    // mixed in it cost more commands than it saved (top hypothesis right
    // 74 % with it, 79 % without, on the tune set).
    std::vector<const char *> argv = {"-hmm", hmm.constData(), "-dict", dict.constData(), "-allphone_ci", "yes",
                                      "-vad_postspeech", "15", "-samprate", "16000", "-remove_noise", "no"};
    // A voice profile's transform of the model's means.
    if (!mllr.isEmpty()) {
        argv.push_back("-mllr");
        argv.push_back(mllr.constData());
    }
    return cmd_ln_parse_r(nullptr, ps_args(), int(argv.size()), const_cast<char **>(argv.data()), FALSE);
}

} // namespace kestrova::character
