#pragma once

#include "Mailbox.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>

// What the mail page, the status bar and the character tell the user about
// a mail check and its security, all in one place.
namespace kestrova::mailtext {

// A text of the mail's, in the user's language wherever it is used.
struct TranslatedText {
    const char *source;
    operator QString() const { return QCoreApplication::translate("kestrova::MailTexts", source); }
};

// The status bar's word for a check whose password went in plain text.
inline const TranslatedText NotEncrypted = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "not encrypted")};

// Why a check failed or stopped short, as the status bar puts it after
// "Last check 14:05: ".
QString problem(MailProblem problem);
// Why a check failed, as the character says it (and a notification shows
// it while the character is hidden); empty for a check that did not fail.
QString failureSpoken(MailProblem problem);
// The heading of that notification.
inline const TranslatedText FailureSummary = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "Mail not checked")};

// The notification of mail that came while the character was hidden:
// "You've got mail." over the messages read out, a few of them by sender
// and subject.
inline const TranslatedText NewMailSummary = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "You've got mail.")};
QString newMailBody(const QStringList &messages);

// What the mail page says under "Check every" about timed checks: off, or
// every N minutes while a dial-up connection is up, and whether one is up
// now (`dialUpUp`: nothing when the connections could not be listed).
QString timedChecks(int minutes, std::optional<bool> dialUpUp);
// What counts as dial-up, as that line's tool tip.
inline const TranslatedText TimedChecksHint = {QT_TRANSLATE_NOOP("kestrova::MailTexts", 
    "Timed checks come only while a dial-up connection is up: a modem, mobile broadband (GSM, UMTS, LTE, CDMA) or "
    "PPPoE connection. Wired and wireless networks do not count. \"Check\" checks at any time.")};

// The minutes "Check every" takes: whole minutes from 0 (timed checks off)
// up to this.
inline constexpr int MaxCheckInterval = 32767;
// The interval box's tool tip, and the box shown when Save finds in it
// anything but such a number (nothing is saved then).
QString checkIntervalHint();
QString checkIntervalRefused();

// Said when a check is asked for while one still runs.
inline const TranslatedText StillChecking = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "I'm still checking the mail.")};
inline const TranslatedText StillCheckingStatus = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "A mail check is already running; its result follows.")};

// What the server box takes, as its placeholder and tool tip.
inline const TranslatedText ServerPlaceholder = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "pop.example.org or imap://mail.example.org")};
inline const TranslatedText ServerHint = {QT_TRANSLATE_NOOP("kestrova::MailTexts", 
    "A POP3 server: its name (port 110, with STLS), name:port, or pop3s://name for TLS from the start (port 995).\n"
    "An IMAP server: imap://name (port 143, with STARTTLS) or imaps://name (port 993); its inbox is read without "
    "marking anything as read.")};

// The mail page's security controls.
inline const TranslatedText AllowPlainCaption = {
    QT_TRANSLATE_NOOP("kestrova::MailTexts", "Allow log-on &without encryption (anyone on the network can then read the password)")};
inline const TranslatedText TrustCaption = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "&Trust This Certificate")};
inline const TranslatedText ForgetCaption = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "Fo&rget Trusted Certificate")};
// The certificate line under the password: refused, with its fingerprint,
// or the one trusted.
QString untrustedCertificate(const QString &fingerprint, bool changed);
QString trustedCertificate(const QString &fingerprint);

// The password could not be read from the secret store.
inline const TranslatedText PasswordUnavailable = {
    QT_TRANSLATE_NOOP("kestrova::MailTexts", "The password could not be read from the secret store; the stored one is left as it is.")};
inline const TranslatedText PasswordUnavailableStatus = {
    QT_TRANSLATE_NOOP("kestrova::MailTexts", "Mail not checked: the password could not be read from the secret store")};
inline const TranslatedText PasswordUnavailableSpoken = {
    QT_TRANSLATE_NOOP("kestrova::MailTexts", "I couldn't get your mail password from the secret store.")};

// Where the password is kept, and a save or a move that did not happen.
inline const TranslatedText PasswordInStore = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "The password is kept in your desktop's secret store.")};
inline const TranslatedText PasswordInFileNoStore = {QT_TRANSLATE_NOOP("kestrova::MailTexts", 
    "This desktop has no secret store: the password is kept in plain text in the settings file Kestrova.ini, "
    "which only you can read.")};
inline const TranslatedText PasswordSaving = {QT_TRANSLATE_NOOP("kestrova::MailTexts", "Saving the password in your desktop's secret store...")};
// No store can be used, for the reason given.
QString passwordInFile(const QString &why);
QString passwordNotSaved(const QString &why);
QString passwordNotMoved(const QString &why);

} // namespace kestrova::mailtext
