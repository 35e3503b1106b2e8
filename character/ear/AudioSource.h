#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace kestrova::character {

// Where the recogniser's audio comes from: 16 kHz mono signed 16-bit
// little-endian samples in chunks. The program uses the microphone; tests
// and the benchmark read WAV files.
class AudioSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~AudioSource() override = default;

    // Starts delivering samples; false (with errorString()) when there is
    // nothing to record from.
    virtual bool start() = 0;
    virtual void stop() = 0;
    virtual QString errorString() const { return {}; }

Q_SIGNALS:
    void samples(const QByteArray &pcm);
    // No more samples will come (end of the file, the device went away).
    void finished();
};

} // namespace kestrova::character
