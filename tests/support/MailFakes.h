#pragma once

#include "DialUpConnection.h"
#include "Mailbox.h"

#include <QList>
#include <QMutex>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <optional>

namespace kestrova::test {

// The dial-up state the test sets; nothing = the listing fails.
class FakeDialUp : public DialUp {
public:
    std::optional<bool> state = false;
    std::optional<bool> firstConnectionUp() override { return state; }
};

// What the fake mailboxes answer, and what they were asked (from the
// check's worker thread).
struct FakeMailboxScript {
    struct Message {
        QString from, subject;
        int error = 0;
    };
    int openError = 0;
    qint16 count = 0;
    QList<Message> messages;
    // While set, OpenMailbox waits: a check that is still running.
    std::atomic<bool> hold{false};
    // Why a failed log-on failed, and the certificate it was shown.
    MailProblem problem = MailProblem::None;
    QString certificate;
    // How often a check was called off.
    std::atomic<int> cancels{0};

    void recordSecurity(const MailSecurity &security)
    {
        QMutexLocker lock(&m_mutex);
        m_security = security;
    }
    // The security the last log-on was made with.
    MailSecurity security()
    {
        QMutexLocker lock(&m_mutex);
        return m_security;
    }

    void record(const QString &call)
    {
        QMutexLocker lock(&m_mutex);
        m_calls << call;
    }
    QStringList calls()
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

private:
    QMutex m_mutex;
    QStringList m_calls;
    MailSecurity m_security;
};

class FakeMailbox : public Mailbox {
public:
    explicit FakeMailbox(FakeMailboxScript &script) : m_s(script) {}
    void setHostName(const QString &v) override { m_host = v; }
    void setUserName(const QString &v) override { m_user = v; }
    void setPassword(const QString &v) override { m_password = v; }
    void setSecurity(const MailSecurity &security) override { m_s.recordSecurity(security); }
    MailProblem Problem() const override { return m_error != 0 ? m_s.problem : MailProblem::None; }
    QString PresentedCertificate() const override { return m_error != 0 ? m_s.certificate : QString(); }
    void Cancel() override
    {
        ++m_s.cancels;
        m_s.hold = false;
    }
    void OpenMailbox() override
    {
        m_s.record(QStringLiteral("OpenMailbox %1|%2|%3").arg(m_host, m_user, m_password));
        while (m_s.hold)
            QThread::msleep(2);
        m_error = m_s.openError;
    }
    int LastError() const override { return m_error; }
    qint16 MessageCount() const override { return m_s.count; }
    void FetchMessage(qint16 i) override
    {
        m_s.record(QStringLiteral("FetchMessage %1").arg(i));
        m_label = QString::number(i);
        if (i < 1 || i > m_s.messages.size()) {
            m_error = 1;
            return;
        }
        const FakeMailboxScript::Message &m = m_s.messages[i - 1];
        m_error = m.error;
        m_from = m.from;
        m_subject = m.subject;
    }
    QString MessageLabel() const override { return m_label; }
    QString MessageFrom() const override { return m_from; }
    QString MessageSubject() const override { return m_subject; }
    void CloseMailbox() override { m_s.record(QStringLiteral("CloseMailbox")); }

private:
    FakeMailboxScript &m_s;
    QString m_host, m_user, m_password, m_label, m_from, m_subject;
    int m_error = 0;
};

class FakeMailboxFactory : public MailboxFactory {
public:
    FakeMailboxScript script;
    std::unique_ptr<Mailbox> create() override { return std::make_unique<FakeMailbox>(script); }
};

} // namespace kestrova::test
