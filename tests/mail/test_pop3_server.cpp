// The mailbox and the check sequence against a real Dovecot on loopback.

#include "CurlMailbox.h"
#include "DovecotServer.h"
#include "MailCheck.h"
#include "SpeechText.h"
#include "CertificateFingerprint.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtTest>

using namespace kestrova;
using kestrova::test::fingerprintOf;
using kestrova::test::DovecotServer;

namespace {

class RecordingSink : public MailSink {
public:
    QStringList log;
    void AgentVisible() override { log << QStringLiteral("AgentVisible"); }
    void Play(const QString &a) override { log << QStringLiteral("Play ") + a; }
    void Speak(const QString &t) override { log << QStringLiteral("Speak ") + character::speechForLog(t); }
};

QByteArray message(const QByteArray &from, const QByteArray &subject, const QByteArray &extra = {})
{
    QByteArray m = "From: " + from + "\r\nTo: kess@localhost\r\n";
    if (!subject.isNull())
        m += "Subject: " + subject + "\r\n";
    return m + extra + "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\n\r\nHello there.\r\n";
}

MailAccount account(const QString &server, const QString &password = QLatin1String(DovecotServer::Password),
                    const MailSecurity &security = {})
{
    return {server, QLatin1String(DovecotServer::User), password, security};
}

CurlMailbox::Options quick(const QString &caFile = {})
{
    CurlMailbox::Options o;
    o.timeoutSeconds = 3;
    o.caFile = caFile;
    return o;
}

// The server's self-signed certificate as the system's store would hold
// it, so that STLS and pop3s verify.
CurlMailbox::Options trusting(const DovecotServer &server)
{
    return quick(server.certificate());
}

// The login line Dovecot logged for our user: its last word tells TLS.
QString loginLine(const DovecotServer &server)
{
    return server.log().section(QStringLiteral("Login: user=<kess>"), 1).section(u'\n', 0, 0);
}

} // namespace

class TestPop3Server : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyMailboxOnlyLooksSad()
    {
        DovecotServer server({});
        QVERIFY(server.running());
        CurlMailbox box(trusting(server));
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.plainServer()), sink);
        QVERIFY(r.loggedOn);
        QCOMPARE(sink.log, QStringList{QStringLiteral("Play Sad")});
    }

    void oneMessageIsAnnounced()
    {
        DovecotServer server({message("Ann Example <ann@example.org>", "Lunch on Friday")});
        QVERIFY(server.running());
        CurlMailbox box(trusting(server));
        RecordingSink sink;
        CheckMail(box, account(server.plainServer()), sink);
        QCOMPARE(sink.log, (QStringList{"AgentVisible", "Play Pleased", "Speak You've got mail.", "Play Read",
                                        "Speak You have 1 new message.", "Speak Message 1 from Ann Example",
                                        "Speak Subject Lunch on Friday", "Play ReadReturn",
                                        "Speak End of messages."}));
        // STLS was offered and taken, the certificate verified.
        QVERIFY(box.encrypted());
        QTRY_VERIFY(server.log().contains(QStringLiteral("Login: user=<kess>")));
        QVERIFY2(loginLine(server).contains(QStringLiteral("TLS")), qPrintable(loginLine(server)));
        // Read only: nothing was retrieved or deleted.
        QVERIFY(!server.log().contains(QStringLiteral("deleted")));
    }

    void messageExpungedByAnotherSessionIsSkipped()
    {
        DovecotServer server({message("first@example.org", "One"), message("second@example.org", "Two"),
                              message("third@example.org", "Three"), message("fourth@example.org", "Four")});
        QVERIFY(server.running());
        CurlMailbox box(trusting(server));
        box.setHostName(server.plainServer());
        box.setUserName(QLatin1String(DovecotServer::User));
        box.setPassword(QLatin1String(DovecotServer::Password));
        box.OpenMailbox();
        QCOMPARE(box.LastError(), 0);
        QCOMPARE(box.MessageCount(), qint16(4));
        QVERIFY(server.expungeFromOtherSession(2));
        QStringList read;
        for (qint16 i = 1; i <= 4; ++i) {
            box.FetchMessage(i);
            if (box.LastError() == 0)
                read << box.MessageLabel() + u' ' + box.MessageFrom() + u' ' + box.MessageSubject();
        }
        box.CloseMailbox();
        // After the failed fetch the connection is made afresh, where the
        // third message stands second: it is still read as the third, and
        // the fourth as the fourth.
        QCOMPARE(read, (QStringList{"1 first@example.org One", "3 third@example.org Three",
                                    "4 fourth@example.org Four"}));
    }

    void encodedHeadersAreDecoded()
    {
        DovecotServer server({
            message("=?ISO-8859-1?Q?Andr=E9_M=FCller?= <andre@example.org>", "=?UTF-8?B?R3LDvMOfZQ==?= aus =?UTF-8?Q?K=C3=B6ln?="),
            message("\"=?KOI8-R?B?8NLJ18XU?=\" <ivan@example.org>", "=?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?="),
            message("bob@example.org (Bob =?windows-1252?Q?=93B=94?= Jones)", "Caf\xe9 cr\xe8me"),
            message("zoe@example.org", QByteArray()),
            message("long@example.org", QByteArray(650, 'x')),
        });
        QVERIFY(server.running());
        CurlMailbox box(trusting(server));
        RecordingSink sink;
        CheckMail(box, account(server.plainServer()), sink);
        const QStringList spoken = sink.log.filter(QRegularExpression(QStringLiteral("^Speak (Message|Subject)")));
        QCOMPARE(spoken, (QStringList{QStringLiteral("Speak Message 1 from André Müller"),
                                      QStringLiteral("Speak Subject Grüße aus Köln"),
                                      QStringLiteral("Speak Message 2 from Привет"),
                                      QStringLiteral("Speak Subject こんにちは"),
                                      QStringLiteral("Speak Message 3 from Bob “B” Jones"),
                                      QStringLiteral("Speak Subject Café crème"),
                                      QStringLiteral("Speak Message 4 from zoe@example.org"),
                                      QStringLiteral("Speak Subject "),
                                      QStringLiteral("Speak Message 5 from long@example.org"),
                                      // Read whole, said as far as a balloon shows it.
                                      QStringLiteral("Speak Subject ") + QString(299, u'x') + QChar(0x2026)}));
    }

    void wrongPasswordEndsSilently()
    {
        DovecotServer server({message("a@example.org", "Hidden")});
        QVERIFY(server.running());
        CurlMailbox box(trusting(server));
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.plainServer(), QStringLiteral("wrong")), sink);
        QVERIFY(!r.loggedOn);
        QCOMPARE(r.problem, MailProblem::LogOnRefused);
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")),
                 QStringLiteral("Last check 09:05: user name or password refused"));
        QVERIFY(box.LastError() != 0);
        QVERIFY(sink.log.isEmpty());
    }

    void nothingListeningFailsQuickly()
    {
        CurlMailbox box(quick());
        RecordingSink sink;
        QElapsedTimer t;
        t.start();
        const MailCheckResult r =
            CheckMail(box, account(QStringLiteral("127.0.0.1:%1").arg(test::freeLoopbackPort())), sink);
        QVERIFY(!r.loggedOn);
        QVERIFY(sink.log.isEmpty());
        QVERIFY(t.elapsed() < 2000);
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")), QStringLiteral("Last check 09:05: server not reached"));
    }

    void silentListenerEndsWithinTheTimeOut()
    {
        // Accepted by the kernel, never answered.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        CurlMailbox box(quick());
        RecordingSink sink;
        QElapsedTimer t;
        t.start();
        const MailCheckResult r = CheckMail(box, account(QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())), sink);
        QVERIFY(!r.loggedOn);
        QVERIFY(sink.log.isEmpty());
        QVERIFY2(t.elapsed() >= 2500 && t.elapsed() < 4500, qPrintable(QString::number(t.elapsed())));
    }

    void pop3sWithTrustedCertificate()
    {
        DovecotServer server({message("Ann <ann@example.org>", "Secure")});
        QVERIFY(server.running());
        CurlMailbox box(quick(server.certificate()));
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.tlsServer()), sink);
        QVERIFY(r.loggedOn);
        QVERIFY(sink.log.contains(QStringLiteral("Speak Subject Secure")));
    }

    void pop3sWithUntrustedCertificateSendsNoPassword()
    {
        DovecotServer server({message("Ann <ann@example.org>", "Secure")});
        QVERIFY(server.running());
        CurlMailbox box(quick());
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.tlsServer()), sink);
        QVERIFY(!r.loggedOn);
        QVERIFY(sink.log.isEmpty());
        // The handshake is refused; the server saw no log-on attempt.
        QTRY_VERIFY2(server.log().contains(QStringLiteral("unknown ca")), qPrintable(server.log()));
        const QString refused = server.log().section(QStringLiteral("unknown ca"), 0, 0).section(u'\n', -1);
        QVERIFY2(server.log().section(QStringLiteral("unknown ca"), 1).section(u'\n', 0, 0)
                     .contains(QStringLiteral("no auth attempts")), qPrintable(server.log()));
        QVERIFY(!refused.isNull());
        QVERIFY(!server.log().contains(QStringLiteral("Login: user=")));
        QVERIFY(!server.log().contains(QStringLiteral("auth failed")));
    }

    void stlsWithUntrustedCertificateSendsNoPassword()
    {
        DovecotServer server({message("Ann <ann@example.org>", "Private")});
        QVERIFY(server.running());
        // The system's store knows nothing of the self-signed certificate.
        CurlMailbox box(quick());
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.plainServer()), sink);
        QVERIFY(!r.loggedOn);
        QCOMPARE(r.problem, MailProblem::UntrustedCertificate);
        QCOMPARE(r.certificate, fingerprintOf(server.certificate()));
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")),
                 QStringLiteral("Last check 09:05: certificate not trusted, password not sent"));
        QVERIFY(sink.log.isEmpty());
        QTRY_VERIFY2(server.log().contains(QStringLiteral("no auth attempts")), qPrintable(server.log()));
        QVERIFY(!server.log().contains(QStringLiteral("Login: user=")));
        QVERIFY(!server.log().contains(QStringLiteral("auth failed")));
    }

    void trustedFingerprintStandsInForTheStore()
    {
        DovecotServer server({message("Ann <ann@example.org>", "Private")});
        QVERIFY(server.running());
        CurlMailbox box(quick());
        RecordingSink sink;
        const MailCheckResult r = CheckMail(
            box, account(server.plainServer(), QLatin1String(DovecotServer::Password), {fingerprintOf(server.certificate())}),
            sink);
        QVERIFY(r.loggedOn);
        QVERIFY(r.encrypted);
        QVERIFY(sink.log.contains(QStringLiteral("Speak Subject Private")));
        QTRY_VERIFY(server.log().contains(QStringLiteral("Login: user=<kess>")));
        QVERIFY2(loginLine(server).contains(QStringLiteral("TLS")), qPrintable(loginLine(server)));
        // pop3s takes it as well.
        CurlMailbox tls(quick());
        RecordingSink tlsSink;
        QVERIFY(CheckMail(tls, account(server.tlsServer(), QLatin1String(DovecotServer::Password),
                                       {fingerprintOf(server.certificate())}),
                          tlsSink)
                    .loggedOn);
    }

    void serverTextForms_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QByteArray>("url");
        QTest::newRow("host") << "mail.example.org" << QByteArray("pop3://mail.example.org:110/");
        QTest::newRow("host:port") << " 127.0.0.1:2110 " << QByteArray("pop3://127.0.0.1:2110/");
        QTest::newRow("pop3 url") << "pop3://Mail.Example.org" << QByteArray("pop3://mail.example.org:110/");
        QTest::newRow("pop3s url") << "POP3S://localhost:9950/x" << QByteArray("pop3s://localhost:9950/");
        QTest::newRow("pop3s default") << "pop3s://localhost" << QByteArray("pop3s://localhost:995/");
        QTest::newRow("ipv6") << "[::1]:2110" << QByteArray("pop3://[::1]:2110/");
        QTest::newRow("imap default") << "imap://localhost" << QByteArray("imap://localhost:143/");
        QTest::newRow("imaps url") << "IMAPS://Mail.Example.org:9930/INBOX" << QByteArray("imaps://mail.example.org:9930/");
        QTest::newRow("other scheme") << "smtp://localhost" << QByteArray();
        QTest::newRow("web address") << "https://mail.example.org" << QByteArray();
        QTest::newRow("empty") << "" << QByteArray();
    }
    void serverTextForms()
    {
        QFETCH(QString, server);
        QFETCH(QByteArray, url);
        QCOMPARE(CurlMailbox::serverUrl(server), url);
    }
};

QTEST_GUILESS_MAIN(TestPop3Server)
#include "test_pop3_server.moc"
