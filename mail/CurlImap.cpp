// IMAP over the session of CurlMailbox.cpp: EXAMINE INBOX, then one FETCH
// of every message's header block.
#include "CurlSession.h"

#include "HeaderDecoding.h"

#include <algorithm>

namespace kestrova {

using namespace curlmail;

// IMAP: the inbox is opened read-only (EXAMINE) and every message's sender
// and subject are asked for in one FETCH with BODY.PEEK, which leaves the
// \Seen flags as they are; nothing is stored, copied or expunged. Each
// answer names its message, and a header block comes as a literal read by
// its length, so nothing inside it is taken for a response.
int CurlMailbox::readImapLine(QByteArray &line, QList<QByteArray> &literals)
{
    line.clear();
    literals.clear();
    const QDeadlineTimer until = replyBound();
    qsizetype stored = 0;
    for (;;) {
        QByteArray part;
        bool cut = false;
        if (const int rc = readLine(part, StatusLimit, cut, until); rc != CURLE_OK)
            return rc;
        line += part;
        // A line ending in "{n}" goes on after n bytes of literal.
        if (cut || !part.endsWith('}'))
            return CURLE_OK;
        const qsizetype open = part.lastIndexOf('{');
        bool ok = false;
        const qint64 size = open < 0 ? -1 : part.mid(open + 1, part.size() - open - 2).toLongLong(&ok);
        if (!ok || size < 0)
            return CURLE_OK;
        QByteArray literal;
        qint64 left = size;
        while (left > 0) {
            if (m_inPos >= m_in.size()) {
                if (const int rc = fill(until); rc != CURLE_OK)
                    return rc;
            }
            const qsizetype take = qsizetype(std::min<qint64>(left, m_in.size() - m_inPos));
            const qsizetype room = std::max<qsizetype>(0, ImapHeaderLimit - literal.size());
            literal.append(m_in.constData() + m_inPos, std::min(take, room));
            m_inPos += take;
            left -= take;
        }
        stored += literal.size();
        literals << literal;
        line += "\x01";
        if (literals.size() > 16 || stored > 4 * ImapHeaderLimit)
            return OutOfStep;
    }
}

int CurlMailbox::imapCommand(const QByteArray &command, const std::function<void(const QByteArray &, const QList<QByteArray> &)> &untagged)
{
    if (!m_live)
        return GaveUp;
    const QByteArray tag = "k" + QByteArray::number(++m_tag);
    if (const int rc = sendAll(tag + ' ' + command + "\r\n"); rc != CURLE_OK) {
        dropConnection();
        return rc;
    }
    QByteArray line;
    QList<QByteArray> literals;
    for (;;) {
        if (m_guard->calledOff) {
            dropConnection();
            return GaveUp;
        }
        int rc = readImapLine(line, literals);
        if (rc == CURLE_OK && !line.startsWith("* ") && !line.startsWith(tag + ' '))
            rc = OutOfStep;
        if (rc != CURLE_OK) {
            qCWarning(lcMail).noquote() << command.left(command.indexOf(' ') < 0 ? command.size() : command.indexOf(' '))
                                        << "failed:"
                                        << (rc == OutOfStep ? "a line that is no answer to it"
                                            : rc == GaveUp  ? "the check was called off or ran out of time"
                                                            : curl_easy_strerror(CURLcode(rc)));
            dropConnection();
            return rc;
        }
        if (line.startsWith(tag + ' ')) {
            if (line.mid(tag.size() + 1).startsWith("OK"))
                return CURLE_OK;
            qCInfo(lcMail).noquote() << command.left(8) << "was refused:" << line.left(200);
            return Refused;
        }
        if (untagged)
            untagged(line.mid(2), literals);
    }
}

void CurlMailbox::openImap()
{
    m_opened = true;
    int rc = logOn();
    long exists = -1;
    if (rc == CURLE_OK)
        rc = imapCommand("EXAMINE INBOX", [&exists](const QByteArray &line, const QList<QByteArray> &) {
            const QList<QByteArray> words = line.split(' ');
            bool ok = false;
            const long n = words.value(0).toLong(&ok);
            if (words.size() == 2 && words[1].toUpper() == "EXISTS" && ok && n >= 0)
                exists = n;
        });
    if (rc != CURLE_OK || exists < 0) {
        m_problem = rc == CURLE_OK || rc == Refused ? MailProblem::ServerFailed : problemOf(rc);
        qCWarning(lcMail).noquote() << "log-on to" << m_url << "failed" << (rc == CURLE_OK ? "(no message count)" : "");
        warnUnsafeLogOn("STARTTLS");
        m_lastError = rc == CURLE_OK ? int(BadReply) : rc;
        return;
    }
    m_count = qint16(std::min(exists, 32767L));
    m_encrypted = m_trace.plainLogOns == 0 && (m_url.startsWith("imaps:") || m_trace.upgraded);
    qCInfo(lcMail).noquote() << "logged on to" << m_url << (m_encrypted ? "over TLS:" : "in plain text:") << m_count
                             << "messages in the inbox";
    m_lastError = 0;
}

void CurlMailbox::fetchImap(int number)
{
    if (!m_imapFetched) {
        m_imapFetched = true;
        qsizetype kept = 0;
        const int rc = imapCommand(
            "FETCH 1:" + QByteArray::number(m_count) + " (BODY.PEEK[HEADER.FIELDS (FROM SUBJECT)])",
            [this, &kept](const QByteArray &line, const QList<QByteArray> &literals) {
                // "<n> FETCH (BODY[HEADER.FIELDS (FROM SUBJECT)] {size}": the
                // literal is message n's header block.
                const QList<QByteArray> words = line.split(' ');
                bool ok = false;
                const int n = words.value(0).toInt(&ok);
                if (words.value(1).toUpper() != "FETCH" || !ok || n < 1 || n > m_count || literals.size() != 1
                    || !line.toUpper().contains("BODY[HEADER.FIELDS")) {
                    qCInfo(lcMail).noquote() << "an answer that is no message's headers was left aside";
                    return;
                }
                if (m_imapHeaders.contains(n) || kept > ImapTotalLimit) {
                    qCWarning(lcMail) << "a second header block for message" << n << "was left aside";
                    return;
                }
                kept += literals.first().size();
                m_imapHeaders.insert(n, literals.first());
            });
        if (rc != CURLE_OK) {
            // The header blocks that came whole before the failure are
            // read out; no other message can be.
            m_imapFetchFailed = true;
            m_problem = rc == Refused ? MailProblem::ServerFailed : problemOf(rc);
        }
    }
    const auto found = m_imapHeaders.constFind(number);
    if (found == m_imapHeaders.constEnd()) {
        m_lastError = m_imapFetchFailed ? int(GaveUp) : int(NoSuchMessage);
        return;
    }
    m_from = mail::senderName(mail::headerField(*found, "From"));
    m_subject = mail::decodeHeader(mail::headerField(*found, "Subject")).trimmed();
    m_lastError = 0;
}

} // namespace kestrova
