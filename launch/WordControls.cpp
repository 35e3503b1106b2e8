#include "WordControls.h"

#include "CharacterRef.h"
#include "Host.h"
#include "SpeechText.h"
#include "WordProcessor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <functional>

Q_LOGGING_CATEGORY(lcWord, "kestrova.word")

namespace kestrova {

void WordSession::OpenWord(WordSink &sink)
{
    std::unique_ptr<WordApplication> created = processor ? processor->createApplication() : nullptr;
    if (!created) {
        sink.Speak(QCoreApplication::translate("kestrova::WordControls", "I was unable to open Word"));
        return;
    }
    // The previous reference is released; its word processor stays open.
    WordApp = std::move(created);
    if (!WordApp->setVisible(true))
        sink.Speak(QCoreApplication::translate("kestrova::WordControls", "I was unable to open Word"));
}

void WordSession::NewDocument(WordSink &sink)
{
    if (WordApp && WordApp->addDocument()) {
        sink.Play(QStringLiteral("Pleased"));
        sink.Speak(QCoreApplication::translate("kestrova::WordControls", "A new Word document has been created."));
        return;
    }
    // The handler: open the word processor and try once more. A failure
    // here ends the operation without a further word (OpenWord has said
    // its line when it was the one that failed).
    OpenWord(sink);
    if (!WordApp || !WordApp->addDocument())
        return;
    sink.Play(QStringLiteral("Pleased"));
    sink.Speak(QCoreApplication::translate("kestrova::WordControls", "A new Word document has been created"));
}

void WordSession::ReadSelection(WordSink &sink)
{
    sink.Play(QStringLiteral("Read"));
    std::optional<QString> text = WordApp ? WordApp->selectionText() : std::nullopt;
    if (!text && processor) {
        // The word processor may have been started otherwise ("open
        // wordpad", an office program of the user's, its own menu entry), or
        // the one opened here closed and another started since: the one
        // running now is read.
        qCInfo(lcWord) << (WordApp ? "The word processor opened earlier does not answer; reading the one running now"
                                   : "No word processor was opened here; reading the one running now");
        if (std::unique_ptr<WordApplication> running = processor->connectToRunning()) {
            WordApp = std::move(running);
            text = WordApp->selectionText();
        }
    }
    if (!text) {
        qCWarning(lcWord) << (processor ? "The selection could not be read from the word processor (see above)"
                                        : "The selection could not be read: there is no word processor");
        sink.Speak(QCoreApplication::translate("kestrova::WordControls", "I was unable to access Word."));
        return;
    }
    // The user's text is read as it stands: a "|" or a backslash in it is
    // not taken for a choice of alternatives or a voice tag.
    sink.Speak(character::outsideText(*text));
    sink.Play(QStringLiteral("ReadReturn"));
}

// Everything the thread of the operations shares with the user-interface
// thread. It outlives the WordControls when a word processor hangs at
// shut-down: then the thread is left behind with it.
struct WordControls::Worker {
    WordSession session;
    QMutex mutex;
    QWaitCondition idle;
    int pending = 0;
    // Where the character requests go; cleared (under the mutex) when the
    // WordControls goes, so nothing is posted to it afterwards.
    QObject *receiver = nullptr;
    Host *host = nullptr;
    // Lives in the operations' thread; jobs are posted to it.
    QObject *context = nullptr;
};

namespace {

// Hands the character requests of an operation to the user-interface
// thread; queued calls to one object arrive in the order they were made.
class QueuedWordSink final : public WordSink {
public:
    QueuedWordSink(QMutex &mutex, QObject *&receiver, Host *host) : m_mutex(mutex), m_receiver(receiver), m_host(host) {}
    void Play(const QString &animation) override
    {
        post([host = m_host, animation] { host->agent().Play(animation); });
    }
    void Speak(const QString &text) override
    {
        post([host = m_host, text] { host->agent().Speak(text); });
    }

private:
    void post(std::function<void()> call)
    {
        QMutexLocker lock(&m_mutex);
        if (m_receiver)
            QMetaObject::invokeMethod(m_receiver, std::move(call), Qt::QueuedConnection);
    }
    QMutex &m_mutex;
    QObject *&m_receiver;
    Host *m_host;
};

} // namespace

WordControls::WordControls(Host &host) : m_host(host), m_worker(std::make_shared<Worker>())
{
    m_worker->receiver = this;
    m_worker->host = &host;
    // The platform services are fixed for the run.
    m_worker->session.processor = host.context().platform.wordProcessor;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("word processor"));
    m_worker->context = new QObject;
    m_worker->context->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_worker->context, &QObject::deleteLater);
}

WordControls::~WordControls()
{
    {
        QMutexLocker lock(&m_worker->mutex);
        m_worker->receiver = nullptr;
    }
    if (!m_thread->isRunning()) {
        delete m_worker->context;
        delete m_thread;
        return;
    }
    // Whatever is still queued runs first; the reference goes last.
    release();
    m_thread->quit();
    if (m_thread->wait(QDeadlineTimer(3000))) {
        delete m_thread;
        return;
    }
    // A word processor that does not answer keeps its call waiting; the
    // thread is left to it rather than holding up the end of the program.
    qCWarning(lcWord) << "The word processor does not answer; it is left behind";
}

template <class Step>
void WordControls::run(Step step)
{
    if (!m_thread->isRunning())
        m_thread->start();
    {
        QMutexLocker lock(&m_worker->mutex);
        ++m_worker->pending;
    }
    std::shared_ptr<Worker> worker = m_worker;
    QMetaObject::invokeMethod(
        worker->context,
        [worker, step] {
            QueuedWordSink sink(worker->mutex, worker->receiver, worker->host);
            step(worker->session, sink);
            QMutexLocker lock(&worker->mutex);
            if (--worker->pending == 0)
                worker->idle.wakeAll();
        },
        Qt::QueuedConnection);
}

void WordControls::OpenWord()
{
    run([](WordSession &session, WordSink &sink) { session.OpenWord(sink); });
}

void WordControls::NewDocument()
{
    run([](WordSession &session, WordSink &sink) { session.NewDocument(sink); });
}

void WordControls::ReadSelection()
{
    run([](WordSession &session, WordSink &sink) { session.ReadSelection(sink); });
}

void WordControls::release()
{
    // A start still under way gives up rather than keep the thread busy
    // past the end of the program.
    if (WordProcessor *processor = m_worker->session.processor)
        processor->abandon();
    if (!m_thread->isRunning())
        return; // nothing was ever opened
    run([](WordSession &session, WordSink &) { session.WordApp.reset(); });
}

bool WordControls::waitForIdle(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    QMutexLocker lock(&m_worker->mutex);
    while (m_worker->pending > 0) {
        if (!m_worker->idle.wait(&m_worker->mutex, deadline))
            return m_worker->pending == 0;
    }
    return true;
}

} // namespace kestrova
