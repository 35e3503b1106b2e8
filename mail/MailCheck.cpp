#include "MailCheck.h"

#include "Mailbox.h"
#include "SpeechText.h"
#include "MailTexts.h"

#include <QCoreApplication>
#include <QLoggingCategory>

namespace kestrova {

Q_LOGGING_CATEGORY(lcMail, "kestrova.mail")

MailCheckResult CheckMail(Mailbox &box, const MailAccount &account, MailSink &sink)
{
    MailCheckResult result;
    result.server = account.server.trimmed();
    box.setHostName(account.server);
    box.setUserName(account.user);
    box.setPassword(account.password);
    box.setSecurity(account.security);
    box.OpenMailbox();
    if (box.LastError() != 0) {
        result.problem = box.Problem() == MailProblem::None ? MailProblem::LogOnFailed : box.Problem();
        result.certificate = box.PresentedCertificate();
        return result;
    }
    result.loggedOn = true;
    result.encrypted = box.Encrypted();
    result.count = box.MessageCount();
    if (box.Problem() == MailProblem::Cancelled) {
        result.problem = MailProblem::Cancelled;
        return result;
    }
    if (box.MessageCount() == 0) {
        sink.Play(QStringLiteral("Sad"));
        return result;
    }
    // Mail is announced with the first message that could be read: a check
    // that can read none ends as a failed log-on does, saying nothing, and
    // the result says why.
    bool announced = false;
    const qint16 n = box.MessageCount();
    for (int i = 1; i <= n; ++i) {
        box.FetchMessage(qint16(i));
        if (box.LastError() != 0) {
            if (box.Finished())
                break;
            continue;
        }
        if (!announced) {
            announced = true;
            sink.AgentVisible();
            sink.Play(QStringLiteral("Pleased"));
            sink.Speak(QCoreApplication::translate("kestrova::MailCheck", "You've got mail."));
            sink.Play(QStringLiteral("Read"));
            if (n == 1)
                sink.Speak(QCoreApplication::translate("kestrova::MailCheck", "You have 1 new message."));
        }
        sink.Speak(QCoreApplication::translate("kestrova::MailCheck", "Message %1 from %2")
                       .arg(character::outsideText(box.MessageLabel()), character::outsideText(box.MessageFrom())));
        sink.Speak(QCoreApplication::translate("kestrova::MailCheck", "Subject %1").arg(character::outsideText(box.MessageSubject())));
        result.messages << character::cleanOutsideText(box.MessageFrom()) + QStringLiteral(": ")
                               + character::cleanOutsideText(box.MessageSubject());
        ++result.read;
    }
    result.problem = box.Problem();
    if (!announced) {
        if (result.problem == MailProblem::None)
            result.problem = MailProblem::ServerFailed;
        if (result.problem != MailProblem::Cancelled)
            box.CloseMailbox();
        return result;
    }
    // The program is ending: nothing more is said.
    if (result.problem == MailProblem::Cancelled)
        return result;
    sink.Play(QStringLiteral("ReadReturn"));
    sink.Speak(QCoreApplication::translate("kestrova::MailCheck", "End of messages."));
    box.CloseMailbox();
    return result;
}

bool mailCheckFailed(const MailCheckResult &result)
{
    return result.read == 0 && result.problem != MailProblem::None && result.problem != MailProblem::Cancelled;
}

QString mailCheckStatus(const MailCheckResult &result, const QString &time)
{
    QString what;
    if (!result.loggedOn)
        what = mailtext::problem(result.problem);
    else if (result.count == 1)
        what = QCoreApplication::translate("kestrova::MailCheck", "1 message");
    else
        what = QCoreApplication::translate("kestrova::MailCheck", "%1 messages").arg(result.count);
    if (result.loggedOn && result.read < result.count)
        what += QCoreApplication::translate("kestrova::MailCheck", " (%1 read)").arg(result.read);
    if (result.loggedOn && result.problem != MailProblem::None)
        what += QStringLiteral(", ") + mailtext::problem(result.problem);
    if (result.loggedOn && !result.encrypted)
        what += QStringLiteral(", ") + mailtext::NotEncrypted;
    return QCoreApplication::translate("kestrova::MailCheck", "Last check %1: %2").arg(time, what);
}

} // namespace kestrova
