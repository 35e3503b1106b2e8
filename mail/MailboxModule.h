#pragma once

#include "Mailbox.h"
#include "ProgramModule.h"

namespace kestrova {

// The mailbox the program checks mail with (POP3 and IMAP over libcurl,
// CurlMailbox), from the module libkestrova_mailbox.so, loaded at the first
// check. Without the module every check fails at once with the problem
// NotInstalled, which the status bar names.
class MailboxModule final : public MailboxFactory {
public:
    explicit MailboxModule(const QStringList &folders = ProgramModule::programFolders());
    std::unique_ptr<Mailbox> create() override;

    static constexpr const char *FileName = "libkestrova_mailbox.so";

private:
    ProgramModule m_module;
};

} // namespace kestrova
