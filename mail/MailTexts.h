#pragma once

#include "Mailbox.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the mail page, the status bar and the character tell the user about
// a mail check and its security, all in one place.
namespace kestrova::mailtext {

// The status bar's word for a check whose password went in plain text.
inline const QString NotEncrypted = QStringLiteral("not encrypted");

// Why a check failed or stopped short, as the status bar puts it after
// "Last check 14:05: ".
QString problem(MailProblem problem);
// Why a check failed, as the character says it (and a notification shows
// it while the character is hidden); empty for a check that did not fail.
QString failureSpoken(MailProblem problem);
// The heading of that notification.
inline const QString FailureSummary = QStringLiteral("Mail not checked");

// The notification of mail that came while the character was hidden:
// "You've got mail." over the messages read out, a few of them by sender
// and subject.
inline const QString NewMailSummary = QStringLiteral("You've got mail.");
QString newMailBody(const QStringList &messages);

// What the mail page says under "Check every" about timed checks: off, or
// every N minutes while a dial-up connection is up, and whether one is up
// now (`dialUpUp`: nothing when the connections could not be listed).
QString timedChecks(int minutes, std::optional<bool> dialUpUp);
// What counts as dial-up, as that line's tool tip.
inline const QString TimedChecksHint = QStringLiteral(
    "Timed checks come only while a dial-up connection is up: a modem, mobile broadband (GSM, UMTS, LTE, CDMA) or "
    "PPPoE connection. Wired and wireless networks do not count. \"Check\" checks at any time.");

// Said when a check is asked for while one still runs.
inline const QString StillChecking = QStringLiteral("I'm still checking the mail.");
inline const QString StillCheckingStatus = QStringLiteral("A mail check is already running; its result follows.");

// What the server box takes, as its placeholder and tool tip.
inline const QString ServerPlaceholder = QStringLiteral("pop.example.org or imap://mail.example.org");
inline const QString ServerHint = QStringLiteral(
    "A POP3 server: its name (port 110, with STLS), name:port, or pop3s://name for TLS from the start (port 995).\n"
    "An IMAP server: imap://name (port 143, with STARTTLS) or imaps://name (port 993); its inbox is read without "
    "marking anything as read.");

// The mail page's security controls.
inline const QString AllowPlainCaption =
    QStringLiteral("Allow log-on &without encryption (anyone on the network can then read the password)");
inline const QString TrustCaption = QStringLiteral("&Trust This Certificate");
inline const QString ForgetCaption = QStringLiteral("Fo&rget Trusted Certificate");
// The certificate line under the password: refused, with its fingerprint,
// or the one trusted.
QString untrustedCertificate(const QString &fingerprint, bool changed);
QString trustedCertificate(const QString &fingerprint);

// The password could not be read from the secret store.
inline const QString PasswordUnavailable =
    QStringLiteral("The password could not be read from the secret store; the stored one is left as it is.");
inline const QString PasswordUnavailableStatus =
    QStringLiteral("Mail not checked: the password could not be read from the secret store");
inline const QString PasswordUnavailableSpoken =
    QStringLiteral("I couldn't get your mail password from the secret store.");

// Where the password is kept, and a save or a move that did not happen.
inline const QString PasswordInStore = QStringLiteral("The password is kept in your desktop's secret store.");
inline const QString PasswordInFileNoStore = QStringLiteral(
    "This desktop has no secret store: the password is kept in plain text in the settings file Kestrova.ini, "
    "which only you can read.");
inline const QString PasswordSaving = QStringLiteral("Saving the password in your desktop's secret store...");
// No store can be used, for the reason given.
QString passwordInFile(const QString &why);
QString passwordNotSaved(const QString &why);
QString passwordNotMoved(const QString &why);

} // namespace kestrova::mailtext
