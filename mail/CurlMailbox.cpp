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

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

namespace kestrova {

Q_LOGGING_CATEGORY(lcMail, "kestrova.mail")

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
    const QByteArray line = QByteArray::fromRawData(data, qsizetype(size)).trimmed();
    if (type == CURLINFO_HEADER_OUT) {
        const QByteArray verb = line.left(line.indexOf(' ') < 0 ? line.size() : line.indexOf(' ')).toUpper();
        trace->askedStls = verb == "STLS";
        if (verb == "CAPA") {
            trace->readingCapabilities = true;
            trace->capabilities.clear();
        } else if (verb == "USER" || verb == "AUTH" || verb == "APOP") {
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
    if (m_guard->calledOff || m_deadline.hasExpired())
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
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"pop3" && scheme != u"pop3s"))
        return {};
    url.setScheme(scheme);
    url.setPort(url.port(scheme == u"pop3s" ? 995 : 110));
    url.setUserInfo(QString());
    url.setPath(QStringLiteral("/"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toEncoded();
}

int CurlMailbox::run(const QByteArray &command, bool multiLine, bool &reconnected)
{
    m_reply.clear();
    reconnected = false;
    const qint64 left = m_deadline.remainingTime();
    if (m_guard->calledOff || left == 0) {
        m_problem = m_guard->calledOff ? MailProblem::Cancelled : MailProblem::TimedOut;
        return GaveUp;
    }
    if (m_connectionLost) {
        // curl would log on again for this command.
        if (m_logOnsAgainLeft == 0) {
            m_problem = MailProblem::ServerFailed;
            return GaveUp;
        }
        --m_logOnsAgainLeft;
    }
    const long bound = long(left < 0 ? m_options.timeoutSeconds * 1000L
                                     : std::min<qint64>(m_options.timeoutSeconds * 1000L, left));
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT_MS, bound);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, bound);
    QByteArray status;
    ReplyBuffer statusBuffer{&status, StatusLimit};
    ReplyBuffer replyBuffer{&m_reply, command.startsWith("UIDL") ? ListingLimit : HeaderLimit};
    curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, command.constData());
    // A single-line reply (STAT) comes through the header callback only.
    curl_easy_setopt(m_curl, CURLOPT_NOBODY, multiLine ? 0L : 1L);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, &statusBuffer);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &replyBuffer);
    char errors[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, errors);
    const bool firstCommand = !m_opened;
    const CURLcode rc = curl_easy_perform(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, nullptr);
    m_opened = true;
    long connects = 0;
    curl_easy_getinfo(m_curl, CURLINFO_NUM_CONNECTS, &connects);
    reconnected = connects > 0 && !firstCommand;
    // A connection curl found dead and made again by itself counts too.
    if (reconnected && !m_connectionLost)
        m_logOnsAgainLeft = std::max(0, m_logOnsAgainLeft - 1);
    m_connectionLost = rc != CURLE_OK;
    // The header callback sees the whole conversation; the reply to our
    // command is its last line.
    if (replyBuffer.cut || statusBuffer.cut)
        qCWarning(lcMail).noquote() << "the reply to" << command.left(4) << "was longer than"
                                    << (replyBuffer.cut ? replyBuffer.limit : statusBuffer.limit)
                                    << "bytes; only its start was read";
    status = mail::lastStatusLine(status);
    if (!multiLine)
        m_reply = status;
    if (rc != CURLE_OK)
        qCWarning(lcMail).noquote() << command.left(command.indexOf(' ') < 0 ? command.size() : command.indexOf(' '))
                                    << "failed:" << curl_easy_strerror(rc) << errors << status;
    return rc;
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
    m_logOnsAgainLeft = 1;
    m_problem = MailProblem::None;
    m_deadline = QDeadlineTimer(std::chrono::seconds(std::max(1, m_options.checkSeconds)), Qt::PreciseTimer);
    m_url = serverUrl(m_host);
    if (m_url.isEmpty()) {
        qCWarning(lcMail).noquote() << "no POP3 server in" << m_host;
        m_lastError = BadReply;
        m_problem = MailProblem::NoServer;
        return;
    }
    if (m_guard->calledOff) {
        m_lastError = GaveUp;
        m_problem = MailProblem::Cancelled;
        return;
    }
    m_curl = curl_easy_init();
    if (!m_curl) {
        m_lastError = NotOpen;
        m_problem = MailProblem::ServerFailed;
        return;
    }
    const long seconds = m_options.timeoutSeconds;
    const bool implicitTls = m_url.startsWith("pop3s:");
    const QString host = QUrl(QString::fromLatin1(m_url)).host();
    m_guard->host = host.toUtf8();
    m_guard->hostIsAddress = !QHostAddress(host).isNull();
    m_guard->presented.clear();
    m_guard->pinned = QByteArray::fromHex(m_security.trustedCertificate.toLatin1());
    if (m_guard->pinned.size() != 32)
        m_guard->pinned.clear();
    curl_easy_setopt(m_curl, CURLOPT_URL, m_url.constData());
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, "pop3,pop3s");
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, m_user.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, m_password.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, seconds);
    curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, appendTo);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, appendTo);
    m_trace = TlsTrace{};
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
    // Every TLS path verifies before the password is sent; curl's log-ons
    // again inside the check keep these options.
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

    bool reconnected = false;
    int rc = run("STAT", false, reconnected);
    if (rc != CURLE_OK) {
        m_problem = problemOf(rc);
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
                             << "messages";
    if (!m_encrypted)
        qCInfo(lcMail).noquote() << m_url << "offers no STLS: the check runs in plain text, as allowed for this server";
    const bool offersUidl = !m_trace.sawCapabilities || m_trace.capabilities.contains("UIDL");
    if (!offersUidl || !readUidList()) {
        qCInfo(lcMail) << "no UIDL: messages are read by number, and a lost connection ends the reading";
        if (m_connectionLost) {
            // curl dropped the connection after the -ERR: count again on
            // the new one (its one log-on again), where the numbers hold.
            rc = run("STAT", false, reconnected);
            count = rc == CURLE_OK ? mail::statCount(m_reply) : std::nullopt;
            if (!count) {
                m_problem = rc == CURLE_OK ? MailProblem::ServerFailed : problemOf(rc);
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
    if (Finished()) {
        m_lastError = GaveUp;
        m_problem = m_deadline.hasExpired() ? MailProblem::TimedOut : MailProblem::ServerFailed;
        return;
    }
    const bool mapped = m_uids.size() == m_count;
    if (m_resync) {
        // The last command failed and curl dropped the connection: learn
        // where each message stands now.
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
    bool reconnected = false;
    const int rc = run("TOP " + QByteArray::number(onServer) + " 0", true, reconnected);
    if (rc != CURLE_OK || reconnected) {
        if (rc == CURLE_OK)
            qCWarning(lcMail) << "the connection was made afresh while reading message" << number;
        m_resync = true;
        // Whatever came over a connection that is not the one counted on
        // is not read out without ids to match it.
        m_connectionLost = m_connectionLost || !mapped;
        m_lastError = rc != CURLE_OK ? rc : int(Reconnected);
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
    if (m_guard->calledOff || m_deadline.hasExpired() || m_connectionLost) {
        // Logging off would wait on a server that is not answering, or
        // log on again only to say QUIT.
        std::lock_guard lock(m_guard->mutex);
        m_guard->cancelled = true;
        m_guard->shutAll();
    } else {
        const qint64 left = m_deadline.remainingTime();
        if (left > 0)
            curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                             long(std::clamp<qint64>(left / 1000, 1, m_options.timeoutSeconds)));
    }
    // Cleaning up says QUIT on a connection still open.
    curl_easy_cleanup(m_curl);
    m_curl = nullptr;
    std::lock_guard lock(m_guard->mutex);
    m_guard->cancelled = m_guard->calledOff;
}

} // namespace kestrova
