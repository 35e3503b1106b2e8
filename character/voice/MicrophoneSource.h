#pragma once

#include "AudioSource.h"

#include <QPointer>

#include <functional>

class QAudioSource;
class QIODevice;

namespace kestrova::character {

// The chosen or else the desktop's default audio input, recorded at 16 kHz mono 16-bit (the
// sound server converts from what the device has). The device is looked
// up at every start, so a microphone plugged in while the program runs is
// used from the next listening on.
class MicrophoneSource : public AudioSource {
    Q_OBJECT
public:
    // device, asked at every start: a device's id (QAudioDevice::id) or
    // description to record from when it is there; none, empty, or a device
    // not plugged in: the default.
    explicit MicrophoneSource(std::function<QString()> device = {}, QObject *parent = nullptr);
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
    std::function<QString()> m_wanted;
    QByteArray m_pending;
};

} // namespace kestrova::character
