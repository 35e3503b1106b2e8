#include "MailTexts.h"

namespace kestrova::mailtext {

QString problem(MailProblem problem)
{
    switch (problem) {
    case MailProblem::None:
        return {};
    case MailProblem::NoServer:
        return QStringLiteral("no POP3 server given");
    case MailProblem::Unreachable:
        return QStringLiteral("server not reachable");
    case MailProblem::NoEncryption:
        return QStringLiteral("the server offers no encryption, password not sent");
    case MailProblem::UntrustedCertificate:
        return QStringLiteral("certificate not trusted, password not sent");
    case MailProblem::ChangedCertificate:
        return QStringLiteral("the server's certificate has changed, password not sent");
    case MailProblem::LogOnRefused:
        return QStringLiteral("log-on failed");
    case MailProblem::ServerFailed:
        return QStringLiteral("the connection to the server failed");
    case MailProblem::TimedOut:
        return QStringLiteral("the server took too long");
    case MailProblem::Cancelled:
        return QStringLiteral("cancelled");
    }
    return {};
}

QString spokenProblem(MailProblem problem)
{
    switch (problem) {
    case MailProblem::NoEncryption:
        return QStringLiteral("I didn't check your mail: the server offers no encryption, so I kept your password to "
                              "myself.");
    case MailProblem::UntrustedCertificate:
        return QStringLiteral("I didn't check your mail: I can't trust the server's certificate, so I kept your "
                              "password to myself.");
    case MailProblem::ChangedCertificate:
        return QStringLiteral("I didn't check your mail: the server's certificate has changed, so I kept your "
                              "password to myself.");
    default:
        // Other failures end as they always did, in the status bar only.
        return {};
    }
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

} // namespace kestrova::mailtext
