// The TLS policy of a mail check: which log-ons went over TLS, the
// verification of the server's chain and host name, and the certificate the
// user trusted by its fingerprint in their place.
#include "CurlSession.h"

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

namespace kestrova {

namespace curlmail {

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

namespace {

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

} // namespace

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

} // namespace curlmail

QString CurlMailbox::fingerprintText(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

void CurlMailbox::warnUnsafeLogOn(const char *upgrade) const
{
    if (m_problem == MailProblem::UntrustedCertificate || m_problem == MailProblem::ChangedCertificate)
        qCWarning(lcMail).noquote() << "the certificate of" << m_url << "is not trusted (SHA-256"
                                    << fingerprintText(m_guard->presented) + "); no password was sent";
    else if (m_problem == MailProblem::NoEncryption)
        qCWarning(lcMail).noquote() << m_url << "offers no" << QByteArray(upgrade) + "," << "and plain log-on is not allowed for it;"
                                    << "no password was sent";
}

QString CurlMailbox::PresentedCertificate() const
{
    if (m_problem != MailProblem::UntrustedCertificate && m_problem != MailProblem::ChangedCertificate)
        return {};
    return fingerprintText(m_guard->presented);
}

} // namespace kestrova
