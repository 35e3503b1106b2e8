#include "MailboxModule.h"

namespace kestrova {

namespace {

// Stands in for the module's mailbox when there is none: nothing is sent
// anywhere, the log-on fails and says why.
class MissingMailbox final : public Mailbox {
public:
    void setHostName(const QString &) override {}
    void setUserName(const QString &) override {}
    void setPassword(const QString &) override {}
    void OpenMailbox() override { m_error = 1; }
    int LastError() const override { return m_error; }
    qint16 MessageCount() const override { return 0; }
    void FetchMessage(qint16) override { m_error = 1; }
    QString MessageLabel() const override { return {}; }
    QString MessageFrom() const override { return {}; }
    QString MessageSubject() const override { return {}; }
    void CloseMailbox() override {}
    MailProblem Problem() const override { return MailProblem::NotInstalled; }
    bool Finished() const override { return true; }

private:
    int m_error = 0;
};

using CreateFunction = Mailbox *(*)();

} // namespace

MailboxModule::MailboxModule(const QStringList &folders)
    : m_module(QString::fromLatin1(FileName), QStringLiteral("Mail checks"), folders)
{
}

std::unique_ptr<Mailbox> MailboxModule::create()
{
    if (auto create = reinterpret_cast<CreateFunction>(m_module.resolve("kestrovaCreateMailbox")))
        return std::unique_ptr<Mailbox>(create());
    return std::make_unique<MissingMailbox>();
}

} // namespace kestrova
