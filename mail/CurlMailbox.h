#pragma once

#include "Mailbox.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QDeadlineTimer>
#include <QLoggingCategory>

#include <functional>
#include <memory>

typedef void CURL;

namespace kestrova {

Q_DECLARE_LOGGING_CATEGORY(lcMail)

// The mailbox over POP3: STAT for the count, UIDL to know each message
// again, "TOP n 0" for its headers; never RETR or DELE. libcurl makes the
// connection and logs on (STLS, the certificate, the password); the
// commands after that go over its connection as our own conversation, so a
// server that announces PIPELINING gets them in batches, each "TOP n 0"
// behind a "UIDL n" whose reply names the message: a reply missing, added
// or garbled shows as a broken sequence and is never read as another
// message's headers. Without PIPELINING one command waits for the other.
//
// The server text is a host name (port 110), "host:port", or a URL
// "pop3://..." / "pop3s://..." / "imap://..." / "imaps://...". An IMAP
// inbox is opened read-only (EXAMINE) and its headers read with BODY.PEEK
// in one FETCH, so no flag changes. The password only ever travels
// encrypted: plain POP3 must upgrade with STLS and plain IMAP with
// STARTTLS, "pop3s://" and "imaps://" are TLS from the first byte,
// and on both the certificate chain and the host name are verified before
// anything is sent. A certificate the user trusted by its fingerprint is
// accepted for that server in their place. Plain-text log-on happens only
// where the user allowed it for the server; curl's own log-ons again inside
// a check follow the same rule.
//
// A connection lost or out of step is dropped; the next command logs on
// again, where message numbers may have shifted (another client expunged
// one): a fetch over a fresh connection looks its message up again by its
// unique id, and when it cannot, the fetch fails rather than read another
// message in its place. A check logs on again at most once; without unique
// ids a broken connection ends the reading.
//
// The whole check has one deadline, and Cancel() ends it from any thread:
// the sockets are shut, so whatever waits on the server returns at once,
// and no connection is opened afterwards.
class CurlMailbox final : public Mailbox {
public:
    struct Options {
        // Bounds the log-on and each command.
        int timeoutSeconds = 10;
        // Bounds the whole check, from the log-on to the last message.
        int checkSeconds = 90;
        // Certificates trusted instead of the system's store (the system
        // store when empty).
        QString caFile;
    };
    CurlMailbox();
    explicit CurlMailbox(const Options &options);
    ~CurlMailbox() override;

    void setHostName(const QString &host) override { m_host = host; }
    void setUserName(const QString &user) override { m_user = user; }
    void setPassword(const QString &password) override { m_password = password; }
    void setSecurity(const MailSecurity &security) override { m_security = security; }
    void OpenMailbox() override;
    int LastError() const override { return m_lastError; }
    qint16 MessageCount() const override { return m_count; }
    void FetchMessage(qint16 number) override;
    QString MessageLabel() const override { return m_label; }
    QString MessageFrom() const override { return m_from; }
    QString MessageSubject() const override { return m_subject; }
    void CloseMailbox() override;
    MailProblem Problem() const override;
    bool Encrypted() const override { return m_encrypted; }
    QString PresentedCertificate() const override;
    bool Finished() const override;
    void Cancel() override;

    // The URL a server text stands for ("pop3://host:110/"); empty when the
    // text names none.
    static QByteArray serverUrl(const QString &server);
    // "AB:CD:..." for a SHA-256 digest.
    static QString fingerprintText(const QByteArray &digest);
    // Whether the last log-on ran over TLS.
    bool encrypted() const { return m_encrypted; }

    // What the conversation showed: an accepted STLS, the capabilities.
    struct TlsTrace {
        bool askedStls = false;
        bool upgraded = false;
        bool readingCapabilities = false;
        // The conversation is IMAP's (tagged commands, one-line
        // capabilities).
        bool imap = false;
        bool sawCapabilities = false;
        // The capabilities of the connection's last CAPA (after STLS, the
        // encrypted one's).
        QList<QByteArray> capabilities;
        // Log-ons (USER, AUTH, APOP) sent over TLS and in plain text.
        int tlsLogOns = 0;
        int plainLogOns = 0;
    };
    // Shared with curl's socket and TLS callbacks, and with Cancel() from
    // another thread.
    struct Guard;

    enum Error {
        NotOpen = -1,
        Reconnected = -2,
        BadReply = -3,
        NoSuchMessage = -4,
        GaveUp = -5,
        // The server answered -ERR; the connection stays.
        Refused = -6,
        // A reply that is no reply to what was asked: the connection is out
        // of step and dropped.
        OutOfStep = -7,
    };

    // How much of one message's header block an IMAP check keeps, and of
    // all of them together.
    static constexpr qsizetype ImapHeaderLimit = 64 * 1024;
    static constexpr qsizetype ImapTotalLimit = 64 * 1024 * 1024;

    // How many commands a batch holds at most on a server with PIPELINING.
    static constexpr int BatchCommands = 128;

private:
    // One command on the connection; its reply (status line and, for
    // multi-line replies, the lines after it) lands in m_reply. Returns the
    // curl result, or Refused for an -ERR; `reconnected` tells whether it
    // had to log on afresh. Refuses (GaveUp) once cancelled, past the
    // deadline, or when the connection is gone and the one log-on again
    // was spent.
    int run(const QByteArray &command, bool multiLine, bool &reconnected);
    // Why a failed log-on sent no password, where the TLS policy stopped it;
    // `upgrade` names what the server did not offer.
    void warnUnsafeLogOn(const char *upgrade) const;
    // The POP3 halves of OpenMailbox() and FetchMessage().
    void openPop3();
    void fetchPop3(int number);
    bool readUidList();
    MailProblem problemOf(int curlResult) const;

    // A fresh connection, logged on by curl; the old one is dropped.
    int logOn();
    void setUpHandle();
    // Drops the connection (lost, out of step or timed out): nothing more
    // is read from it.
    void dropConnection();
    int sendAll(const QByteArray &data);
    // Fills the input from the connection, waiting until `until` at most.
    int fill(const QDeadlineTimer &until);
    // One line without its line end; what is beyond `cap` is read and
    // dropped.
    int readLine(QByteArray &line, qsizetype cap, bool &cut, const QDeadlineTimer &until);
    // One reply: its status line, and for a multi-line "+OK" the lines up
    // to the lone ".", unstuffed, up to `limit` bytes kept. A reply that is
    // no reply (no "+OK" or "-ERR", or for a header block a line no header
    // block holds) is OutOfStep.
    struct Reply {
        QByteArray status;
        QByteArray body;
        bool ok = false;
        bool cut = false;
    };
    int readReply(bool multiLine, qsizetype limit, Reply &reply, bool headerBlock = false);
    QDeadlineTimer replyBound() const;
    // Pipelined headers: "UIDL n" and "TOP n 0" for the messages from
    // m_nextToSend on, up to a batch's worth outstanding.
    void sendBatch();
    // The headers of one message, checked against its unique id. When it
    // returns OutOfStep, m_outOfStepBefore tells whether the stream was out
    // of step before the message's first reply (it was never answered).
    int fetchAnchored(int number, int onServer);
    bool m_outOfStepBefore = false;
    // Whether bytes wait on the connection that no command asked for; looks
    // without waiting.
    bool strayBytesWaiting();

    // IMAP: one logical line, its literals apart (each marked by \x01 in
    // the line); a tagged command with what each untagged answer holds.
    int readImapLine(QByteArray &line, QList<QByteArray> &literals);
    int imapCommand(const QByteArray &command,
                    const std::function<void(const QByteArray &, const QList<QByteArray> &)> &untagged);
    void openImap();
    void fetchImap(int number);
    bool m_imap = false;
    bool m_imapFetched = false;
    // The one FETCH failed or was refused: no message can be read.
    bool m_imapFetchFailed = false;
    int m_tag = 0;
    QHash<int, QByteArray> m_imapHeaders;

    struct Fetched {
        int number = 0;
        int onServer = 0;
    };
    QList<Fetched> m_outstanding;
    int m_nextToSend = 1;
    bool m_pipelining = false;
    bool m_live = false;
    int m_socket = -1;
    QByteArray m_in;
    qsizetype m_inPos = 0;

    Options m_options;
    QString m_host, m_user, m_password;
    MailSecurity m_security;
    CURL *m_curl = nullptr;
    QByteArray m_url;
    QByteArray m_reply;
    int m_lastError = NotOpen;
    MailProblem m_problem = MailProblem::None;
    qint16 m_count = 0;
    // Unique id of each message as first counted (element 0 is message 1),
    // and where each id stands on the current connection.
    QList<QByteArray> m_uids;
    QHash<QByteArray, int> m_current;
    bool m_resync = false;
    bool m_encrypted = false;
    // curl dropped the connection after the last command: the next one
    // logs on again.
    bool m_connectionLost = false;
    int m_logOnsAgainLeft = 1;
    // The first command has run (its connection is no log-on again).
    bool m_opened = false;
    QDeadlineTimer m_deadline;
    TlsTrace m_trace;
    std::shared_ptr<Guard> m_guard;
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
