#include "MailTexts.h"

#include <QCoreApplication>

namespace kestrova::mailtext {

QString problem(MailProblem problem)
{
    switch (problem) {
    case MailProblem::None:
        return {};
    case MailProblem::NoServer:
        return QCoreApplication::translate("kestrova::MailTexts", "no mail server given");
    case MailProblem::Unreachable:
        return QCoreApplication::translate("kestrova::MailTexts", "server not reached");
    case MailProblem::NoEncryption:
        return QCoreApplication::translate("kestrova::MailTexts", "not encrypted: the server offers no STLS, password not sent");
    case MailProblem::UntrustedCertificate:
        return QCoreApplication::translate("kestrova::MailTexts", "certificate not trusted, password not sent");
    case MailProblem::ChangedCertificate:
        return QCoreApplication::translate("kestrova::MailTexts", "the server's certificate has changed, password not sent");
    case MailProblem::LogOnRefused:
        return QCoreApplication::translate("kestrova::MailTexts", "user name or password refused");
    case MailProblem::ServerFailed:
        return QCoreApplication::translate("kestrova::MailTexts", "the connection to the server failed");
    case MailProblem::TimedOut:
        return QCoreApplication::translate("kestrova::MailTexts", "the server took too long");
    case MailProblem::Cancelled:
        return QCoreApplication::translate("kestrova::MailTexts", "cancelled");
    case MailProblem::LogOnFailed:
        return QCoreApplication::translate("kestrova::MailTexts", "log-on failed");
    case MailProblem::NotInstalled:
        return QCoreApplication::translate("kestrova::MailTexts", "the program's mail module (libkestrova_mailbox.so) is missing");
    }
    return {};
}

QString failureSpoken(MailProblem problem)
{
    switch (problem) {
    case MailProblem::None:
    case MailProblem::Cancelled:
        return {};
    case MailProblem::NoServer:
        return QCoreApplication::translate("kestrova::MailTexts", "I couldn't check the mail: there is no mail server in your settings.");
    case MailProblem::Unreachable:
        return QCoreApplication::translate("kestrova::MailTexts", "I couldn't reach your mail server. It may be down, or the network is.");
    case MailProblem::NoEncryption:
        return QCoreApplication::translate("kestrova::MailTexts", "I didn't log on to your mail server: it offers no encryption, so I kept your password "
                              "to myself.");
    case MailProblem::UntrustedCertificate:
        return QCoreApplication::translate("kestrova::MailTexts", "I didn't log on to your mail server: its certificate is not trusted. The mail page of "
                              "the options shows it.");
    case MailProblem::ChangedCertificate:
        return QCoreApplication::translate("kestrova::MailTexts", "I didn't log on to your mail server: its certificate has changed since you trusted "
                              "it.");
    case MailProblem::LogOnRefused:
        return QCoreApplication::translate("kestrova::MailTexts", "Your mail server turned down your user name or password.");
    case MailProblem::ServerFailed:
        return QCoreApplication::translate("kestrova::MailTexts", "Your mail server stopped making sense, so I couldn't read the mail.");
    case MailProblem::TimedOut:
        return QCoreApplication::translate("kestrova::MailTexts", "Your mail server took too long to answer.");
    case MailProblem::LogOnFailed:
        return QCoreApplication::translate("kestrova::MailTexts", "I couldn't log on to your mail server.");
    case MailProblem::NotInstalled:
        return QCoreApplication::translate("kestrova::MailTexts", "I can't check the mail: my mail module is missing.");
    }
    return {};
}

QString newMailBody(const QStringList &messages)
{
    constexpr int Shown = 5;
    QStringList lines = messages.mid(0, Shown);
    if (messages.size() > Shown)
        lines << QCoreApplication::translate("kestrova::MailTexts", "and %1 more").arg(messages.size() - Shown);
    return lines.join(u'\n');
}

QString checkIntervalHint()
{
    return QCoreApplication::translate("kestrova::MailTexts", "Whole minutes from 0 to %1; 0 switches timed checks off.")
        .arg(MaxCheckInterval);
}

QString checkIntervalRefused()
{
    return QCoreApplication::translate("kestrova::MailTexts",
                                       "\"Check every\" takes whole minutes from 0 to %1; 0 switches timed checks "
                                       "off. Nothing was saved: correct the interval and save again.")
        .arg(MaxCheckInterval);
}

QString timedChecks(int minutes, std::optional<bool> dialUpUp)
{
    if (minutes <= 0)
        return QCoreApplication::translate("kestrova::MailTexts", "Timed checks are off.");
    if (!dialUpUp)
        return QCoreApplication::translate("kestrova::MailTexts", "Timed checks need a dial-up connection; the connections could not be listed.");
    if (!*dialUpUp)
        return QCoreApplication::translate("kestrova::MailTexts", "Timed checks need a dial-up connection; none is up now.");
    return minutes == 1 ? QCoreApplication::translate("kestrova::MailTexts", "Timed checks every minute while the dial-up connection is up.")
                        : QCoreApplication::translate("kestrova::MailTexts", "Timed checks every %1 minutes while the dial-up connection is up.").arg(minutes);
}

namespace {
// A SHA-256 fingerprint on two lines of 16 bytes each, as long as one line
// is wide.
QString twoLines(const QString &fingerprint)
{
    const qsizetype half = 16 * 3 - 1;
    return fingerprint.size() > half + 1 ? fingerprint.left(half) + u'\n' + fingerprint.mid(half + 1) : fingerprint;
}
} // namespace

QString untrustedCertificate(const QString &fingerprint, bool changed)
{
    return (changed ? QCoreApplication::translate("kestrova::MailTexts", "The server now shows another certificate than the one you trusted.")
                    : QCoreApplication::translate("kestrova::MailTexts", "The server's certificate is not trusted by this system."))
           + QCoreApplication::translate("kestrova::MailTexts", " Its SHA-256 fingerprint is\n%1\nTrust it only if it matches the fingerprint your mail "
                            "server shows.")
                 .arg(twoLines(fingerprint));
}

QString trustedCertificate(const QString &fingerprint)
{
    return QCoreApplication::translate("kestrova::MailTexts", "Trusted certificate for this server, SHA-256 fingerprint\n%1").arg(twoLines(fingerprint));
}

QString passwordInFile(const QString &why)
{
    return QCoreApplication::translate("kestrova::MailTexts", "No secret store can be used (%1): the password is kept in plain text in the settings file "
                          "Kestrova.ini, which only you can read.")
        .arg(why);
}

QString passwordNotSaved(const QString &why)
{
    return QCoreApplication::translate("kestrova::MailTexts", "The new password was not saved: the secret store did not take it (%1). The password saved "
                          "before is kept; press Save to try again.")
        .arg(why);
}

QString passwordNotMoved(const QString &why)
{
    return QCoreApplication::translate("kestrova::MailTexts", "The password could not be moved into the secret store (%1): it stays in the settings file "
                          "Kestrova.ini, which only you can read.")
        .arg(why);
}

} // namespace kestrova::mailtext
