#pragma once

#include "Mailbox.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QLoggingCategory>

typedef void CURL;

namespace kestrova {

Q_DECLARE_LOGGING_CATEGORY(lcMail)

// The mailbox over libcurl's POP3: STAT for the count, UIDL to know each
// message again, "TOP n 0" for its headers; never RETR or DELE.
//
// The server text is a host name (port 110), "host:port", or a URL
// "pop3://..." / "pop3s://...". Plain POP3 upgrades with STLS whenever the
// server offers it; the certificate is checked and a failure logged, but it
// does not stop the check (the link is still no less private than plain
// text). "pop3s://" is TLS from the first byte with certificate and host
// name verified; a failed verification ends the check before the password
// is sent.
//
// curl logs on again by itself after an -ERR or a time-out, and message
// numbers may then have shifted (another client expunged one): a fetch
// over a fresh connection looks its message up again by its unique id, and
// when it cannot, the fetch fails rather than read another message in its
// place.
class CurlMailbox final : public Mailbox {
public:
    struct Options {
        // Bounds the log-on and each command.
        int timeoutSeconds = 10;
        // Certificates trusted for pop3s:// besides none (the system store
        // when empty).
        QString caFile;
    };
    CurlMailbox();
    explicit CurlMailbox(const Options &options);
    ~CurlMailbox() override;

    void setHostName(const QString &host) override { m_host = host; }
    void setUserName(const QString &user) override { m_user = user; }
    void setPassword(const QString &password) override { m_password = password; }
    void OpenMailbox() override;
    int LastError() const override { return m_lastError; }
    qint16 MessageCount() const override { return m_count; }
    void FetchMessage(qint16 number) override;
    QString MessageLabel() const override { return m_label; }
    QString MessageFrom() const override { return m_from; }
    QString MessageSubject() const override { return m_subject; }
    void CloseMailbox() override;

    // The URL a server text stands for ("pop3://host:110/"); empty when the
    // text names none.
    static QByteArray serverUrl(const QString &server);
    // Whether the last log-on ran over TLS.
    bool encrypted() const { return m_encrypted; }

    struct TlsTrace {
        bool askedStls = false;
        bool upgraded = false;
    };

    enum Error { NotOpen = -1, Reconnected = -2, BadReply = -3, NoSuchMessage = -4 };

private:
    // One command on the connection; its reply (status line and, for
    // multi-line replies, the lines after it) lands in m_reply. Returns the
    // curl result; `reconnected` tells whether curl had to log on afresh.
    int run(const QByteArray &command, bool multiLine, bool &reconnected);
    bool readUidList();

    Options m_options;
    QString m_host, m_user, m_password;
    CURL *m_curl = nullptr;
    QByteArray m_url;
    QByteArray m_reply;
    int m_lastError = NotOpen;
    qint16 m_count = 0;
    // Unique id of each message as first counted (element 0 is message 1),
    // and where each id stands on the current connection.
    QList<QByteArray> m_uids;
    QHash<QByteArray, int> m_current;
    bool m_resync = false;
    bool m_encrypted = false;
    TlsTrace m_trace;
    QString m_label, m_from, m_subject;
};

class CurlMailboxFactory final : public MailboxFactory {
public:
    CurlMailboxFactory() = default;
    explicit CurlMailboxFactory(const CurlMailbox::Options &options) : m_options(options) {}
    std::unique_ptr<Mailbox> create() override { return std::make_unique<CurlMailbox>(m_options); }

private:
    CurlMailbox::Options m_options;
};

} // namespace kestrova
