#include "WavFile.h"

#include <QFile>
#include <QtEndian>

namespace kestrova::character {

std::optional<std::vector<std::int16_t>> readWav16kMono(const QString &path, QString *error)
{
    auto fail = [error](const QString &why) -> std::optional<std::vector<std::int16_t>> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return fail(QStringLiteral("%1 is not a WAV file").arg(path));
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    bool formatOk = false;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = u32(at + 4);
        const qsizetype body = at + 8;
        if (quint64(body) + size > quint64(bytes.size()) && id != "data")
            break;
        if (id == "fmt ") {
            if (size < 16)
                break;
            const quint16 format = u16(body), channels = u16(body + 2), bits = u16(body + 14);
            const quint32 rate = u32(body + 4);
            // 1 is PCM; 0xFFFE (extensible) carries PCM too in what sox writes.
            if ((format != 1 && format != 0xFFFE) || channels != 1 || bits != 16 || rate != 16000)
                return fail(QStringLiteral("%1 is not 16 kHz mono 16-bit PCM (%2 Hz, %3 channels, %4 bits)")
                                .arg(path)
                                .arg(rate)
                                .arg(channels)
                                .arg(bits));
            formatOk = true;
        } else if (id == "data") {
            if (!formatOk)
                break;
            // A data size past the end (a recording cut short) reads what is there.
            const qsizetype available = std::min<qsizetype>(size, bytes.size() - body) / 2;
            std::vector<std::int16_t> samples(static_cast<std::size_t>(available));
            for (qsizetype i = 0; i < available; ++i)
                samples[std::size_t(i)] = qFromLittleEndian<qint16>(bytes.constData() + body + 2 * i);
            return samples;
        }
        at = body + size + (size & 1);
    }
    return fail(QStringLiteral("%1 has no usable format or data chunk").arg(path));
}

WavFileSource::WavFileSource(QString path, bool realTime, QObject *parent)
    : AudioSource(parent), m_path(std::move(path)), m_realTime(realTime)
{
    m_timer.setInterval(realTime ? 100 : 0);
    connect(&m_timer, &QTimer::timeout, this, &WavFileSource::next);
}

bool WavFileSource::start()
{
    std::optional<std::vector<std::int16_t>> samples = readWav16kMono(m_path, &m_error);
    if (!samples)
        return false;
    m_samples = std::move(*samples);
    m_at = 0;
    m_timer.start();
    return true;
}

void WavFileSource::stop()
{
    m_timer.stop();
}

void WavFileSource::next()
{
    constexpr std::size_t Chunk = 1600;
    if (m_at >= m_samples.size()) {
        m_timer.stop();
        Q_EMIT finished();
        return;
    }
    const std::size_t n = std::min(Chunk, m_samples.size() - m_at);
    Q_EMIT samples(QByteArray(reinterpret_cast<const char *>(m_samples.data() + m_at), qsizetype(n * 2)));
    m_at += n;
}

} // namespace kestrova::character
