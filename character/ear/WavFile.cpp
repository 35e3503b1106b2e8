#include "WavFile.h"
#include "WavParts.h"

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
    const WavParts parts = readWavParts(file);
    if (parts.fault == WavParts::Fault::NotWav)
        return fail(QStringLiteral("%1 is not a WAV file").arg(path));
    // 1 is PCM; 0xFFFE (extensible) carries PCM too in what sox writes.
    if (parts.hasFormat
        && ((parts.tag != 1 && parts.tag != 0xFFFE) || parts.channels != 1 || parts.bits != 16 || parts.rate != 16000))
        return fail(QStringLiteral("%1 is not 16 kHz mono 16-bit PCM (%2 Hz, %3 channels, %4 bits)")
                        .arg(path)
                        .arg(parts.rate)
                        .arg(parts.channels)
                        .arg(parts.bits));
    if (parts.fault != WavParts::Fault::None || !file.seek(parts.soundAt))
        return fail(QStringLiteral("%1 has no usable format or data chunk").arg(path));
    // A data size past the end (a recording cut short) reads what is there.
    const QByteArray bytes = file.read(parts.held);
    const qsizetype count = bytes.size() / 2;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(count));
    for (qsizetype i = 0; i < count; ++i)
        samples[std::size_t(i)] = qFromLittleEndian<qint16>(bytes.constData() + 2 * i);
    return samples;
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
