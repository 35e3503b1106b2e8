#pragma once

#include "AudioSource.h"

#include <QPointer>

class QAudioSource;
class QIODevice;

namespace kestrova::character {

// The desktop's default audio input, recorded at 16 kHz mono 16-bit (the
// sound server converts from what the device has). The device is looked
// up at every start, so a microphone plugged in while the program runs is
// used from the next listening on.
class MicrophoneSource : public AudioSource {
    Q_OBJECT
public:
    explicit MicrophoneSource(QObject *parent = nullptr);
    ~MicrophoneSource() override;

    bool start() override;
    void stop() override;
    QString errorString() const override { return m_error; }
    // The device recorded from; empty before the first start.
    QString deviceName() const { return m_device; }

private:
    void readAvailable();

    QAudioSource *m_audio = nullptr;
    QPointer<QIODevice> m_io;
    QString m_error;
    QString m_device;
    QByteArray m_pending;
};

} // namespace kestrova::character
