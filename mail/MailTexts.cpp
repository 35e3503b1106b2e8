#include "MailTexts.h"

namespace kestrova::mailtext {

QString problem(MailProblem problem)
{
    switch (problem) {
    case MailProblem::None:
        return {};
    case MailProblem::NoServer:
        return QStringLiteral("no mail server given");
    case MailProblem::Unreachable:
        return QStringLiteral("server not reached");
    case MailProblem::NoEncryption:
        return QStringLiteral("not encrypted: the server offers no STLS, password not sent");
    case MailProblem::UntrustedCertificate:
        return QStringLiteral("certificate not trusted, password not sent");
    case MailProblem::ChangedCertificate:
        return QStringLiteral("the server's certificate has changed, password not sent");
    case MailProblem::LogOnRefused:
        return QStringLiteral("user name or password refused");
    case MailProblem::ServerFailed:
        return QStringLiteral("the connection to the server failed");
    case MailProblem::TimedOut:
        return QStringLiteral("the server took too long");
    case MailProblem::Cancelled:
        return QStringLiteral("cancelled");
    case MailProblem::LogOnFailed:
        return QStringLiteral("log-on failed");
    case MailProblem::NotInstalled:
        return QStringLiteral("the program's mail module (libkestrova_mailbox.so) is missing");
    }
    return {};
}

QString timedChecks(int minutes, std::optional<bool> dialUpUp)
{
    if (minutes <= 0)
        return QStringLiteral("Timed checks are off.");
    if (!dialUpUp)
        return QStringLiteral("Timed checks need a dial-up connection; the connections could not be listed.");
    if (!*dialUpUp)
        return QStringLiteral("Timed checks need a dial-up connection; none is up now.");
    return minutes == 1 ? QStringLiteral("Timed checks every minute while the dial-up connection is up.")
                        : QStringLiteral("Timed checks every %1 minutes while the dial-up connection is up.").arg(minutes);
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
    return (changed ? QStringLiteral("The server now shows another certificate than the one you trusted.")
                    : QStringLiteral("The server's certificate is not trusted by this system."))
           + QStringLiteral(" Its SHA-256 fingerprint is\n%1\nTrust it only if it matches the fingerprint your mail "
                            "server shows.")
                 .arg(twoLines(fingerprint));
}

QString trustedCertificate(const QString &fingerprint)
{
    return QStringLiteral("Trusted certificate for this server, SHA-256 fingerprint\n%1").arg(twoLines(fingerprint));
}

QString passwordInFile(const QString &why)
{
    return QStringLiteral("No secret store can be used (%1): the password is kept in plain text in the settings file "
                          "Kestrova.ini, which only you can read.")
        .arg(why);
}

QString passwordNotSaved(const QString &why)
{
    return QStringLiteral("The new password was not saved: the secret store did not take it (%1). The password saved "
                          "before is kept; press Save to try again.")
        .arg(why);
}

QString passwordNotMoved(const QString &why)
{
    return QStringLiteral("The password could not be moved into the secret store (%1): it stays in the settings file "
                          "Kestrova.ini, which only you can read.")
        .arg(why);
}

} // namespace kestrova::mailtext
