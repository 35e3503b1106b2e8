#include "SpeechListener.h"

#include "LeftBehind.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

#include <algorithm>

Q_LOGGING_CATEGORY(lcSpeech, "kestrova.speech")

namespace kestrova::character {

namespace {

// With no speech for this long the utterance starts over, so what waits
// for speech never holds more than a few seconds of audio.
constexpr int RestartWithoutSpeechMs = 4000;
constexpr int SamplesPerMs = 16;
// What the recogniser is given at a time: the end of speech is noticed
// within this much audio of where the recogniser finds it.
constexpr std::size_t PieceSamples = 20 * SamplesPerMs;
// The recogniser notices a pause 0.15 s after the speaker stops. After a
// whole command that pause ends the utterance; after other words the
// speaker may just be drawing breath between words (0.3-0.4 s), so the
// utterance ends only when the pause has lasted this much longer.
constexpr int InnerPauseMs = 350;
// How long the listener's end waits for its worker: an idle worker or one
// deciding a piece of audio ends well within it; a recogniser being made
// may take seconds, and is not waited for.
constexpr int EndWaitMs = 250;

QString keyOf(const std::vector<VoiceCommand> &commands)
{
    QString key;
    for (const VoiceCommand &c : commands)
        key += c.name + u'\x1f' + c.grammar + (c.strict ? u'!' : u' ') + u'\x1e';
    return key;
}

} // namespace

// What the worker reports to: the listener, cleared as it goes. A worker
// still at work after the listener's end (a recogniser being made) finds
// no one and tells no one; the mutex keeps the listener from going while a
// report to it is being queued.
struct ListenerLink {
    QMutex mutex;
    SpeechListener *listener = nullptr;
};

// Lives on the listener's thread and owns the recogniser. Every call comes
// queued from the listener; results go back the same way, tagged with the
// session they belong to so that a late result of a stopped session is
// dropped.
class SpeechWorker : public QObject {
public:
    SpeechWorker(SpeechListener::RecognizerFactory factory, std::shared_ptr<ListenerLink> link)
        : m_factory(std::move(factory)), m_link(std::move(link))
    {
    }

    void setCommands(const std::vector<VoiceCommand> &commands)
    {
        m_commands = commands;
        m_commandsDirty = true;
        if (m_recognizer)
            applyCommands();
    }

    void setKey(SpeechListener::RecognizerKey key) { m_key = std::move(key); }

    void begin(int session, int maxUtteranceMs)
    {
        if (!ensureRecognizer(session))
            return;
        if (m_commandsDirty)
            applyCommands();
        if (!m_haveGrammar) {
            report([session](SpeechListener *l) { l->failedIn(session, QStringLiteral("No command can be spoken")); });
            return;
        }
        if (m_session && m_recognizer)
            m_recognizer->endUtterance(); // an earlier session cut short
        m_session = session;
        m_maxUtteranceSamples = qint64(maxUtteranceMs) * SamplesPerMs;
        startUtterance();
    }

    void feed(int session, const QByteArray &pcm)
    {
        const auto *samples = reinterpret_cast<const std::int16_t *>(pcm.constData());
        const std::size_t count = std::size_t(pcm.size() / 2);
        // A piece at a time, however much the source delivers at once: the
        // end of speech is acted on within a piece of where it was noticed,
        // and what follows it is not decoded.
        for (std::size_t at = 0; at < count && session == m_session && m_recognizer; at += PieceSamples)
            feedPiece(samples + at, std::min(PieceSamples, count - at));
    }

    // The source ran dry.
    void finish(int session)
    {
        if (session != m_session || !m_recognizer)
            return;
        if (m_hearing) {
            conclude();
            return;
        }
        m_recognizer->endUtterance();
        m_session = 0;
        report([session](SpeechListener *l) { l->stoppedIn(session); });
    }

    void cancel(int session)
    {
        if (session != m_session || !m_recognizer)
            return;
        m_recognizer->endUtterance();
        m_session = 0;
    }

private:
    void feedPiece(const std::int16_t *samples, std::size_t count)
    {
        const int session = m_session;
        m_recognizer->process(samples, count);
        m_samples += qint64(count);
        if (m_recognizer->speechStarted()) {
            if (!m_hearing) {
                m_hearing = true;
                m_speechFrom = m_samples - qint64(count);
                report([session](SpeechListener *l) { l->hearingIn(session); });
            }
            if (m_recognizer->inSpeech()) {
                m_pauseFrom = -1;
            } else if (m_pauseFrom < 0) {
                m_pauseFrom = m_samples;
            }
            const bool ended = m_pauseFrom >= 0
                && (m_recognizer->commandComplete() || m_samples - m_pauseFrom >= qint64(InnerPauseMs) * SamplesPerMs);
            if (ended && !m_recognizer->wordsHeard()) {
                // Taken for speech, but no word in it: a click, a breath, or
                // the microphone's hiss before the recogniser knew its level.
                // Not the user's words; they may be yet to come.
                qCDebug(lcSpeech) << "No words in what was taken for speech; listening on";
                m_recognizer->discardUtterance();
                startUtterance();
                return;
            }
            if (ended || m_samples - m_speechFrom >= m_maxUtteranceSamples)
                conclude();
        } else if (m_samples >= qint64(RestartWithoutSpeechMs) * SamplesPerMs) {
            m_recognizer->endUtterance();
            startUtterance();
        }
    }

    bool ensureRecognizer(int session)
    {
        const QString key = m_key ? m_key() : QString();
        if (m_recognizer && key == m_madeWith)
            return true;
        if (m_recognizer || key != m_madeWith) {
            // Made again from the next listening on, with the grammar.
            m_recognizer.reset();
            m_factoryError.clear();
            m_haveGrammar = false;
            m_commandsDirty = true;
        }
        m_madeWith = key;
        if (!m_factoryError.isEmpty()) {
            const QString why = m_factoryError;
            report([session, why](SpeechListener *l) { l->failedIn(session, why); });
            return false;
        }
        QString error;
        m_recognizer = m_factory ? m_factory(&error) : nullptr;
        if (!m_recognizer) {
            m_factoryError = error.isEmpty() ? QStringLiteral("No speech recogniser is available") : error;
            qCWarning(lcSpeech).noquote() << "Spoken commands are off:" << m_factoryError;
            const QString why = m_factoryError;
            report([session, why](SpeechListener *l) { l->failedIn(session, why); });
            return false;
        }
        return true;
    }

    void applyCommands()
    {
        m_commandsDirty = false;
        QStringList problems;
        const bool ok = m_recognizer->setCommands(m_commands, &problems);
        for (const QString &p : std::as_const(problems))
            qCWarning(lcSpeech).noquote() << "Not for speaking:" << p;
        // A refused set keeps the grammar before it.
        m_haveGrammar = m_haveGrammar || ok;
    }

    void startUtterance()
    {
        m_samples = 0;
        m_speechFrom = 0;
        m_pauseFrom = -1;
        m_hearing = false;
        m_recognizer->startUtterance();
    }

    void conclude()
    {
        const int session = m_session;
        m_session = 0;
        const Recognition heard = m_recognizer->endUtterance();
        report([session, heard](SpeechListener *l) { l->heardIn(session, heard); });
    }

    template<typename F>
    void report(F &&f)
    {
        QMutexLocker lock(&m_link->mutex);
        SpeechListener *listener = m_link->listener;
        if (!listener)
            return;
        QMetaObject::invokeMethod(listener, [listener, f = std::forward<F>(f)] { f(listener); }, Qt::QueuedConnection);
    }

    SpeechListener::RecognizerFactory m_factory;
    SpeechListener::RecognizerKey m_key;
    QString m_madeWith;
    const std::shared_ptr<ListenerLink> m_link;
    std::unique_ptr<SpeechRecognizer> m_recognizer;
    QString m_factoryError;
    std::vector<VoiceCommand> m_commands;
    bool m_commandsDirty = false;
    bool m_haveGrammar = false;
    int m_session = 0;
    qint64 m_samples = 0;
    qint64 m_speechFrom = 0;
    qint64 m_pauseFrom = -1; // where the current pause in speech was noticed
    qint64 m_maxUtteranceSamples = 0;
    bool m_hearing = false;
};

SpeechListener::SpeechListener(RecognizerFactory recognizer, SourceFactory source, QObject *parent)
    : QObject(parent), m_sourceFactory(std::move(source)), m_link(std::make_shared<ListenerLink>())
{
    qRegisterMetaType<Recognition>();
    m_link->listener = this;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("Speech recogniser"));
    m_worker = new SpeechWorker(std::move(recognizer), m_link);
    m_worker->moveToThread(m_thread);
    // The worker goes with its thread, deleted there when it ends, however
    // late that is.
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

SpeechListener::~SpeechListener()
{
    stopRecording();
    m_source.reset();
    {
        // From here on the worker reports to no one; what it queued before
        // goes with this object.
        QMutexLocker lock(&m_link->mutex);
        m_link->listener = nullptr;
    }
    m_thread->quit();
    if (m_thread->wait(QDeadlineTimer(EndWaitMs))) {
        delete m_thread;
        return;
    }
    // Still making the recogniser. The worker owns all it uses (the
    // recogniser's module stays loaded to the end of the process): it is
    // left to finish and end its thread, which is not deleted under it.
    qCDebug(lcSpeech) << "The recogniser is still being made; that is left to end by itself";
    platform::noteLeftBehind();
}

void SpeechListener::setCommands(const std::vector<VoiceCommand> &commands)
{
    const QString key = keyOf(commands);
    if (key == m_commandsKey)
        return;
    m_commandsKey = key;
    QMetaObject::invokeMethod(m_worker, [w = m_worker, commands] { w->setCommands(commands); }, Qt::QueuedConnection);
}

void SpeechListener::setRecognizerKey(RecognizerKey key)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, key = std::move(key)]() mutable { w->setKey(std::move(key)); },
                              Qt::QueuedConnection);
}

bool SpeechListener::start()
{
    stop();
    m_error.clear();
    if (!m_source) {
        m_source = m_sourceFactory ? m_sourceFactory() : nullptr;
        if (!m_source) {
            m_error = QStringLiteral("No microphone was found");
            return false;
        }
        connect(m_source.get(), &AudioSource::samples, this, &SpeechListener::onSamples);
        connect(m_source.get(), &AudioSource::finished, this, &SpeechListener::onSourceFinished);
    }
    const int session = ++m_session;
    const int maxMs = m_maxUtteranceMs;
    QMetaObject::invokeMethod(m_worker, [w = m_worker, session, maxMs] { w->begin(session, maxMs); }, Qt::QueuedConnection);
    m_active = session;
    m_recording = true;
    if (!m_source->start()) {
        m_error = m_source->errorString();
        if (m_error.isEmpty())
            m_error = QStringLiteral("No microphone was found");
        m_recording = false;
        m_active = 0;
        QMetaObject::invokeMethod(m_worker, [w = m_worker, session] { w->cancel(session); }, Qt::QueuedConnection);
        // The next start asks for the source again: a microphone plugged in
        // later is found.
        m_source.reset();
        return false;
    }
    return true;
}

void SpeechListener::stop()
{
    if (!m_active)
        return;
    const int session = m_active;
    m_active = 0;
    stopRecording();
    QMetaObject::invokeMethod(m_worker, [w = m_worker, session] { w->cancel(session); }, Qt::QueuedConnection);
}

void SpeechListener::stopRecording()
{
    if (m_recording && m_source)
        m_source->stop();
    m_recording = false;
}

void SpeechListener::onSamples(const QByteArray &pcm)
{
    if (!m_recording || !m_active || pcm.isEmpty())
        return;
    const int session = m_active;
    QMetaObject::invokeMethod(m_worker, [w = m_worker, session, pcm] { w->feed(session, pcm); }, Qt::QueuedConnection);
}

void SpeechListener::onSourceFinished()
{
    if (!m_recording || !m_active)
        return;
    const int session = m_active;
    m_recording = false;
    // The source is made again next time: a device that went away may be
    // back, or another one the default.
    m_source.release()->deleteLater();
    QMetaObject::invokeMethod(m_worker, [w = m_worker, session] { w->finish(session); }, Qt::QueuedConnection);
}

void SpeechListener::hearingIn(int session)
{
    if (session == m_active)
        Q_EMIT hearingStarted();
}

void SpeechListener::heardIn(int session, const Recognition &recognition)
{
    if (session != m_active)
        return;
    m_active = 0;
    stopRecording();
    Q_EMIT heard(recognition);
}

void SpeechListener::stoppedIn(int session)
{
    if (session != m_active)
        return;
    m_active = 0;
    stopRecording();
    Q_EMIT stopped();
}

void SpeechListener::failedIn(int session, const QString &why)
{
    if (session != m_active)
        return;
    m_active = 0;
    stopRecording();
    m_error = why;
    Q_EMIT failed(why);
}

void SpeechListener::waitForWorker()
{
    QSemaphore done;
    QMetaObject::invokeMethod(m_worker, [&done] { done.release(); }, Qt::QueuedConnection);
    done.acquire();
}

} // namespace kestrova::character
