// The session of a mail check: the connection curl makes and logs on, the
// lines read from it within the deadline, and what Cancel() reaches. The
// conversations are CurlPop3.cpp's and CurlImap.cpp's, the TLS policy
// CurlTls.cpp's.
#include "CurlSession.h"

#include "Pop3Replies.h"

#include <QHostAddress>
#include <QUrl>

#include <curl/curl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace kestrova {

using namespace curlmail;

namespace {

// Where a reply goes, and how much of it is kept: a server may send
// anything, for as long as the time-out lets it, and only the start of a
// reply is read. What is beyond the limit is taken off the connection and
// dropped, so the conversation stays in step.
struct ReplyBuffer {
    QByteArray *data = nullptr;
    qsizetype limit = 0;
    bool cut = false;
};

size_t appendTo(char *data, size_t size, size_t count, void *buffer)
{
    auto *reply = static_cast<ReplyBuffer *>(buffer);
    const qsizetype bytes = qsizetype(size * count);
    const qsizetype room = std::max<qsizetype>(0, reply->limit - reply->data->size());
    reply->data->append(data, std::min(bytes, room));
    reply->cut = reply->cut || bytes > room;
    return size * count;
}

curl_socket_t openSocket(void *user, curlsocktype, curl_sockaddr *address)
{
    auto *guard = static_cast<CurlMailbox::Guard *>(user);
    std::lock_guard lock(guard->mutex);
    if (guard->cancelled)
        return CURL_SOCKET_BAD;
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd >= 0)
        guard->sockets.insert(fd);
    return fd;
}

int closeSocket(void *user, curl_socket_t fd)
{
    auto *guard = static_cast<CurlMailbox::Guard *>(user);
    std::lock_guard lock(guard->mutex);
    guard->sockets.erase(fd);
    return ::close(fd);
}

int progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<CurlMailbox::Guard *>(user)->calledOff.load() ? 1 : 0;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

CurlMailbox::CurlMailbox() : CurlMailbox(Options{}) {}

CurlMailbox::CurlMailbox(const Options &options) : m_options(options), m_guard(std::make_shared<Guard>())
{
    initCurlOnce();
}

void CurlMailbox::Cancel()
{
    std::lock_guard lock(m_guard->mutex);
    m_guard->cancelled = true;
    m_guard->calledOff = true;
    m_guard->shutAll();
}

bool CurlMailbox::Finished() const
{
    if (m_guard->calledOff || m_deadline.hasExpired() || (m_imap && m_imapFetchFailed))
        return true;
    // Without unique ids a message on a new connection cannot be told from
    // another: a lost connection ends the reading.
    const bool mapped = m_count > 0 && m_uids.size() == m_count;
    return m_connectionLost && (m_logOnsAgainLeft == 0 || !mapped);
}

MailProblem CurlMailbox::Problem() const
{
    if (m_guard->calledOff)
        return MailProblem::Cancelled;
    if (m_problem != MailProblem::None || m_lastError == 0 || !m_opened)
        return m_problem;
    // The reading stopped at a failed fetch with no more to be had.
    if (m_deadline.hasExpired())
        return MailProblem::TimedOut;
    return Finished() ? MailProblem::ServerFailed : MailProblem::None;
}

MailProblem CurlMailbox::problemOf(int curlResult) const
{
    if (m_guard->calledOff)
        return MailProblem::Cancelled;
    if (curlResult == GaveUp && m_deadline.hasExpired())
        return MailProblem::TimedOut;
    switch (curlResult) {
    case CURLE_USE_SSL_FAILED:
        return MailProblem::NoEncryption;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return !m_guard->pinned.isEmpty() && !m_guard->presented.isEmpty() && m_guard->presented != m_guard->pinned
                   ? MailProblem::ChangedCertificate
                   : MailProblem::UntrustedCertificate;
    case CURLE_LOGIN_DENIED:
        return MailProblem::LogOnRefused;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return MailProblem::Unreachable;
    case CURLE_OPERATION_TIMEDOUT:
        return MailProblem::TimedOut;
    case CURLE_ABORTED_BY_CALLBACK:
        return MailProblem::Cancelled;
    default:
        return MailProblem::ServerFailed;
    }
}

CurlMailbox::~CurlMailbox()
{
    CloseMailbox();
}

QByteArray CurlMailbox::serverUrl(const QString &server)
{
    const QString text = server.trimmed();
    if (text.isEmpty())
        return {};
    QUrl url(text.contains(QStringLiteral("://")) ? text : QStringLiteral("pop3://") + text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    static const QHash<QString, int> ports{{QStringLiteral("pop3"), 110}, {QStringLiteral("pop3s"), 995},
                                           {QStringLiteral("imap"), 143}, {QStringLiteral("imaps"), 993}};
    if (!url.isValid() || url.host().isEmpty() || !ports.contains(scheme))
        return {};
    url.setScheme(scheme);
    url.setPort(url.port(ports.value(scheme)));
    url.setUserInfo(QString());
    url.setPath(QStringLiteral("/"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toEncoded();
}

QDeadlineTimer CurlMailbox::replyBound() const
{
    const QDeadlineTimer step(std::chrono::seconds(std::max(1, m_options.timeoutSeconds)), Qt::PreciseTimer);
    return m_deadline.deadlineNSecs() < step.deadlineNSecs() ? m_deadline : step;
}

void CurlMailbox::dropConnection()
{
    if (m_live && m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
    m_live = false;
    m_connectionLost = true;
    m_in.clear();
    m_inPos = 0;
    m_outstanding.clear();
}

int CurlMailbox::sendAll(const QByteArray &data)
{
    const QDeadlineTimer until = replyBound();
    qsizetype done = 0;
    while (done < data.size()) {
        if (m_guard->calledOff)
            return GaveUp;
        size_t sent = 0;
        const CURLcode rc = curl_easy_send(m_curl, data.constData() + done, size_t(data.size() - done), &sent);
        if (rc == CURLE_OK) {
            done += qsizetype(sent);
            continue;
        }
        if (rc != CURLE_AGAIN)
            return rc;
        if (until.hasExpired())
            return m_deadline.hasExpired() ? int(GaveUp) : int(CURLE_OPERATION_TIMEDOUT);
        pollfd wait{m_socket, POLLOUT, 0};
        ::poll(&wait, 1, int(std::clamp<qint64>(until.remainingTime(), 1, 1000)));
    }
    return CURLE_OK;
}

int CurlMailbox::fill(const QDeadlineTimer &until)
{
    if (m_inPos > 0) {
        m_in.remove(0, m_inPos);
        m_inPos = 0;
    }
    char buffer[64 * 1024];
    for (;;) {
        if (m_guard->calledOff)
            return GaveUp;
        size_t got = 0;
        // Whatever TLS holds decrypted comes before the socket is waited on.
        const CURLcode rc = curl_easy_recv(m_curl, buffer, sizeof buffer, &got);
        if (rc == CURLE_OK) {
            if (got == 0)
                return m_guard->calledOff ? int(GaveUp) : int(CURLE_RECV_ERROR);
            m_in.append(buffer, qsizetype(got));
            return CURLE_OK;
        }
        if (rc != CURLE_AGAIN)
            return m_guard->calledOff ? int(GaveUp) : int(rc);
        if (until.hasExpired())
            return m_deadline.hasExpired() ? int(GaveUp) : int(CURLE_OPERATION_TIMEDOUT);
        pollfd wait{m_socket, POLLIN, 0};
        ::poll(&wait, 1, int(std::clamp<qint64>(until.remainingTime(), 1, 1000)));
    }
}

int CurlMailbox::readLine(QByteArray &line, qsizetype cap, bool &cut, const QDeadlineTimer &until)
{
    line.clear();
    for (;;) {
        const qsizetype end = m_in.indexOf('\n', m_inPos);
        const qsizetype stop = end < 0 ? m_in.size() : end;
        const qsizetype room = std::max<qsizetype>(0, cap - line.size());
        line.append(m_in.constData() + m_inPos, std::min(room, stop - m_inPos));
        cut = cut || stop - m_inPos > room;
        if (end >= 0) {
            m_inPos = end + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            return CURLE_OK;
        }
        m_inPos = m_in.size();
        if (const int rc = fill(until); rc != CURLE_OK)
            return rc;
    }
}

void CurlMailbox::setUpHandle()
{
    const long seconds = m_options.timeoutSeconds;
    const bool implicitTls = m_url.startsWith("pop3s:") || m_url.startsWith("imaps:");
    curl_easy_setopt(m_curl, CURLOPT_URL, m_url.constData());
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, "pop3,pop3s,imap,imaps");
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, m_user.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, m_password.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, seconds);
    curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, appendTo);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, appendTo);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGFUNCTION, traceTls);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, &m_trace);
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
    // Cancel() reaches the sockets and stops any transfer at once.
    curl_easy_setopt(m_curl, CURLOPT_OPENSOCKETFUNCTION, openSocket);
    curl_easy_setopt(m_curl, CURLOPT_OPENSOCKETDATA, m_guard.get());
    curl_easy_setopt(m_curl, CURLOPT_CLOSESOCKETFUNCTION, closeSocket);
    curl_easy_setopt(m_curl, CURLOPT_CLOSESOCKETDATA, m_guard.get());
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, m_guard.get());
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    // Every TLS path verifies before the password is sent, on every
    // log-on of the check.
    if (!implicitTls)
        curl_easy_setopt(m_curl, CURLOPT_USE_SSL, long(m_security.allowPlain ? CURLUSESSL_TRY : CURLUSESSL_ALL));
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, m_guard->pinned.isEmpty() ? 2L : 0L);
    if (curl_easy_setopt(m_curl, CURLOPT_SSL_CTX_FUNCTION, prepareTls) != CURLE_OK && !m_guard->pinned.isEmpty()) {
        qCWarning(lcMail) << "this libcurl cannot check a trusted certificate; only the system's store is used";
        m_guard->pinned.clear();
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
    }
    curl_easy_setopt(m_curl, CURLOPT_SSL_CTX_DATA, m_guard.get());
    if (!m_options.caFile.isEmpty())
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, m_options.caFile.toLocal8Bit().constData());
    // curl stops once logged on; the conversation after that is ours.
    curl_easy_setopt(m_curl, CURLOPT_CONNECT_ONLY, 1L);
}

int CurlMailbox::logOn()
{
    if (m_curl) {
        dropConnection();
        curl_easy_cleanup(m_curl);
        m_curl = nullptr;
    }
    m_live = false;
    m_in.clear();
    m_inPos = 0;
    m_outstanding.clear();
    m_curl = curl_easy_init();
    if (!m_curl)
        return CURLE_OUT_OF_MEMORY;
    setUpHandle();
    // Whether this connection went over to TLS.
    m_trace.upgraded = false;
    const qint64 left = m_deadline.remainingTime();
    const long bound = long(left < 0 ? m_options.timeoutSeconds * 1000L
                                     : std::min<qint64>(m_options.timeoutSeconds * 1000L, left));
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT_MS, bound);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, bound);
    QByteArray conversation;
    ReplyBuffer conversationBuffer{&conversation, StatusLimit};
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, &conversationBuffer);
    char errors[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, errors);
    const CURLcode rc = curl_easy_perform(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, nullptr);
    if (rc != CURLE_OK) {
        qCWarning(lcMail).noquote() << "log-on failed:" << curl_easy_strerror(rc) << errors
                                    << mail::lastStatusLine(conversation);
        m_connectionLost = true;
        return rc;
    }
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(m_curl, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK || socket == CURL_SOCKET_BAD) {
        m_connectionLost = true;
        return CURLE_COULDNT_CONNECT;
    }
    m_socket = int(socket);
    const bool overTls = m_url.startsWith("pop3s:") || m_url.startsWith("imaps:") || m_trace.upgraded;
    if (!overTls && !m_security.allowPlain) {
        // Logged on without a password (IMAP's PREAUTH), still in plain
        // text: nothing is read over it.
        qCWarning(lcMail).noquote() << m_url << "let us in without encryption; plain text is not allowed for it";
        ::shutdown(m_socket, SHUT_RDWR);
        m_connectionLost = true;
        return CURLE_USE_SSL_FAILED;
    }
    m_live = true;
    m_connectionLost = false;
    m_pipelining = m_trace.sawCapabilities && m_trace.capabilities.contains("PIPELINING");
    return CURLE_OK;
}

void CurlMailbox::OpenMailbox()
{
    CloseMailbox();
    m_count = 0;
    m_uids.clear();
    m_current.clear();
    m_resync = false;
    m_encrypted = false;
    m_connectionLost = false;
    m_opened = false;
    m_live = false;
    m_outstanding.clear();
    m_nextToSend = 1;
    m_logOnsAgainLeft = 1;
    m_problem = MailProblem::None;
    m_deadline = QDeadlineTimer(std::chrono::seconds(std::max(1, m_options.checkSeconds)), Qt::PreciseTimer);
    m_url = serverUrl(m_host);
    if (m_url.isEmpty()) {
        qCWarning(lcMail).noquote() << "no mail server in" << m_host;
        m_lastError = BadReply;
        m_problem = MailProblem::NoServer;
        return;
    }
    if (m_guard->calledOff) {
        m_lastError = GaveUp;
        m_problem = MailProblem::Cancelled;
        return;
    }
    const QString host = QUrl(QString::fromLatin1(m_url)).host();
    m_guard->host = host.toUtf8();
    m_guard->hostIsAddress = !QHostAddress(host).isNull();
    m_guard->presented.clear();
    m_guard->pinned = QByteArray::fromHex(m_security.trustedCertificate.toLatin1());
    if (m_guard->pinned.size() != 32)
        m_guard->pinned.clear();
    m_trace = TlsTrace{};
    m_imap = m_url.startsWith("imap");
    m_trace.imap = m_imap;
    m_imapHeaders.clear();
    m_imapFetched = false;
    m_imapFetchFailed = false;
    m_tag = 0;
    if (m_imap) {
        openImap();
        return;
    }
    openPop3();
}

void CurlMailbox::FetchMessage(qint16 number)
{
    m_label = QString::number(number);
    m_from.clear();
    m_subject.clear();
    if (!m_curl) {
        m_lastError = NotOpen;
        return;
    }
    if (number < 1 || number > m_count) {
        m_lastError = NoSuchMessage;
        return;
    }
    if (m_imap) {
        fetchImap(number);
        return;
    }
    fetchPop3(number);
}

void CurlMailbox::CloseMailbox()
{
    if (!m_curl)
        return;
    if (m_guard->calledOff || m_deadline.hasExpired() || !m_live || !m_outstanding.isEmpty()) {
        // Logging off would wait on a server that is not answering, on
        // replies still on their way, or log on again only to say QUIT.
        std::lock_guard lock(m_guard->mutex);
        m_guard->cancelled = true;
        m_guard->shutAll();
    } else if (m_imap) {
        imapCommand("LOGOUT", nullptr);
        if (m_socket >= 0)
            ::shutdown(m_socket, SHUT_RDWR);
    } else {
        bool reconnected = false;
        run("QUIT", false, reconnected);
        if (m_socket >= 0)
            ::shutdown(m_socket, SHUT_RDWR);
    }
    m_live = false;
    m_outstanding.clear();
    curl_easy_cleanup(m_curl);
    m_curl = nullptr;
    std::lock_guard lock(m_guard->mutex);
    m_guard->cancelled = m_guard->calledOff;
}

} // namespace kestrova
