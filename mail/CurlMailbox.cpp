#include "CurlMailbox.h"

#include "HeaderDecoding.h"
#include "Pop3Replies.h"

#include <QHostAddress>
#include <QUrl>

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <set>

namespace kestrova {

struct CurlMailbox::Guard {
    // The sockets curl has open; shut, never closed, from another thread.
    std::mutex mutex;
    std::set<int> sockets;
    bool cancelled = false;
    std::atomic_bool calledOff{false};

    // For the TLS handshake (worker thread only): the trusted fingerprint
    // as raw SHA-256, the host its chain is checked against when there is
    // one, and the digest of the certificate the server presented.
    QByteArray pinned;
    QByteArray host;
    bool hostIsAddress = false;
    QByteArray presented;

    void shutAll()
    {
        for (int fd : sockets)
            ::shutdown(fd, SHUT_RDWR);
    }
};

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

// How much of a reply is kept: a status line, a message's header block
// (TOP n 0), a UIDL listing of the largest mailbox counted (32,767 ids of up
// to 70 characters).
constexpr qsizetype StatusLimit = 64 * 1024;
constexpr qsizetype HeaderLimit = 256 * 1024;
constexpr qsizetype ListingLimit = 4 * 1024 * 1024;

// Watches the conversation for an accepted STLS, the capabilities, and
// whether each log-on went over TLS. The lines are looked at, never kept:
// they hold the password.
int traceTls(CURL *curl, curl_infotype type, char *data, size_t size, void *user)
{
    auto *trace = static_cast<CurlMailbox::TlsTrace *>(user);
    QByteArray line = QByteArray::fromRawData(data, qsizetype(size)).trimmed();
    if (trace->imap && type == CURLINFO_HEADER_OUT) {
        // "A001 LOGIN ...": the verb follows the tag.
        line = line.mid(line.indexOf(' ') + 1);
    } else if (trace->imap && type == CURLINFO_HEADER_IN) {
        // An IMAP server lists its capabilities on one line.
        if (line.startsWith("* CAPABILITY ") || line.contains("[CAPABILITY ")) {
            const qsizetype from = line.indexOf("CAPABILITY ") + 11;
            const qsizetype end = line.indexOf(']', from);
            trace->capabilities = line.mid(from, end < 0 ? -1 : end - from).toUpper().split(' ');
            trace->sawCapabilities = true;
        } else if (trace->askedStls && !line.startsWith('*')) {
            trace->upgraded = trace->upgraded || line.mid(line.indexOf(' ') + 1).startsWith("OK");
            trace->askedStls = false;
        }
        return 0;
    }
    if (type == CURLINFO_HEADER_OUT) {
        const QByteArray verb = line.left(line.indexOf(' ') < 0 ? line.size() : line.indexOf(' ')).toUpper();
        trace->askedStls = verb == "STLS" || verb == "STARTTLS";
        if (verb == "CAPA") {
            trace->readingCapabilities = true;
            trace->capabilities.clear();
        } else if (verb == "USER" || verb == "AUTH" || verb == "APOP" || verb == "LOGIN" || verb == "AUTHENTICATE") {
            curl_tlssessioninfo *tls = nullptr;
            const bool overTls = curl_easy_getinfo(curl, CURLINFO_TLS_SSL_PTR, &tls) == CURLE_OK && tls
                                 && tls->backend != CURLSSLBACKEND_NONE && tls->internals;
            (overTls ? trace->tlsLogOns : trace->plainLogOns) += 1;
        }
    } else if (type == CURLINFO_HEADER_IN) {
        if (trace->askedStls) {
            trace->upgraded = trace->upgraded || line.startsWith("+OK");
            trace->askedStls = false;
        } else if (trace->readingCapabilities) {
            if (line == "." || line.startsWith("-ERR")) {
                trace->readingCapabilities = false;
                trace->sawCapabilities = line == ".";
            } else if (!line.startsWith("+OK")) {
                trace->capabilities << line.left(line.indexOf(' ') < 0 ? line.size() : line.indexOf(' ')).toUpper();
            }
        }
    }
    return 0;
}

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

int tlsIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// OpenSSL asks this for each certificate of the chain. The server's own
// certificate is noted; where it is the one the user trusted, it stands in
// for the chain and the host name.
int verifyCertificate(int verified, X509_STORE_CTX *store)
{
    auto *ssl = static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto *guard = ssl ? static_cast<CurlMailbox::Guard *>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), tlsIndex()))
                      : nullptr;
    if (!guard)
        return verified;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509 *leaf = X509_STORE_CTX_get0_cert(store); leaf && X509_digest(leaf, EVP_sha256(), digest, &length))
        guard->presented = QByteArray(reinterpret_cast<const char *>(digest), int(length));
    if (!guard->pinned.isEmpty() && guard->presented == guard->pinned) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    return verified;
}

// curl hands over each TLS context (STLS and pop3s alike) before the
// handshake.
CURLcode prepareTls(CURL *, void *context, void *user)
{
    auto *ctx = static_cast<SSL_CTX *>(context);
    auto *guard = static_cast<CurlMailbox::Guard *>(user);
    SSL_CTX_set_ex_data(ctx, tlsIndex(), guard);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, verifyCertificate);
    if (!guard->pinned.isEmpty()) {
        // curl's own host name check is off here (the trusted certificate
        // may name another host): the chain's verification does it instead.
        X509_VERIFY_PARAM *param = SSL_CTX_get0_param(ctx);
        const int set = guard->hostIsAddress ? X509_VERIFY_PARAM_set1_ip_asc(param, guard->host.constData())
                                             : X509_VERIFY_PARAM_set1_host(param, guard->host.constData(), 0);
        if (set != 1)
            return CURLE_SSL_CONNECT_ERROR;
    }
    return CURLE_OK;
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

QString CurlMailbox::fingerprintText(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

QString CurlMailbox::PresentedCertificate() const
{
    if (m_problem != MailProblem::UntrustedCertificate && m_problem != MailProblem::ChangedCertificate)
        return {};
    return fingerprintText(m_guard->presented);
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
    if (!reply.ok) {
        qCInfo(lcMail).noquote() << verb << "was refused:" << reply.status.left(200);
        return Refused;
    }
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
    const bool implicitTls = m_url.startsWith("pop3s:");
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

    m_opened = true;
    int rc = logOn();
    bool reconnected = false;
    if (rc == CURLE_OK)
        rc = run("STAT", false, reconnected);
    if (rc != CURLE_OK) {
        m_problem = rc == Refused ? MailProblem::ServerFailed : problemOf(rc);
        qCWarning(lcMail).noquote() << "log-on to" << m_url << "failed";
        if (m_problem == MailProblem::UntrustedCertificate || m_problem == MailProblem::ChangedCertificate)
            qCWarning(lcMail).noquote() << "the certificate of" << m_url << "is not trusted (SHA-256"
                                        << fingerprintText(m_guard->presented) + "); no password was sent";
        else if (m_problem == MailProblem::NoEncryption)
            qCWarning(lcMail).noquote() << m_url << "offers no encryption, and plain log-on is not allowed for it;"
                                        << "no password was sent";
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
    for (const mail::UidLine &line : mail::uidList(m_reply)) {
        current.insert(line.uid, line.number);
        inOrder << line.uid;
    }
    m_current = current;
    if (m_uids.isEmpty() && !m_resync)
        m_uids = inOrder;
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
    return CURLE_OK;
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
    if (Finished()) {
        m_lastError = GaveUp;
        m_problem = m_deadline.hasExpired() ? MailProblem::TimedOut : MailProblem::ServerFailed;
        return;
    }
    const bool mapped = m_uids.size() == m_count;
    if (m_resync || !m_live) {
        // The connection was lost: a new one learns where each message
        // stands now.
        if (!mapped || !readUidList()) {
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
    int rc = CURLE_OK;
    if (mapped) {
        rc = fetchAnchored(number, onServer);
    } else {
        bool reconnected = false;
        rc = run("TOP " + QByteArray::number(onServer) + " 0", true, reconnected);
    }
    if (rc != CURLE_OK) {
        if (!m_live)
            m_resync = true;
        m_lastError = rc;
        return;
    }
    m_from = mail::senderName(mail::headerField(m_reply, "From"));
    m_subject = mail::decodeHeader(mail::headerField(m_reply, "Subject")).trimmed();
    m_lastError = 0;
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
        if (m_problem == MailProblem::UntrustedCertificate || m_problem == MailProblem::ChangedCertificate)
            qCWarning(lcMail).noquote() << "the certificate of" << m_url << "is not trusted (SHA-256"
                                        << fingerprintText(m_guard->presented) + "); no password was sent";
        else if (m_problem == MailProblem::NoEncryption)
            qCWarning(lcMail).noquote() << m_url << "offers no STARTTLS, and plain log-on is not allowed for it;"
                                        << "no password was sent";
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
