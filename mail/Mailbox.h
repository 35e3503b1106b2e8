#pragma once

#include <QString>

#include <memory>

namespace kestrova {

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
};

// Makes a fresh mailbox for each check.
class MailboxFactory {
public:
    virtual ~MailboxFactory() = default;
    virtual std::unique_ptr<Mailbox> create() = 0;
};

} // namespace kestrova
