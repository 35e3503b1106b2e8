#include "CurlMailbox.h"

#include "HeaderDecoding.h"
#include "Pop3Replies.h"

#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

namespace kestrova {

Q_LOGGING_CATEGORY(lcMail, "kestrova.mail")

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

// Watches the conversation for an accepted STLS. The lines are looked at,
// never kept: they hold the password.
int traceTls(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *trace = static_cast<CurlMailbox::TlsTrace *>(user);
    const QByteArray line = QByteArray::fromRawData(data, qsizetype(size)).trimmed();
    if (type == CURLINFO_HEADER_OUT) {
        trace->askedStls = line.compare("STLS", Qt::CaseInsensitive) == 0;
    } else if (type == CURLINFO_HEADER_IN && trace->askedStls) {
        trace->upgraded = trace->upgraded || line.startsWith("+OK");
        trace->askedStls = false;
    }
    return 0;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

CurlMailbox::CurlMailbox() : CurlMailbox(Options{}) {}

CurlMailbox::CurlMailbox(const Options &options) : m_options(options)
{
    initCurlOnce();
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
    const CURLcode rc = curl_easy_perform(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, nullptr);
    long connects = 0;
    curl_easy_getinfo(m_curl, CURLINFO_NUM_CONNECTS, &connects);
    reconnected = connects > 0;
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
    m_url = serverUrl(m_host);
    if (m_url.isEmpty()) {
        qCWarning(lcMail).noquote() << "no POP3 server in" << m_host;
        m_lastError = BadReply;
        return;
    }
    m_curl = curl_easy_init();
    if (!m_curl) {
        m_lastError = NotOpen;
        return;
    }
    const long seconds = m_options.timeoutSeconds;
    const bool implicitTls = m_url.startsWith("pop3s:");
    curl_easy_setopt(m_curl, CURLOPT_URL, m_url.constData());
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, "pop3,pop3s");
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, m_user.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, m_password.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, seconds);
    curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, seconds);
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, seconds);
    curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, appendTo);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, appendTo);
    m_trace = TlsTrace{};
    curl_easy_setopt(m_curl, CURLOPT_DEBUGFUNCTION, traceTls);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, &m_trace);
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
    if (implicitTls) {
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
    } else {
        // STLS when offered; the certificate is looked at below, not
        // required to verify.
        curl_easy_setopt(m_curl, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!m_options.caFile.isEmpty())
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, m_options.caFile.toLocal8Bit().constData());

    bool reconnected = false;
    const int rc = run("STAT", false, reconnected);
    if (rc != CURLE_OK) {
        qCWarning(lcMail).noquote() << "log-on to" << m_url << "failed";
        m_lastError = rc;
        return;
    }
    const std::optional<long> count = mail::statCount(m_reply);
    if (!count) {
        qCWarning(lcMail).noquote() << "STAT gave" << m_reply.trimmed().left(200);
        m_lastError = BadReply;
        return;
    }
    m_count = qint16(std::min(*count, 32767L));

    m_encrypted = implicitTls || m_trace.upgraded;
    if (m_encrypted && !implicitTls) {
        long verify = 0;
        curl_easy_getinfo(m_curl, CURLINFO_SSL_VERIFYRESULT, &verify);
        if (verify != 0)
            qCWarning(lcMail).noquote() << "the certificate of" << m_url << "does not verify (" << verify
                                        << "); going on over TLS all the same";
    } else if (!m_encrypted) {
        qCInfo(lcMail).noquote() << m_url << "offers no STLS: the check runs in plain text";
    }
    if (!readUidList())
        qCInfo(lcMail) << "no UIDL: a lost connection ends the reading";
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
        m_lastError = rc != CURLE_OK ? rc : int(Reconnected);
        return;
    }
    m_from = mail::senderName(mail::headerField(m_reply, "From"));
    m_subject = mail::decodeHeader(mail::headerField(m_reply, "Subject")).trimmed();
    m_lastError = 0;
}

void CurlMailbox::CloseMailbox()
{
    if (m_curl) {
        // Cleaning up says QUIT on the open connection.
        curl_easy_cleanup(m_curl);
        m_curl = nullptr;
    }
}

} // namespace kestrova
