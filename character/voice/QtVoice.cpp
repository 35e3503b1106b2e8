#include "QtVoice.h"

#include "DesktopCharacterLog.h"
#include "FliteVoice.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QTextToSpeech>
#include <QVoice>
#include <algorithm>
#include <optional>

namespace kestrova::character {

namespace {

// How long the voice thread gets to end when the voice goes. A working
// engine stops at once; one that hangs (speech-dispatcher with no sound
// server) would otherwise hold up the end of the program after the
// farewell, so it is not waited for long.
constexpr int ThreadStopMs = 250;

} // namespace

// Owns the QTextToSpeech inside the voice thread. Every slot runs there;
// QtVoice talks to it through queued calls and hears back through its
// signals, which arrive queued in the character's thread.
class VoiceWorker : public QObject {
    Q_OBJECT
public:
    VoiceWorker(const VoiceSettings &settings, const QStringList &engines)
        : m_settings(settings), m_engines(engines) {}

    void prepare()
    {
        if (m_prepared)
            return;
        m_prepared = true;
        const QStringList listed = QTextToSpeech::availableEngines();
        QStringList tried;
        for (const QString &name : m_engines) {
            if (name == u"flite") {
                // flite is said by the program's own voice, which owns that
                // library; Qt's engine for it would use it from a thread of
                // its own. Texts go back to QtVoice for it.
                m_handOver = true;
                Q_EMIT fliteChosen();
                return;
            }
            if (!listed.contains(name))
                continue;
            QElapsedTimer clock;
            clock.start();
            auto *tts = new QTextToSpeech(name, this);
            if (tts->state() == QTextToSpeech::Error) {
                tried << QStringLiteral("%1 (%2)").arg(name, tts->errorString());
                delete tts;
                continue;
            }
            qCDebug(lcCharacter).noquote()
                << QStringLiteral("Voice engine %1 ready in %2 ms").arg(name).arg(clock.elapsed());
            m_tts = tts;
            applySettings();
            connect(m_tts, &QTextToSpeech::stateChanged, this, &VoiceWorker::onState);
            Q_EMIT engineReady(name);
            return;
        }
        const QString why = tried.isEmpty()
            ? QStringLiteral("none of the engines %1 is installed").arg(m_engines.join(QStringLiteral(", ")))
            : QStringLiteral("every engine failed: %1").arg(tried.join(QStringLiteral(", ")));
        qCWarning(lcCharacter).noquote() << "No voice:" << why << "- speech is shown in the balloon";
        Q_EMIT noEngine();
    }

    void say(int utterance, const QString &text)
    {
        prepare();
        if (m_handOver) {
            Q_EMIT handedOver(utterance, text);
            return;
        }
        if (!m_tts) {
            Q_EMIT failed(utterance);
            return;
        }
        if (m_tts->state() == QTextToSpeech::Speaking)
            m_tts->stop();
        m_current = utterance;
        m_spoke = false;
        m_tts->say(text);
        if (m_tts->state() == QTextToSpeech::Error)
            fail();
    }

    void stop()
    {
        m_current = 0;
        if (m_tts && m_tts->state() == QTextToSpeech::Speaking)
            m_tts->stop();
    }

Q_SIGNALS:
    void engineReady(const QString &name);
    void noEngine();
    void fliteChosen();
    void handedOver(int utterance, const QString &text);
    void started(int utterance);
    void finished(int utterance);
    void failed(int utterance);

private:
    void onState(QTextToSpeech::State state)
    {
        if (!m_current)
            return;
        switch (state) {
        case QTextToSpeech::Speaking:
            if (!m_spoke) {
                m_spoke = true;
                Q_EMIT started(m_current);
            }
            break;
        case QTextToSpeech::Ready:
            // A Ready before Speaking belongs to the utterance stopped just
            // before this one.
            if (m_spoke) {
                const int done = m_current;
                m_current = 0;
                Q_EMIT finished(done);
            }
            break;
        case QTextToSpeech::Error:
            fail();
            break;
        default:
            break;
        }
    }

    void fail()
    {
        const int done = m_current;
        m_current = 0;
        if (done)
            Q_EMIT failed(done);
    }

    std::optional<QVoice> voiceNamed(const QString &name) const
    {
        if (name.isEmpty())
            return std::nullopt;
        for (const QVoice &v : m_tts->availableVoices())
            if (v.name() == name)
                return v;
        return std::nullopt;
    }

    void applySettings()
    {
        const QLocale locale(m_settings.locale);
        if (m_tts->availableLocales().contains(locale))
            m_tts->setLocale(locale);
        std::optional<QVoice> named = voiceNamed(m_settings.name);
        // A voice chosen by name may speak another language: the engine
        // lists it under that one.
        if (!named && !m_settings.name.isEmpty()) {
            const QLocale before = m_tts->locale();
            for (const QLocale &other : m_tts->availableLocales()) {
                m_tts->setLocale(other);
                if ((named = voiceNamed(m_settings.name)))
                    break;
            }
            if (!named)
                m_tts->setLocale(before);
        }
        if (named) {
            m_tts->setVoice(*named);
        } else if (!m_settings.gender.isEmpty()) {
            const QVoice::Gender wanted = m_settings.gender.compare(u"female", Qt::CaseInsensitive) == 0
                ? QVoice::Female
                : m_settings.gender.compare(u"male", Qt::CaseInsensitive) == 0 ? QVoice::Male
                                                                                : QVoice::Unknown;
            const QList<QVoice> voices = m_tts->availableVoices();
            const auto it = std::find_if(voices.begin(), voices.end(),
                                         [wanted](const QVoice &v) { return v.gender() == wanted; });
            if (it != voices.end())
                m_tts->setVoice(*it);
        }
        m_tts->setRate(std::clamp(m_settings.rate, -1.0, 1.0));
        m_tts->setPitch(std::clamp(m_settings.pitch, -1.0, 1.0));
    }

    VoiceSettings m_settings;
    QStringList m_engines;
    bool m_prepared = false;
    bool m_handOver = false;
    QTextToSpeech *m_tts = nullptr;
    int m_current = 0;
    bool m_spoke = false;
};

QtVoice::QtVoice(const VoiceSettings &settings, const QStringList &engines, QObject *parent)
    : Voice(parent)
{
    m_thread = new QThread;
    m_worker = new VoiceWorker(settings, engines);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &VoiceWorker::engineReady, this, [this](const QString &name) {
        m_engine = name;
        m_state = EngineState::Ready;
    });
    connect(m_worker, &VoiceWorker::noEngine, this, [this] { m_state = EngineState::None; });
    connect(m_worker, &VoiceWorker::fliteChosen, this, [this, settings] {
        m_engine = QStringLiteral("flite");
        m_state = EngineState::Ready;
        m_flite = std::make_unique<FliteVoice>(settings);
        relayVoice(m_flite.get(), this, m_fliteUtterances);
    });
    connect(m_worker, &VoiceWorker::handedOver, this, [this](int utterance, const QString &text) {
        if (m_flite)
            m_fliteUtterances->insert(m_flite->say(text), utterance);
    });
    connect(m_worker, &VoiceWorker::started, this, [this](int u) {
        m_lastFailed = false;
        Q_EMIT started(u);
    });
    connect(m_worker, &VoiceWorker::finished, this, &Voice::finished);
    connect(m_worker, &VoiceWorker::failed, this, [this](int u) {
        m_lastFailed = true;
        Q_EMIT failed(u);
    });
    m_thread->setObjectName(QStringLiteral("kestrova-voice"));
    m_thread->start();
}

QtVoice::~QtVoice()
{
    QMetaObject::invokeMethod(m_worker, &VoiceWorker::stop, Qt::QueuedConnection);
    m_thread->quit();
    // speech-dispatcher without a working server can block a call for ever
    // (seen when the program quits while its server is still starting);
    // the program must still end.
    if (!m_thread->wait(QDeadlineTimer(ThreadStopMs))) {
        qCWarning(lcCharacter) << "The voice engine does not answer; it is left behind";
        return; // the thread and its worker are left to the end of the process
    }
    delete m_thread;
}

void QtVoice::prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    QMetaObject::invokeMethod(m_worker, &VoiceWorker::prepare, Qt::QueuedConnection);
}

bool QtVoice::isAvailable() const
{
    return m_state != EngineState::None;
}

bool QtVoice::isWorking() const
{
    if (m_flite)
        return m_flite->isWorking();
    // With nowhere for sound to go, speech-dispatcher takes every text and
    // stays "speaking" without a sound: the words must be shown instead.
    return soundOutputLikely() && isAvailable() && !m_lastFailed;
}

int QtVoice::say(const QString &text)
{
    prepare();
    const int utterance = m_nextUtterance++;
    QMetaObject::invokeMethod(m_worker, [w = m_worker, utterance, text] { w->say(utterance, text); },
                              Qt::QueuedConnection);
    return utterance;
}

void QtVoice::stop()
{
    if (m_flite)
        m_flite->stop();
    QMetaObject::invokeMethod(m_worker, &VoiceWorker::stop, Qt::QueuedConnection);
}

} // namespace kestrova::character

#include "QtVoice.moc"
