#pragma once

#include "Mailbox.h"

#include <QString>
#include <QStringList>

namespace kestrova {

// What a check has the character do, in order. The check calls it from
// the thread it runs on.
class MailSink {
public:
    virtual ~MailSink() = default;
    virtual void AgentVisible() = 0;
    virtual void Play(const QString &animation) = 0;
    virtual void Speak(const QString &text) = 0;
};

struct MailAccount {
    QString server, user, password;
    MailSecurity security = {};
};

// How a check ended, for the options window's status bar.
struct MailCheckResult {
    // The server text checked.
    QString server;
    bool loggedOn = false;
    int count = 0;
    // Messages read out (those that could not be fetched are not).
    int read = 0;
    // The log-on went over TLS (false: in plain text, as the user allowed).
    bool encrypted = true;
    // Why the log-on failed or the reading stopped short; None otherwise.
    MailProblem problem = MailProblem::None;
    // The fingerprint of a certificate that was refused, to offer for trust.
    QString certificate;
    // Each message read out, as "sender: subject" (cleaned of control
    // characters), for a notification.
    QStringList messages;
};

// One mail check after the thought balloon: log on with the account,
// count, and with messages waiting have the character read out sender and
// subject of each. A failed log-on ends it without a word here (the result
// says why, and the mail watch tells the user);
// an empty mailbox only looks sad; a message that cannot be fetched is
// skipped without a word, and once the mailbox can read no more the rest
// are too. Mail is announced with the first message read out: when none can
// be, the check ends silently as a failed log-on does, its problem the
// mailbox's or else a failed server. A cancelled check has the character say
// nothing more. Blocks while the mailbox works.
MailCheckResult CheckMail(Mailbox &box, const MailAccount &account, MailSink &sink);

// The status bar text after a check made at `time` ("14:05"); see
// MailTexts.h for its parts.
QString mailCheckStatus(const MailCheckResult &result, const QString &time);

// Whether the check failed before it could read out anything: the user
// is told why. A cancelled check and an empty mailbox are not failures.
bool mailCheckFailed(const MailCheckResult &result);

} // namespace kestrova
