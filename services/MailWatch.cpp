#include "MailWatch.h"

#include "CharacterSink.h"
#include "Clock.h"
#include "DialUpConnection.h"
#include "IntegerText.h"
#include "Mailbox.h"
#include "MailTexts.h"
#include "PlatformServices.h"

#include <QThread>

#include <functional>
#include <memory>
#include <utility>

namespace kestrova {

namespace {

// Hands each of the check's requests to the watch's thread; queued calls to
// one object arrive in the order they were made.
class QueuedSink final : public MailSink {
public:
    QueuedSink(QObject *receiver, CharacterSink &sink, const bool &ending, bool &shownForMail)
        : m_receiver(receiver), m_sink(sink), m_ending(ending), m_shownForMail(shownForMail)
    {
    }
    void AgentVisible() override
    {
        post([&sink = m_sink, &shownForMail = m_shownForMail] {
            // The user may be away from a hidden character: the mail is
            // also notified once the check has read it out.
            if (!sink.shown())
                shownForMail = true;
            sink.show();
        });
    }
    void Play(const QString &animation) override
    {
        post([&sink = m_sink, animation] { sink.play(animation); });
    }
    void Speak(const QString &text) override
    {
        post([&sink = m_sink, text] { sink.say(text); });
    }

private:
    // What arrives once the program is ending is dropped: the farewell is
    // the last thing said. `ending` is read on the receiver's thread only.
    void post(std::function<void()> call)
    {
        QMetaObject::invokeMethod(
            m_receiver, [call = std::move(call), &ending = m_ending] { if (!ending) call(); }, Qt::QueuedConnection);
    }
    QObject *m_receiver;
    CharacterSink &m_sink;
    const bool &m_ending;
    bool &m_shownForMail;
};

} // namespace

MailWatch::MailWatch(const PlatformServices &platform, CharacterSink &sink, Timers &timers)
    : m_platform(platform), m_sink(sink)
{
    m_timer = timers.timer([this] {
        // Armed again first: a tick that starts a check still keeps the minute.
        m_timer->start(TickMs);
        TmrMail_Timer();
    });
}

void MailWatch::startTimer()
{
    if (!m_ending)
        m_timer->start(TickMs);
}

void MailWatch::stopTimer()
{
    m_timer->stop();
}

MailWatch::~MailWatch()
{
    stopForQuit();
    // The worker touches nothing of ours but the queue; what it still posts
    // is dropped with this object.
    if (m_worker)
        m_worker->wait();
}

void MailWatch::stopForQuit()
{
    m_ending = true;
    m_timer->stop();
    if (const std::shared_ptr<Mailbox> box = m_box.lock())
        box->Cancel();
}

bool MailWatch::start(const MailAccount &account, bool asked)
{
    MailboxFactory *factory = m_platform.mailboxes;
    if (m_checking || m_ending || !factory)
        return false;
    std::shared_ptr<Mailbox> box(factory->create());
    if (!box)
        return false;
    m_checking = true;
    m_box = box;
    m_shownForMail = false;
    QThread *worker = QThread::create([this, box, account, asked]() mutable {
        QueuedSink sink(this, m_sink, m_ending, m_shownForMail);
        const MailCheckResult result = CheckMail(*box, account, sink);
        // Logging off may wait on the server: here, not on the UI thread.
        box.reset();
        QMetaObject::invokeMethod(
            this,
            [this, result, asked] {
                m_checking = false;
                m_box.reset();
                const MailCheckResult before = std::exchange(m_last, result);
                m_lastAsked = asked;
                if (m_ending)
                    return;
                tellOutcome(result, before, asked);
                const Clock *clock = m_platform.clock;
                const QString time = clock ? clock->now().toString(QStringLiteral("HH:mm")) : QString();
                Q_EMIT checkFinished(mailCheckStatus(result, time));
            },
            Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    m_worker = worker;
    worker->start();
    return true;
}

void MailWatch::tellOutcome(const MailCheckResult &result, const MailCheckResult &before, bool asked)
{
    if (m_shownForMail && result.read > 0)
        m_sink.notify(mailtext::NewMailSummary, mailtext::newMailBody(result.messages));
    if (!mailCheckFailed(result))
        return;
    // A timed check failing as the check before it did stays quiet: the
    // user has heard it, and the status line says it again.
    if (!asked && mailCheckFailed(before) && before.problem == result.problem)
        return;
    m_sink.play(QStringLiteral("Sad"));
    tell(m_sink, mailtext::FailureSummary, mailtext::failureSpoken(result.problem));
}

void MailWatch::loadInterval(qint16 minutes)
{
    if (minutes == 0) {
        stopTimer();
        return;
    }
    startTimer();
    MailInterval = minutes;
}

void MailWatch::TmrMail_Timer()
{
    // An equality test: a count already past the interval never meets it
    // again in this run.
    if (int(MailTicks) == int(MailInterval) - 1) {
        // One question at a time: the answer decides for this tick and the
        // ones that came while it was open.
        if (m_asking)
            return;
        m_asking = true;
        // The network manager may take its time; the user-interface thread
        // goes on meanwhile.
        DialUpConnection::AskIsOnline(m_platform, this, [this](bool online) { answered(online); });
        return;
    }
    incrementInt16(&MailTicks);
    Q_EMIT ticked();
}

void MailWatch::answered(bool online)
{
    m_asking = false;
    // Timed checks switched off, or the program ending, while the question
    // was open: nothing is due any more.
    if (online && m_timer->isActive() && !m_ending) {
        if (timedCheck)
            timedCheck();
        MailTicks = 0;
    }
    Q_EMIT ticked();
}

} // namespace kestrova
