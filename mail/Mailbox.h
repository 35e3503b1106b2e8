#pragma once

#include <QString>

#include <memory>

namespace kestrova {

// Why a check stopped short, for the status bar and the character.
enum class MailProblem {
    None,
    // The server text names no POP3 server.
    NoServer,
    // Nothing answered at that address.
    Unreachable,
    // The server offers no encryption (or refused it) and plain log-on is
    // not allowed for it: the password was not sent.
    NoEncryption,
    // The certificate did not verify against the system's store (or the
    // host name did not match), and it is not the one the user trusted.
    UntrustedCertificate,
    // The user trusted one certificate for this server, and the server now
    // presents another.
    ChangedCertificate,
    // The server turned the user name or password down.
    LogOnRefused,
    // The server answered nonsense or dropped the connection.
    ServerFailed,
    // The check ran past its deadline.
    TimedOut,
    // The check was called off (the program is ending).
    Cancelled,
    // The log-on failed, and the mailbox cannot tell why.
    LogOnFailed,
    // The program's mail module is missing or does not load.
    NotInstalled,
};

// How the password may travel to one server, as the user decided it.
struct MailSecurity {
    // The SHA-256 fingerprint of the one certificate trusted for the server
    // besides what the system trusts ("AB:CD:..."); empty for none.
    QString trustedCertificate;
    // Logging on in plain text is allowed where the server offers no
    // encryption.
    bool allowPlain = false;
};

// One POP3 mailbox, as the mail check uses it: set the three account texts,
// open (log on and count), fetch the headers of one message at a time, close.
// Nothing here ever changes the mailbox. The calls block; the check runs
// them on a worker thread.
class Mailbox {
public:
    virtual ~Mailbox() = default;

    virtual void setHostName(const QString &host) = 0;
    virtual void setUserName(const QString &user) = 0;
    virtual void setPassword(const QString &password) = 0;

    // Logs on and learns how many messages wait, or fails.
    virtual void OpenMailbox() = 0;
    // 0 after a successful OpenMailbox or FetchMessage, otherwise not.
    virtual int LastError() const = 0;
    virtual qint16 MessageCount() const = 0;
    // Message numbers start at 1. Afterwards the three message values
    // describe that message (when LastError is 0).
    virtual void FetchMessage(qint16 number) = 0;
    virtual QString MessageLabel() const = 0;
    virtual QString MessageFrom() const = 0;
    virtual QString MessageSubject() const = 0;
    // Logs off and closes the connection.
    virtual void CloseMailbox() = 0;

    // Set before OpenMailbox.
    virtual void setSecurity(const MailSecurity &) {}
    // Why the last OpenMailbox failed, or why the reading stopped short
    // (Finished); None when neither or when it cannot tell.
    virtual MailProblem Problem() const { return MailProblem::None; }
    // Whether the log-on went over TLS.
    virtual bool Encrypted() const { return true; }
    // The fingerprint of the certificate the server presented when it was
    // refused, for the user to compare and perhaps trust; else empty.
    virtual QString PresentedCertificate() const { return {}; }
    // True once nothing more can be read in this check: it was cancelled,
    // ran out of time, or lost its connection with no log-on again left.
    virtual bool Finished() const { return false; }
    // Calls the check off from any thread: what waits on the server returns
    // at once and nothing more is sent.
    virtual void Cancel() {}
};

// Makes a fresh mailbox for each check.
class MailboxFactory {
public:
    virtual ~MailboxFactory() = default;
    virtual std::unique_ptr<Mailbox> create() = 0;
};

} // namespace kestrova
