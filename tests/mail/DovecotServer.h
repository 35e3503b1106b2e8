#pragma once

// A Dovecot POP3 and IMAP server of our own for the tests: configuration, passwd
// file, maildir and a self-signed certificate in a temporary folder,
// listening on loopback ports picked free, run in the foreground and
// stopped by its PID.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::test {

inline quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class DovecotServer {
public:
    static constexpr const char *User = "kess";
    static constexpr const char *Password = "s3cret";

    // The messages as whole texts (headers, blank line, body), in mailbox
    // order; those numbered in `seen` (from 1) carry the \Seen flag.
    explicit DovecotServer(const QList<QByteArray> &messages, const QList<int> &seen = {})
    {
        m_root = m_dir.path();
        ::chmod(m_root.toLocal8Bit().constData(), 0755); // the mail user must get in
        pop3Port = freeLoopbackPort();
        pop3sPort = freeLoopbackPort();
        imapPort = freeLoopbackPort();
        imapsPort = freeLoopbackPort();
        m_seen = seen;
        writeMaildir(messages);
        writeCertificate();
        writeConfig();
        start();
    }

    ~DovecotServer() { stop(); }

    bool running() const { return m_pid > 0 && m_greeted; }
    QString certificate() const { return m_root + QStringLiteral("/cert.pem"); }
    QString log() const
    {
        QFile f(m_root + QStringLiteral("/dovecot.log"));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }
    QString plainServer() const { return QStringLiteral("127.0.0.1:%1").arg(pop3Port); }
    QString tlsServer() const { return QStringLiteral("pop3s://localhost:%1").arg(pop3sPort); }
    QString imapServer() const { return QStringLiteral("imap://localhost:%1").arg(imapPort); }
    QString imapsServer() const { return QStringLiteral("imaps://localhost:%1").arg(imapsPort); }

    // The messages' \Seen flags as the maildir keeps them (in the file
    // names), in mailbox order.
    QList<bool> seenFlags() const
    {
        const QString maildir = m_root + QStringLiteral("/mail/") + QLatin1String(User) + QStringLiteral("/Maildir");
        QList<bool> flags(m_count, false);
        for (const char *sub : {"cur", "new"}) {
            for (const QString &name : QDir(maildir + QLatin1Char('/') + QLatin1String(sub)).entryList(QDir::Files)) {
                const int i = name.section(u'.', 1, 1).mid(1).toInt();
                if (i >= 0 && i < m_count)
                    flags[i] = name.section(QStringLiteral(":2,"), 1).contains(u'S');
            }
        }
        return flags;
    }

    // Another client's session: deletes message `number` and quits, which
    // expunges it.
    bool expungeFromOtherSession(int number)
    {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, pop3Port);
        if (!s.waitForConnected(3000))
            return false;
        const QList<QByteArray> commands = {QByteArray(), QByteArray("USER ") + User,
                                            QByteArray("PASS ") + Password,
                                            "DELE " + QByteArray::number(number), "QUIT"};
        for (const QByteArray &c : commands) {
            if (!c.isEmpty())
                s.write(c + "\r\n");
            QByteArray line;
            while (!line.endsWith('\n')) {
                if (!s.waitForReadyRead(5000))
                    return false;
                line += s.readAll();
            }
            if (!line.startsWith("+OK"))
                return false;
        }
        return true;
    }

    quint16 pop3Port = 0, pop3sPort = 0, imapPort = 0, imapsPort = 0;

private:
    void writeFile(const QString &path, const QByteArray &text)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
            qWarning("cannot write %s", qPrintable(path));
    }

    void writeMaildir(const QList<QByteArray> &messages)
    {
        const QString maildir = m_root + QStringLiteral("/mail/") + QLatin1String(User) + QStringLiteral("/Maildir");
        for (const char *sub : {"cur", "new", "tmp"})
            QDir().mkpath(maildir + QLatin1Char('/') + QLatin1String(sub));
        // The unique-id list fixes the message numbers.
        m_count = int(messages.size());
        QByteArray uidlist = "3 V1700000000 N" + QByteArray::number(messages.size() + 1) + "\n";
        for (int i = 0; i < messages.size(); ++i) {
            const QByteArray base = QByteArray::number(1700000000 + i) + ".M" + QByteArray::number(i) + ".kestrova";
            QByteArray text = messages[i];
            text.replace("\r\n", "\n");
            writeFile(maildir + QStringLiteral("/cur/") + QString::fromLatin1(base) + QStringLiteral(":2,")
                          + (m_seen.contains(i + 1) ? QStringLiteral("S") : QString()),
                      text);
            uidlist += QByteArray::number(i + 1) + " :" + base + "\n";
        }
        writeFile(maildir + QStringLiteral("/dovecot-uidlist"), uidlist);
        if (::getuid() == 0) {
            // Dovecot reads the mail as "nobody".
            const passwd *nobody = ::getpwnam("nobody");
            if (!nobody)
                return;
            QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("%1").arg(nobody->pw_uid),
                                                        m_root + QStringLiteral("/mail")});
        }
    }

    void writeCertificate()
    {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                       QStringLiteral("-addext"), QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"),
                       QStringLiteral("-keyout"), m_root + QStringLiteral("/key.pem"), QStringLiteral("-out"),
                       certificate()});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            qWarning("openssl could not make the test certificate");
    }

    void writeConfig()
    {
        const bool root = ::getuid() == 0;
        QByteArray user = "nobody", group = "nogroup";
        if (!root) {
            user = QByteArray::number(::getuid());
            group = QByteArray::number(::getgid());
        }
        const QByteArray r = m_root.toLocal8Bit();
        QByteArray conf;
        conf += "base_dir = " + r + "/run\n";
        conf += "state_dir = " + r + "/state\n";
        conf += "log_path = " + r + "/dovecot.log\n";
        conf += "protocols = pop3 imap\n";
        conf += "listen = 127.0.0.1\n";
        conf += "ssl = yes\nssl_cert = <" + r + "/cert.pem\nssl_key = <" + r + "/key.pem\n";
        conf += "ssl_dh = </usr/share/dovecot/dh.pem\n";
        conf += "disable_plaintext_auth = no\n";
        conf += "auth_mechanisms = plain login\n";
        conf += "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + r + "/passwd\n}\n";
        conf += "userdb {\n  driver = static\n  args = uid=" + user + " gid=" + group + " home=" + r + "/mail/%u\n}\n";
        conf += "mail_location = maildir:~/Maildir\n";
        conf += "service pop3-login {\n  inet_listener pop3 {\n    port = " + QByteArray::number(pop3Port)
                + "\n  }\n  inet_listener pop3s {\n    port = " + QByteArray::number(pop3sPort)
                + "\n    ssl = yes\n  }\n" + (root ? "" : "  chroot =\n") + "}\n";
        conf += "service anvil {\n  chroot =\n}\n";
        conf += "service imap-login {\n  inet_listener imap {\n    port = " + QByteArray::number(imapPort)
                + "\n  }\n  inet_listener imaps {\n    port = " + QByteArray::number(imapsPort)
                + "\n    ssl = yes\n  }\n  chroot =\n}\n";
        if (!root) {
            const passwd *me = ::getpwuid(::getuid());
            conf += QByteArray("default_internal_user = ") + me->pw_name + "\n";
            conf += QByteArray("default_login_user = ") + me->pw_name + "\n";
        }
        writeFile(m_root + QStringLiteral("/dovecot.conf"), conf);
        writeFile(m_root + QStringLiteral("/passwd"), QByteArray(User) + ":" + Password + "\n");
    }

    void start()
    {
        const QByteArray conf = (m_root + QStringLiteral("/dovecot.conf")).toLocal8Bit();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execlp("dovecot", "dovecot", "-F", "-c", conf.constData(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
        // Ready once it greets on the plain port.
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, pop3Port);
            if (s.waitForConnected(200) && s.waitForReadyRead(1000) && s.readAll().startsWith("+OK")) {
                m_greeted = true;
                return;
            }
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = 0;
                qWarning("dovecot ended at start-up:\n%s", qPrintable(log()));
                return;
            }
            QThread::msleep(30);
        }
    }

    void stop()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        QElapsedTimer waited;
        waited.start();
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (waited.elapsed() > 8000) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            QThread::msleep(20);
        }
        m_pid = 0;
    }

    QTemporaryDir m_dir;
    QString m_root;
    pid_t m_pid = 0;
    bool m_greeted = false;
    QList<int> m_seen;
    int m_count = 0;
};

} // namespace kestrova::test
