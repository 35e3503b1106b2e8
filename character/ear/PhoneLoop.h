#pragma once

// The free loop of phones on a decoder of its own: it scores how well any
// sequence of sounds explains an utterance, beside the command decoder,
// either after the end of speech or while the user speaks.

#include "PocketsphinxDecoder.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <vector>

namespace kestrova::character {

// A decoder of its own for the free loop of phones, so that the loop's
// pass over an utterance runs on another core while the command decoder
// scores the rivals. It is handed the cepstral mean the rivals' pass starts
// from and first moves it on as that pass does (a pass through a one-word
// grammar: the mean follows from the audio alone, whatever is searched),
// so the loop hears the audio as it would after the rivals on the one
// decoder. Not to the last digit: each front end has its own history.
class PhoneLoop {
public:
    struct Result {
        bool decoded = false;
        int32 score = 0;
        std::vector<DecodedSegment> phones;
        CepstralMean after;
    };

    // Null when the decoder cannot be made; then the command decoder runs
    // the loop itself.
    static std::unique_ptr<PhoneLoop> make(const QByteArray &hmm, const QByteArray &phoneLm, const QByteArray &mllr);
    ~PhoneLoop();
    PhoneLoop(const PhoneLoop &) = delete;
    PhoneLoop &operator=(const PhoneLoop &) = delete;

    // The audio through the loop, from the mean `from` moved on by one
    // pass (steps 1) or as it is (steps 0).
    Result decode(const std::vector<std::int16_t> &audio, const CepstralMean &from, int steps);

    // The loop heard while the user speaks: begun with the mean the
    // command decoder begins the utterance with, given each piece of audio
    // as it comes (on a thread of its own, one piece after the other), so
    // that at the end of speech only the last frames are left. False when
    // the loop could not start; then nothing is decoded live.
    bool startLive(const CepstralMean &from);
    void feedLive(const std::int16_t *samples, std::size_t count);
    // The live loop's result once its last frames are decoded.
    Result finishLive();
    // Ends a live loop without a result.
    void cancelLive();
    // The mean `from` moved on by `passes` passes over the audio, as the
    // decoder that hears the commands would have moved it had it run the
    // passes itself.
    CepstralMean advance(const std::vector<std::int16_t> &audio, const CepstralMean &from, int passes);

private:
    static constexpr char StepSearch[] = "step";

    PhoneLoop(ps_decoder_t *ps, cmd_ln_t *config) : m_ps(ps), m_config(config) {}

    void waitForPiece();
    void endLive();

    ps_decoder_t *m_ps;
    cmd_ln_t *m_config;
    bool m_live = false;
    std::future<void> m_piece; // the piece of audio being decoded
};

} // namespace kestrova::character
