#pragma once

#include "AudioSource.h"

#include <QTimer>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrova::character {

// The samples of a 16 kHz mono 16-bit PCM WAV file; nothing (and *error
// says why) for any other file.
std::optional<std::vector<std::int16_t>> readWav16kMono(const QString &path, QString *error = nullptr);

// Plays a WAV file (16 kHz mono 16-bit) as an audio source, 100 ms a chunk,
// at the pace of a microphone or, with `realTime` false, as fast as the
// receiver takes it.
class WavFileSource : public AudioSource {
    Q_OBJECT
public:
    explicit WavFileSource(QString path, bool realTime = true, QObject *parent = nullptr);
    bool start() override;
    void stop() override;
    QString errorString() const override { return m_error; }

private:
    void next();
    QString m_path;
    bool m_realTime;
    QString m_error;
    std::vector<std::int16_t> m_samples;
    std::size_t m_at = 0;
    QTimer m_timer;
};

} // namespace kestrova::character
