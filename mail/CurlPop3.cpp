// POP3 over the session of CurlMailbox.cpp: STAT, UIDL, "TOP n 0" anchored
// by "UIDL n", in batches where the server offers PIPELINING.
#include "CurlSession.h"

#include "HeaderDecoding.h"
#include "Pop3Replies.h"

#include <algorithm>

namespace kestrova {

using namespace curlmail;

namespace {

// "+OK ..." or "-ERR ...", as no header line starts.
bool isStatusLine(const QByteArray &line)
{
    for (const char *status : {"+OK", "-ERR"}) {
        const qsizetype n = qsizetype(qstrlen(status));
        if (line.startsWith(status) && (line.size() == n || line.at(n) == ' '))
            return true;
    }
    return false;
}

} // namespace

int CurlMailbox::readReply(bool multiLine, qsizetype limit, Reply &reply, bool headerBlock)
{
    reply = Reply{};
    const QDeadlineTimer until = replyBound();
    bool cut = false;
    if (const int rc = readLine(reply.status, StatusLimit, cut, until); rc != CURLE_OK)
        return rc;
    reply.ok = reply.status.startsWith("+OK");
    if (!reply.ok && !reply.status.startsWith("-ERR"))
        return OutOfStep;
    if (!reply.ok || !multiLine)
        return CURLE_OK;
    QByteArray line;
    bool pastHeaders = false;
    for (;;) {
        bool lineCut = false;
        if (const int rc = readLine(line, limit + 2, lineCut, until); rc != CURLE_OK)
            return rc;
        if (line == "." && !lineCut)
            break;
        const qsizetype from = line.startsWith('.') ? 1 : 0;
        if (headerBlock) {
            // "TOP n 0" gives the header lines and the empty line after
            // them, nothing more: a status line among them, or any line
            // after the empty one, is another reply read as this one.
            if (pastHeaders || isStatusLine(line))
                return OutOfStep;
            pastHeaders = line.isEmpty();
        }
        const qsizetype room = std::max<qsizetype>(0, limit - reply.body.size());
        const qsizetype take = std::min(room, line.size() - from + 2);
        reply.body.append((line.mid(from) + "\r\n").left(take));
        reply.cut = reply.cut || lineCut || take < line.size() - from + 2;
    }
    return CURLE_OK;
}

bool CurlMailbox::strayBytesWaiting()
{
    if (m_inPos < m_in.size())
        return true;
    // A look at the connection that does not wait: what a server that
    // does not dot-stuff sends beyond a lone "." comes with the reply.
    return fill(QDeadlineTimer(0)) == CURLE_OK && m_inPos < m_in.size();
}

int CurlMailbox::run(const QByteArray &command, bool multiLine, bool &reconnected)
{
    m_reply.clear();
    reconnected = false;
    if (m_guard->calledOff || m_deadline.hasExpired()) {
        m_problem = m_guard->calledOff ? MailProblem::Cancelled : MailProblem::TimedOut;
        return GaveUp;
    }
    if (!m_live) {
        if (m_opened) {
            // Logging on again for this command.
            if (m_logOnsAgainLeft == 0) {
                m_problem = MailProblem::ServerFailed;
                return GaveUp;
            }
            --m_logOnsAgainLeft;
            reconnected = true;
        }
        m_opened = true;
        if (const int rc = logOn(); rc != CURLE_OK)
            return rc;
    }
    int rc = sendAll(command + "\r\n");
    Reply reply;
    if (rc == CURLE_OK)
        rc = readReply(multiLine, command.startsWith("UIDL") ? ListingLimit : HeaderLimit, reply,
                       command.startsWith("TOP"));
    const QByteArray verb = command.left(command.indexOf(' ') < 0 ? command.size() : command.indexOf(' '));
    if (rc != CURLE_OK) {
        qCWarning(lcMail).noquote() << verb << "failed:"
                                    << (rc == OutOfStep ? "the reply is no POP3 reply"
                                        : rc == GaveUp  ? "the check was called off or ran out of time"
                                                        : curl_easy_strerror(CURLcode(rc)));
        dropConnection();
        return rc;
    }
    if (reply.cut)
        qCWarning(lcMail).noquote() << "the reply to" << verb << "was longer than the" << HeaderLimit
                                    << "bytes read of it";
    m_reply = multiLine && reply.ok ? reply.body : reply.status;
    if (verb != "QUIT" && strayBytesWaiting()) {
        qCWarning(lcMail).noquote() << "the server sent more than its reply to" << verb
                                    << "; the connection is out of step and is left";
        dropConnection();
    }
    if (!reply.ok) {
        qCInfo(lcMail).noquote() << verb << "was refused:" << reply.status.left(200);
        return Refused;
    }
    return CURLE_OK;
}

void CurlMailbox::openPop3()
{
    const bool implicitTls = m_url.startsWith("pop3s:");
    m_opened = true;
    int rc = logOn();
    bool reconnected = false;
    if (rc == CURLE_OK)
        rc = run("STAT", false, reconnected);
    if (rc != CURLE_OK) {
        m_problem = rc == Refused ? MailProblem::ServerFailed : problemOf(rc);
        qCWarning(lcMail).noquote() << "log-on to" << m_url << "failed";
        warnUnsafeLogOn("encryption");
        m_lastError = rc;
        return;
    }
    std::optional<long> count = mail::statCount(m_reply);
    if (!count) {
        qCWarning(lcMail).noquote() << "STAT gave" << m_reply.trimmed().left(200);
        m_lastError = BadReply;
        m_problem = MailProblem::ServerFailed;
        return;
    }
    m_count = qint16(std::min(*count, 32767L));

    m_encrypted = m_trace.plainLogOns == 0 && (implicitTls || m_trace.upgraded);
    qCInfo(lcMail).noquote() << "logged on to" << m_url << (m_encrypted ? "over TLS:" : "in plain text:") << m_count
                             << "messages" << (m_pipelining ? "(commands in batches)" : "");
    if (!m_encrypted)
        qCInfo(lcMail).noquote() << m_url << "offers no STLS: the check runs in plain text, as allowed for this server";
    const bool offersUidl = !m_trace.sawCapabilities || m_trace.capabilities.contains("UIDL");
    if (m_count > 0 && (!offersUidl || !readUidList())) {
        qCInfo(lcMail) << "no UIDL: messages are read by number, and a lost connection ends the reading";
        if (m_connectionLost) {
            // The connection broke at UIDL: count again on a new one (the
            // one log-on again), where the numbers hold.
            rc = run("STAT", false, reconnected);
            count = rc == CURLE_OK ? mail::statCount(m_reply) : std::nullopt;
            if (!count) {
                m_problem = rc == CURLE_OK || rc == Refused ? MailProblem::ServerFailed : problemOf(rc);
                m_lastError = rc == CURLE_OK ? int(BadReply) : rc;
                return;
            }
            m_count = qint16(std::min(*count, 32767L));
            m_encrypted = m_encrypted && m_trace.plainLogOns == 0;
        }
    }
    m_lastError = 0;
}

bool CurlMailbox::readUidList()
{
    bool reconnected = false;
    if (run("UIDL", true, reconnected) != CURLE_OK)
        return false;
    QHash<QByteArray, int> current;
    QList<QByteArray> inOrder;
    // Whether the lines number the messages 1, 2, 3... as STAT counted them.
    bool asCounted = true;
    for (const mail::UidLine &line : mail::uidList(m_reply)) {
        if (current.contains(line.uid)) {
            // An id given twice tells neither message from the other: on a
            // new connection either could be read in the other's place.
            qCWarning(lcMail).noquote() << "UIDL gave the id" << line.uid.left(70)
                                        << "to more than one message; the ids are not used";
            m_current.clear();
            return false;
        }
        current.insert(line.uid, line.number);
        inOrder << line.uid;
        asCounted = asCounted && line.number == inOrder.size();
    }
    m_current = current;
    if (m_uids.isEmpty() && !m_resync) {
        // The first list maps the messages counted only when it names each
        // of them once, in order; a list that disagrees with STAT leaves
        // them to be read by number.
        if (asCounted && inOrder.size() == m_count)
            m_uids = inOrder;
        else
            qCWarning(lcMail).noquote() << "the UIDL list does not number the" << m_count
                                        << "messages counted from 1 on, once each; the ids are not used";
    }
    return true;
}

void CurlMailbox::sendBatch()
{
    // Half a batch still on its way keeps the server busy while it is read.
    if (m_outstanding.size() * 2 > BatchCommands / 2 || m_nextToSend > m_count)
        return;
    QByteArray commands;
    while (m_outstanding.size() * 2 < BatchCommands && m_nextToSend <= m_count) {
        const int number = m_nextToSend++;
        const int onServer = m_current.value(m_uids[number - 1], 0);
        if (onServer == 0)
            continue;
        const QByteArray n = QByteArray::number(onServer);
        commands += "UIDL " + n + "\r\nTOP " + n + " 0\r\n";
        m_outstanding.append({number, onServer});
    }
    if (!commands.isEmpty() && sendAll(commands) != CURLE_OK)
        dropConnection();
}

// The reply to "UIDL n" must name message n with the id counted for it;
// the "TOP n 0" behind it is then the headers of that message. With
// PIPELINING the pairs go out in batches; without, each command waits for
// the reply to the one before.
int CurlMailbox::fetchAnchored(int number, int onServer)
{
    m_outOfStepBefore = false;
    if (!m_pipelining) {
        const QByteArray n = QByteArray::number(onServer);
        if (const int rc = sendAll("UIDL " + n + "\r\n"); rc != CURLE_OK) {
            dropConnection();
            return rc;
        }
        m_outstanding = {{number, onServer}};
    } else {
        if (m_outstanding.isEmpty() || m_outstanding.first().number != number) {
            // Asked out of the order sent: what is on its way is let go.
            if (!m_outstanding.isEmpty()) {
                dropConnection();
                return Reconnected;
            }
            m_nextToSend = number;
        }
        sendBatch();
        if (!m_live)
            return CURLE_SEND_ERROR;
        if (m_outstanding.isEmpty() || m_outstanding.first().number != number)
            return NoSuchMessage;
    }
    m_outstanding.removeFirst();
    Reply anchor;
    int rc = readReply(false, StatusLimit, anchor);
    const QList<QByteArray> words = anchor.status.simplified().split(' ');
    if (rc == CURLE_OK && anchor.ok
        && (words.size() != 3 || words[1] != QByteArray::number(onServer) || words[2] != m_uids[number - 1])) {
        qCWarning(lcMail).noquote() << "UIDL" << onServer << "gave" << anchor.status.left(200)
                                    << "; the replies are out of step";
        rc = OutOfStep;
    }
    // The first line that should answer this message's commands answers
    // none of them: what came before (an earlier reply that ran on) put
    // the stream out of step, not this message.
    m_outOfStepBefore = rc == OutOfStep;
    if (rc == CURLE_OK && !m_pipelining)
        rc = sendAll("TOP " + QByteArray::number(onServer) + " 0\r\n");
    Reply headers;
    if (rc == CURLE_OK)
        rc = readReply(true, HeaderLimit, headers, true);
    if (rc != CURLE_OK) {
        qCWarning(lcMail).noquote() << "reading message" << number << "failed:"
                                    << (rc == OutOfStep ? "the replies are out of step"
                                        : rc == GaveUp  ? "the check was called off or ran out of time"
                                                        : curl_easy_strerror(CURLcode(rc)));
        dropConnection();
        return rc;
    }
    if (!anchor.ok || !headers.ok) {
        qCInfo(lcMail).noquote() << "message" << number << "was refused:"
                                 << (anchor.ok ? headers.status : anchor.status).left(200);
        return Refused;
    }
    if (headers.cut)
        qCWarning(lcMail).noquote() << "the headers of message" << number << "were longer than the" << HeaderLimit
                                    << "bytes read of them";
    m_reply = headers.body;
    // With nothing more asked, anything waiting is no reply: the headers
    // read end at the lone "." and are this message's, but the connection
    // is left.
    if (m_outstanding.isEmpty() && strayBytesWaiting()) {
        qCWarning(lcMail).noquote() << "the server sent more than the headers of message" << number
                                    << "; the connection is out of step and is left";
        dropConnection();
    }
    return CURLE_OK;
}

void CurlMailbox::fetchPop3(int number)
{
    if (Finished()) {
        m_lastError = GaveUp;
        m_problem = m_deadline.hasExpired() ? MailProblem::TimedOut : MailProblem::ServerFailed;
        return;
    }
    const bool mapped = m_uids.size() == m_count;
    int rc = CURLE_OK;
    for (bool askedAgain = false;; askedAgain = true) {
        if (m_resync || !m_live) {
            // The connection was lost: a new one learns where each message
            // stands now.
            if (!mapped || !readUidList()) {
                if (!m_live)
                    m_resync = true;
                m_lastError = Reconnected;
                return;
            }
            m_resync = false;
        }
        const int onServer = mapped ? m_current.value(m_uids[number - 1], 0) : number;
        if (onServer == 0) {
            qCInfo(lcMail) << "message" << number << "is gone from the mailbox";
            m_lastError = NoSuchMessage;
            return;
        }
        if (mapped) {
            rc = fetchAnchored(number, onServer);
        } else {
            bool reconnected = false;
            rc = run("TOP " + QByteArray::number(onServer) + " 0", true, reconnected);
        }
        if (rc == CURLE_OK)
            break;
        if (!m_live)
            m_resync = true;
        // Out of step before its first reply, the message itself was never
        // answered: it is asked for once more on the one new connection,
        // by its id.
        if (rc == OutOfStep && mapped && m_outOfStepBefore && !askedAgain && m_logOnsAgainLeft > 0
            && !Finished()) {
            qCInfo(lcMail) << "message" << number << "is asked for again on a new connection";
            continue;
        }
        if (rc != Refused)
            qCWarning(lcMail) << "message" << number << "could not be read";
        m_lastError = rc;
        return;
    }
    m_from = mail::senderName(mail::headerField(m_reply, "From"));
    m_subject = mail::decodeHeader(mail::headerField(m_reply, "Subject")).trimmed();
    m_lastError = 0;
}

} // namespace kestrova
