#include "MailWatch.h"

#include "CharacterRef.h"
#include "Clock.h"
#include "Host.h"
#include "Mailbox.h"

#include <QThread>

#include <functional>
#include <memory>

namespace kestrova {

namespace {

// Hands each of the check's requests to the watch's thread; queued calls to
// one object arrive in the order they were made.
class QueuedSink final : public MailSink {
public:
    QueuedSink(QObject *receiver, Host &host) : m_receiver(receiver), m_host(host) {}
    void AgentVisible() override
    {
        post([&host = m_host] { host.AgentVisible(); });
    }
    void Play(const QString &animation) override
    {
        post([&host = m_host, animation] { host.agent().Play(animation); });
    }
    void Speak(const QString &text) override
    {
        post([&host = m_host, text] { host.agent().Speak(text); });
    }

private:
    void post(std::function<void()> call) { QMetaObject::invokeMethod(m_receiver, std::move(call), Qt::QueuedConnection); }
    QObject *m_receiver;
    Host &m_host;
};

} // namespace

MailWatch::MailWatch(Host &host) : m_host(host)
{
    TmrMail.setInterval(60000);
}

MailWatch::~MailWatch()
{
    TmrMail.stop();
    // The worker touches nothing of ours but the queue; what it still posts
    // is dropped with this object.
    if (m_worker)
        m_worker->wait();
}

bool MailWatch::start(const MailAccount &account)
{
    MailboxFactory *factory = m_host.context().platform.mailboxes;
    if (m_checking || !factory)
        return false;
    std::shared_ptr<Mailbox> box(factory->create());
    if (!box)
        return false;
    m_checking = true;
    QThread *worker = QThread::create([this, box, account]() mutable {
        QueuedSink sink(this, m_host);
        const MailCheckResult result = CheckMail(*box, account, sink);
        // Logging off may wait on the server: here, not on the UI thread.
        box.reset();
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                m_checking = false;
                const Clock *clock = m_host.context().platform.clock;
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

} // namespace kestrova
