#include "MicrophoneSource.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QLoggingCategory>
#include <QMediaDevices>

Q_DECLARE_LOGGING_CATEGORY(lcSpeech)

namespace kestrova::character {

MicrophoneSource::MicrophoneSource(std::function<QString()> device, QObject *parent)
    : AudioSource(parent), m_wanted(std::move(device))
{
}

MicrophoneSource::~MicrophoneSource()
{
    stop();
}

bool MicrophoneSource::start()
{
    stop();
    m_error.clear();
    QAudioDevice device = QMediaDevices::defaultAudioInput();
    const QString wanted = m_wanted ? m_wanted() : QString();
    if (!wanted.isEmpty()) {
        bool found = false;
        for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
            if (QString::fromUtf8(d.id()) == wanted || d.description() == wanted) {
                device = d;
                found = true;
                break;
            }
        }
        if (!found)
            qCDebug(lcSpeech).noquote()
                << QStringLiteral("The microphone \"%1\" is not there; recording from the default").arg(wanted);
    }
    if (device.isNull()) {
        m_error = QStringLiteral("No microphone was found");
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(16000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        m_error = QStringLiteral("The microphone \"%1\" cannot record 16 kHz mono").arg(device.description());
        return false;
    }
    m_device = device.description();
    m_audio = new QAudioSource(device, format, this);
    // A fiftieth of a second a read: the end of speech is noticed that soon
    // after the sound server has it.
    m_audio->setBufferSize(16000 * 2 / 50);
    connect(m_audio, &QAudioSource::stateChanged, this, [this](QAudio::State state) {
        if (!m_audio || state != QAudio::StoppedState || m_audio->error() == QAudio::NoError)
            return;
        qCWarning(lcSpeech).noquote() << QStringLiteral("The microphone \"%1\" stopped (error %2)")
                                             .arg(m_device)
                                             .arg(int(m_audio->error()));
        stop();
        Q_EMIT finished();
    });
    m_io = m_audio->start();
    if (!m_io || m_audio->error() != QAudio::NoError) {
        m_error = QStringLiteral("The microphone \"%1\" cannot be opened").arg(m_device);
        stop();
        return false;
    }
    connect(m_io.data(), &QIODevice::readyRead, this, &MicrophoneSource::readAvailable);
    qCDebug(lcSpeech).noquote() << QStringLiteral("Recording from \"%1\"").arg(m_device);
    return true;
}

void MicrophoneSource::readAvailable()
{
    if (!m_io)
        return;
    QByteArray pcm = m_pending + m_io->readAll();
    m_pending.clear();
    // Whole samples only; an odd byte waits for the next read.
    if (pcm.size() % 2) {
        m_pending = pcm.right(1);
        pcm.chop(1);
    }
    if (!pcm.isEmpty())
        Q_EMIT samples(pcm);
}

void MicrophoneSource::stop()
{
    if (!m_audio)
        return;
    QAudioSource *audio = m_audio;
    m_audio = nullptr;
    m_io = nullptr;
    m_pending.clear();
    audio->disconnect(this);
    audio->stop();
    audio->deleteLater();
}

} // namespace kestrova::character
