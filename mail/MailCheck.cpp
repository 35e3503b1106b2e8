#include "MailCheck.h"

#include "Mailbox.h"
#include "SpeechText.h"

namespace kestrova {

MailCheckResult CheckMail(Mailbox &box, const MailAccount &account, MailSink &sink)
{
    MailCheckResult result;
    box.setHostName(account.server);
    box.setUserName(account.user);
    box.setPassword(account.password);
    box.OpenMailbox();
    if (box.LastError() != 0)
        return result;
    result.loggedOn = true;
    result.count = box.MessageCount();
    if (box.MessageCount() == 0) {
        sink.Play(QStringLiteral("Sad"));
        return result;
    }
    sink.AgentVisible();
    sink.Play(QStringLiteral("Pleased"));
    sink.Speak(QStringLiteral("You've got mail."));
    sink.Play(QStringLiteral("Read"));
    if (box.MessageCount() == 1)
        sink.Speak(QStringLiteral("You have 1 new message."));
    const qint16 n = box.MessageCount();
    for (int i = 1; i <= n; ++i) {
        box.FetchMessage(qint16(i));
        if (box.LastError() != 0)
            continue;
        sink.Speak(QStringLiteral("Message ") + character::outsideText(box.MessageLabel()) + QStringLiteral(" from ")
                   + character::outsideText(box.MessageFrom()));
        sink.Speak(QStringLiteral("Subject ") + character::outsideText(box.MessageSubject()));
        ++result.read;
    }
    sink.Play(QStringLiteral("ReadReturn"));
    sink.Speak(QStringLiteral("End of messages."));
    box.CloseMailbox();
    return result;
}

QString mailCheckStatus(const MailCheckResult &result, const QString &time)
{
    QString what;
    if (!result.loggedOn)
        what = QStringLiteral("log-on failed");
    else if (result.count == 1)
        what = QStringLiteral("1 message");
    else
        what = QStringLiteral("%1 messages").arg(result.count);
    if (result.loggedOn && result.read < result.count)
        what += QStringLiteral(" (%1 read)").arg(result.read);
    return QStringLiteral("Last check ") + time + QStringLiteral(": ") + what;
}

} // namespace kestrova
