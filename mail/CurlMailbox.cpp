#include "CurlMailbox.h"

#include "HeaderDecoding.h"

#include <QUrl>

#include <curl/curl.h>

#include <mutex>

namespace kestrova {

Q_LOGGING_CATEGORY(lcMail, "kestrova.mail")

namespace {

size_t appendTo(char *data, size_t size, size_t count, void *buffer)
{
    static_cast<QByteArray *>(buffer)->append(data, qsizetype(size * count));
    return size * count;
}

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
    curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, command.constData());
    // A single-line reply (STAT) comes through the header callback only.
    curl_easy_setopt(m_curl, CURLOPT_NOBODY, multiLine ? 0L : 1L);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, &status);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &m_reply);
    char errors[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, errors);
    const CURLcode rc = curl_easy_perform(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, nullptr);
    long connects = 0;
    curl_easy_getinfo(m_curl, CURLINFO_NUM_CONNECTS, &connects);
    reconnected = connects > 0;
    // The header callback sees the whole conversation; the reply to our
    // command is its last line.
    status = status.trimmed();
    status = status.mid(status.lastIndexOf('\n') + 1).trimmed();
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
    const QList<QByteArray> words = m_reply.simplified().split(' ');
    bool ok = words.size() >= 2 && words[0] == "+OK";
    const long count = ok ? words[1].toLong(&ok) : 0;
    if (!ok || count < 0) {
        qCWarning(lcMail).noquote() << "STAT gave" << m_reply.trimmed();
        m_lastError = BadReply;
        return;
    }
    m_count = qint16(std::min(count, 32767L));

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
    for (const QByteArray &line : m_reply.split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        bool ok = false;
        const int number = parts.size() == 2 ? parts[0].toInt(&ok) : 0;
        if (ok && number > 0) {
            current.insert(parts[1], number);
            inOrder << parts[1];
        }
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
