#include "FliteVoice.h"

#include "DesktopCharacterLog.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QMutex>

#include <cmath>

extern "C" {
#include <flite.h>
cst_voice *register_cmu_us_slt(const char *voxdir);
cst_voice *register_cmu_us_rms(const char *voxdir);
}

namespace kestrova::character {

namespace {

// flite keeps state of its own in its voices and lexicon; one thread at a
// time uses it. Nothing else in the program enters flite for a voice: the
// Qt text-to-speech engine that wraps it is never loaded (QtVoice and the
// voice list hand flite to this file), since it would register, change and
// at its end free the very voices used here, from a thread of its own.
QMutex &fliteLock()
{
    static QMutex lock;
    return lock;
}

// Under fliteLock().
cst_voice *fliteVoice(const QString &name)
{
    static bool initialised = false;
    if (!initialised) {
        flite_init();
        initialised = true;
    }
    // flite keeps one voice of each kind for the process and hands it out
    // again while it is registered; asked for each time rather than kept, a
    // voice taken back by someone else is registered anew, not used freed.
    return name == u"rms" ? register_cmu_us_rms(nullptr) : register_cmu_us_slt(nullptr);
}

int msOf(float seconds)
{
    return std::isfinite(seconds) && seconds > 0 ? int(std::lround(seconds * 1000)) : 0;
}

} // namespace

int mouthOpeningForPhone(const QString &phone)
{
    static const QHash<QString, int> openings = {
        // open vowels
        {"aa", 3}, {"ae", 3}, {"ah", 3}, {"ao", 3}, {"aw", 3}, {"ay", 3},
        // mid and close vowels
        {"eh", 2}, {"ey", 2}, {"er", 2}, {"ih", 2}, {"iy", 2}, {"ow", 2}, {"oy", 2}, {"ax", 2},
        // rounded, and the glides
        {"uh", 1}, {"uw", 1}, {"w", 1}, {"y", 1}, {"r", 1}, {"l", 1}, {"hh", 1},
        // lips together
        {"p", 0}, {"b", 0}, {"m", 0}, {"pau", 0}, {"h#", 0}, {"brth", 0},
    };
    // Other consonants: nearly closed.
    return openings.value(phone.toLower(), 1);
}

bool synthesiseWithFlite(const QString &voiceName, const VoiceSettings &settings, const QString &text,
                         QByteArray *pcm, int *sampleRate, SpeechTiming *timing)
{
    QMutexLocker lock(&fliteLock());
    cst_voice *voice = fliteVoice(voiceName);
    if (!voice)
        return false;
    // Rate -1..1 halves to doubles the speed; pitch -1..1 moves the voice's
    // own middle by up to half an octave.
    // The voice's own middle, read before the first change.
    static QHash<QString, float> basePitch;
    const QString kind = voiceName == u"rms" ? QStringLiteral("rms") : QStringLiteral("slt");
    if (!basePitch.contains(kind))
        basePitch.insert(kind, get_param_float(voice->features, "int_f0_target_mean", 100));
    feat_set_float(voice->features, "duration_stretch", float(std::pow(2.0, -std::clamp(settings.rate, -1.0, 1.0))));
    feat_set_float(voice->features, "int_f0_target_mean",
                   float(basePitch.value(kind) * std::pow(2.0, 0.5 * std::clamp(settings.pitch, -1.0, 1.0))));

    const QByteArray utf8 = text.toUtf8();
    cst_utterance *utt = flite_synth_text(utf8.constData(), voice);
    if (!utt)
        return false;
    cst_wave *wave = utt_wave(utt);
    if (!wave || cst_wave_num_samples(wave) <= 0 || wave->num_channels != 1) {
        delete_utterance(utt);
        return false;
    }
    *sampleRate = wave->sample_rate;
    pcm->resize(qsizetype(wave->num_samples) * 2);
    std::memcpy(pcm->data(), wave->samples, std::size_t(pcm->size()));

    SpeechTiming t;
    t.totalMs = int(qint64(wave->num_samples) * 1000 / std::max(1, wave->sample_rate));
    // The mouth: one step per phone, until its end.
    int at = 0;
    for (cst_item *s = relation_head(utt_relation(utt, "Segment")); s; s = item_next(s)) {
        const int end = std::min(msOf(item_feat_float(s, "end")), t.totalMs);
        if (end <= at)
            continue;
        const int shape = mouthOpeningForPhone(QString::fromLatin1(item_feat_string(s, "name")));
        if (!t.mouth.isEmpty() && t.mouth.last().shape == shape)
            t.mouth.last().ms += end - at;
        else
            t.mouth.append({shape, end - at});
        at = end;
    }
    if (at < t.totalMs)
        t.mouth.append({0, t.totalMs - at});
    // The words as written: flite's tokens are the text's blank-separated
    // words; each is said from its first word's first phone to its last
    // word's last phone (a number token is several spoken words).
    int lastEnd = 0;
    for (cst_item *token = relation_head(utt_relation(utt, "Token")); token; token = item_next(token)) {
        SpokenWord w;
        w.word = QString::fromUtf8(item_feat_string(token, "name"));
        cst_item *first = item_daughter(token);
        cst_item *last = item_last_daughter(token);
        if (first && last) {
            w.startMs = msOf(ffeature_float(first, "R:Word.R:SylStructure.daughter1.daughter1.R:Segment.p.end"));
            w.endMs = msOf(ffeature_float(last, "R:Word.R:SylStructure.daughtern.daughtern.R:Segment.end"));
        }
        if (w.endMs < w.startMs || !first) {
            w.startMs = w.endMs = lastEnd;
        }
        lastEnd = std::max(lastEnd, w.endMs);
        t.words.append(w);
    }
    delete_utterance(utt);
    *timing = t;
    return true;
}

// Synthesises on its own thread; results go back to the voice queued.
class FliteWorker : public QObject {
public:
    FliteWorker(FliteVoice *voice, VoiceSettings settings, QString name)
        : m_voice(voice), m_settings(std::move(settings)), m_name(std::move(name)) {}

    template<typename F>
    void post(F &&f) { QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection); }

    void synthesise(int utterance, const QString &text, const std::function<void(int, QByteArray, int, SpeechTiming)> &done)
    {
        QByteArray pcm;
        int rate = 0;
        SpeechTiming timing;
        if (!synthesiseWithFlite(m_name, m_settings, text, &pcm, &rate, &timing))
            rate = 0;
        done(utterance, pcm, rate, timing);
    }

    FliteVoice *m_voice;
    VoiceSettings m_settings;
    QString m_name;
};

QString FliteVoice::voiceNameFor(const VoiceSettings &settings)
{
    if (!settings.name.isEmpty())
        return settings.name;
    return settings.gender == u"male" ? QStringLiteral("rms") : QStringLiteral("slt");
}

FliteVoice::FliteVoice(const VoiceSettings &settings, QObject *parent) : Voice(parent)
{
    qRegisterMetaType<SpeechTiming>();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("flite voice"));
    m_worker = new FliteWorker(this, settings, voiceNameFor(settings));
    m_worker->moveToThread(m_thread);
    m_thread->start();
    m_watch.setSingleShot(true);
    connect(&m_watch, &QTimer::timeout, this, &FliteVoice::watchPlayback);
}

FliteVoice::~FliteVoice()
{
    release();
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { delete w; }, Qt::QueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

bool FliteVoice::isWorking() const
{
    return soundOutputLikely() && !m_lastFailed;
}

int FliteVoice::say(const QString &text)
{
    const int utterance = m_nextUtterance++;
    m_current = utterance;
    release();
    QPointer<FliteVoice> self(this);
    m_worker->post([w = m_worker, utterance, text, self] {
        w->synthesise(utterance, text, [self](int u, QByteArray pcm, int rate, SpeechTiming timing) {
            // Back on the voice's thread; a voice gone by then takes nothing.
            QMetaObject::invokeMethod(
                qApp, [self, u, pcm, rate, timing] {
                    if (self)
                        self->synthesised(u, pcm, rate, timing);
                },
                Qt::QueuedConnection);
        });
    });
    return utterance;
}

void FliteVoice::synthesised(int utterance, const QByteArray &pcm, int sampleRate, const SpeechTiming &timing)
{
    if (utterance != m_current)
        return; // stopped, or another text came since
    if (sampleRate <= 0 || pcm.isEmpty()) {
        qCWarning(lcCharacter) << "flite could not say the text";
        m_lastFailed = true;
        m_current = 0;
        Q_EMIT failed(utterance);
        return;
    }
    play(utterance, pcm, sampleRate, timing);
}

void FliteVoice::play(int utterance, const QByteArray &pcm, int sampleRate, const SpeechTiming &timing)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (device.isNull() || !device.isFormatSupported(format)) {
        qCWarning(lcCharacter) << "No sound output for the flite voice";
        m_lastFailed = true;
        m_current = 0;
        Q_EMIT failed(utterance);
        return;
    }
    m_pcm = pcm;
    m_buffer = new QBuffer(&m_pcm, this);
    m_buffer->open(QIODevice::ReadOnly);
    m_sink = new QAudioSink(device, format, this);
    m_timing = timing;
    bool begun = false;
    connect(m_sink, &QAudioSink::stateChanged, this, [this, utterance, timing, begun](QAudio::State state) mutable {
        if (utterance != m_current || !m_sink)
            return;
        if (state == QAudio::ActiveState && !begun) {
            begun = true;
            m_lastFailed = false;
            m_playing.start();
            m_flowing = false;
            m_handedOverAt = -1;
            m_watch.start(WatchMs);
            Q_EMIT timed(utterance, timing);
            Q_EMIT started(utterance);
        } else if (state == QAudio::IdleState) {
            playedOut(utterance);
        } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
            qCWarning(lcCharacter) << "The flite voice's sound stopped, error" << int(m_sink->error());
            m_lastFailed = true;
            m_current = 0;
            release();
            Q_EMIT failed(utterance);
        }
    });
    m_sink->start(m_buffer);
}

void FliteVoice::watchPlayback()
{
    if (!m_sink || !m_buffer || !m_current)
        return;
    // The sound server tells of the end when the stream runs dry, which a
    // sink that nobody listens to at a low latency (a null sink, or any
    // sink of a server left to its defaults, 2 s ahead of its clock)
    // notices seconds late: the stream's own progress tells instead. Such a
    // sink may also take the first samples only after a while; the mouth
    // and the Speak's time then start again with the sound.
    const qint64 now = m_playing.elapsed();
    const qint64 at = m_buffer->pos();
    // The stream's first fill is taken at once; more only as it plays.
    if (!m_flowing && at > m_sink->bufferSize()) {
        m_flowing = true;
        if (now > LateStartMs)
            Q_EMIT timed(m_current, m_timing);
    }
    if (m_handedOverAt < 0 && m_buffer->atEnd())
        m_handedOverAt = now;
    // Once all of it went to the server, what the stream held ahead of the
    // speakers plays out.
    const QAudioFormat format = m_sink->format();
    const qint64 perSecond = qint64(format.sampleRate()) * std::max(1, format.bytesPerFrame());
    const qint64 aheadMs = perSecond > 0 ? qint64(m_sink->bufferSize()) * 1000 / perSecond : 0;
    if (m_handedOverAt >= 0 && now - m_handedOverAt >= aheadMs)
        playedOut(m_current);
    else
        m_watch.start(WatchMs);
}

void FliteVoice::playedOut(int utterance)
{
    // Everything played.
    if (m_buffer)
        qCDebug(lcCharacter).noquote()
            << QStringLiteral("The sound server took %1 of %2 bytes").arg(m_buffer->pos()).arg(m_pcm.size());
    m_current = 0;
    release();
    Q_EMIT finished(utterance);
}

void FliteVoice::stop()
{
    m_current = 0;
    release();
}

void FliteVoice::release()
{
    m_watch.stop();
    if (m_sink) {
        QAudioSink *sink = m_sink;
        m_sink = nullptr;
        sink->disconnect(this);
        sink->stop();
        sink->deleteLater();
    }
    if (m_buffer) {
        m_buffer->deleteLater();
        m_buffer = nullptr;
    }
}

} // namespace kestrova::character
