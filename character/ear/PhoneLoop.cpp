#include "PhoneLoop.h"

#include <QTemporaryFile>

#include <system_error>

namespace kestrova::character {

std::unique_ptr<PhoneLoop> PhoneLoop::make(const QByteArray &hmm, const QByteArray &phoneLm, const QByteArray &mllr)
{
    QTemporaryFile seed;
    if (!writeSeedDictionary(seed))
        return nullptr;
    cmd_ln_t *config = decoderSettings(hmm, seed.fileName().toLocal8Bit(), mllr);
    if (!config)
        return nullptr;
    ps_decoder_t *ps = ps_init(config);
    if (!ps) {
        cmd_ln_free_r(config);
        return nullptr;
    }
    if (ps_set_allphone_file(ps, PhoneSearch, phoneLm.constData()) != 0
        || ps_set_jsgf_string(ps, StepSearch, "#JSGF V1.0;\ngrammar step;\npublic <s> = garbageaa;\n") != 0) {
        ps_free(ps);
        cmd_ln_free_r(config);
        return nullptr;
    }
    return std::unique_ptr<PhoneLoop>(new PhoneLoop(ps, config));
}

PhoneLoop::~PhoneLoop()
{
    waitForPiece();
    ps_free(m_ps);
    cmd_ln_free_r(m_config);
}

PhoneLoop::Result PhoneLoop::decode(const std::vector<std::int16_t> &audio, const CepstralMean &from, int steps)
{
    Result out;
    cancelLive();
    ps_get_feat(m_ps)->cmn = from.kind;
    setCepstralMean(m_ps, from);
    for (int i = 0; i < steps; ++i)
        decodeWhole(m_ps, StepSearch, audio);
    if (decodeWhole(m_ps, PhoneSearch, audio)) {
        out.decoded = true;
        ps_get_hyp(m_ps, &out.score);
        out.phones = segments(m_ps);
    }
    out.after = cepstralMean(m_ps);
    return out;
}

bool PhoneLoop::startLive(const CepstralMean &from)
{
    cancelLive();
    ps_get_feat(m_ps)->cmn = from.kind;
    setCepstralMean(m_ps, from);
    m_live = ps_set_search(m_ps, PhoneSearch) == 0 && ps_start_utt(m_ps) == 0;
    return m_live;
}

void PhoneLoop::feedLive(const std::int16_t *samples, std::size_t count)
{
    if (!m_live)
        return;
    waitForPiece();
    std::vector<std::int16_t> piece(samples, samples + count);
    try {
        m_piece = std::async(std::launch::async, [this, piece = std::move(piece)] {
            ps_process_raw(m_ps, piece.data(), piece.size(), FALSE, FALSE);
        });
    } catch (const std::system_error &) {
        ps_process_raw(m_ps, samples, count, FALSE, FALSE);
    }
}

PhoneLoop::Result PhoneLoop::finishLive()
{
    Result out;
    waitForPiece();
    if (!m_live)
        return out;
    m_live = false;
    if (ps_end_utt(m_ps) == 0) {
        out.decoded = true;
        ps_get_hyp(m_ps, &out.score);
        out.phones = segments(m_ps);
    }
    out.after = cepstralMean(m_ps);
    return out;
}

void PhoneLoop::cancelLive()
{
    waitForPiece();
    endLive();
}

CepstralMean PhoneLoop::advance(const std::vector<std::int16_t> &audio, const CepstralMean &from, int passes)
{
    cancelLive();
    ps_get_feat(m_ps)->cmn = from.kind;
    setCepstralMean(m_ps, from);
    for (int i = 0; i < passes; ++i)
        decodeWhole(m_ps, StepSearch, audio);
    return cepstralMean(m_ps);
}

void PhoneLoop::waitForPiece()
{
    if (m_piece.valid())
        m_piece.get();
}

void PhoneLoop::endLive()
{
    if (m_live)
        ps_end_utt(m_ps);
    m_live = false;
}

} // namespace kestrova::character
