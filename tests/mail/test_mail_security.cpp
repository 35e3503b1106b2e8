// The password and the check's end against hostile servers of our own on
// loopback (pop3_misbehaving.py): each case asserts on what the server
// received. A server without STLS, refusing it or stripping it, or showing
// a certificate that does not verify, gets no USER, no PASS and no byte of
// the password; a certificate the user trusted is accepted, another one in
// its place is not; plain log-on only where allowed; a log-on again inside
// a check obeys the same rule and happens at most once; a cancelled check
// ends at once; a mailbox without UIDL is read by number.

#include "CurlMailbox.h"
#include "MailCheck.h"
#include "CertificateFingerprint.h"
#include "HostilePeer.h"
#include "SpeechText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

using namespace kestrova;
using kestrova::test::fingerprintOf;

namespace {

const QString Password = QStringLiteral("pa55-Wörd");

class RecordingSink : public MailSink {
public:
    QStringList spoken;
    void AgentVisible() override {}
    void Play(const QString &) override {}
    void Speak(const QString &t) override { spoken << character::speechForLog(t); }
};

// The misbehaving server in `mode`, recording what it receives.
class HostileServer : public kestrova::test::HostilePeer {
public:
    HostileServer(const QString &mode, const QString &folder, int messages = 2, const QString &certificate = {},
                  const QString &key = {})
        : HostilePeer(QStringLiteral(KESTROVA_MISBEHAVING_SERVER), mode, folder, QStringLiteral("received"),
                      arguments(messages, certificate, key))
    {
    }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
    // Lines of the log-on commands received, on any connection.
    QStringList logOns(const QByteArray &layer = {}) const
    {
        QStringList lines;
        for (const QByteArray &line : received().split('\n')) {
            const QString text = QString::fromUtf8(line);
            if (text.contains(QRegularExpression(QStringLiteral("^\\d+ (plain|tls): (USER|PASS|AUTH|APOP)\\b"),
                                                  QRegularExpression::CaseInsensitiveOption))
                && (layer.isEmpty() || line.contains(" " + layer + ":")))
                lines << text;
        }
        return lines;
    }
    bool passwordArrived() const { return received().contains(Password.toUtf8()); }

private:
    static QStringList arguments(int messages, const QString &certificate, const QString &key)
    {
        QStringList args{QStringLiteral("--messages"), QString::number(messages)};
        if (!certificate.isEmpty())
            args << QStringLiteral("--cert") << certificate << QStringLiteral("--key") << key;
        return args;
    }
};

bool makeCertificate(const QString &base, const QString &host)
{
    return QProcess::execute(QStringLiteral("openssl"),
                             {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                              QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                              QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                              QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                              QStringLiteral("/CN=") + host, QStringLiteral("-addext"),
                              QStringLiteral("subjectAltName=DNS:") + host, QStringLiteral("-keyout"),
                              base + QStringLiteral("-key.pem"), QStringLiteral("-out"),
                              base + QStringLiteral("-cert.pem")})
           == 0;
}

struct Outcome {
    MailCheckResult result;
    QStringList spoken;
};

Outcome check(CurlMailbox &box, const QString &server, const MailSecurity &security = {})
{
    RecordingSink sink;
    Outcome o;
    o.result = CheckMail(box, {server, QStringLiteral("kess"), Password, security}, sink);
    box.CloseMailbox();
    o.spoken = sink.spoken;
    return o;
}

CurlMailbox::Options quick(const QString &caFile = {})
{
    CurlMailbox::Options o;
    o.timeoutSeconds = 3;
    o.caFile = caFile;
    return o;
}

} // namespace

class TestMailSecurity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Both name a host other than the one the check connects to.
        QVERIFY(makeCertificate(m_dir.filePath(QStringLiteral("a")), QStringLiteral("other.example")));
        QVERIFY(makeCertificate(m_dir.filePath(QStringLiteral("b")), QStringLiteral("other.example")));
        m_certA = m_dir.filePath(QStringLiteral("a-cert.pem"));
        m_keyA = m_dir.filePath(QStringLiteral("a-key.pem"));
        QCOMPARE(fingerprintOf(m_certA).size(), 32 * 3 - 1);
        QVERIFY(fingerprintOf(m_certA) != fingerprintOf(m_dir.filePath(QStringLiteral("b-cert.pem"))));
    }

    void refusedBeforeThePassword_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<QString>("trusted");
        QTest::addColumn<int>("problem");
        QTest::addColumn<bool>("certificateShown");
        const int noEncryption = int(MailProblem::NoEncryption);
        const int untrusted = int(MailProblem::UntrustedCertificate);
        QTest::newRow("no STLS") << "plain" << "" << "" << noEncryption << false;
        QTest::newRow("STLS refused") << "stlsrefused" << "" << "" << noEncryption << false;
        QTest::newRow("STLS stripped") << "stlsstripped" << "" << "" << noEncryption << false;
        QTest::newRow("self-signed, not in the store") << "stls" << "" << "" << untrusted << true;
        // The chain is trusted; the name is not the server's.
        QTest::newRow("wrong host name") << "stls" << "a-cert.pem" << "" << untrusted << true;
        QTest::newRow("changed certificate") << "stls" << "" << "b-cert.pem" << int(MailProblem::ChangedCertificate)
                                             << true;
    }
    void refusedBeforeThePassword()
    {
        QFETCH(QString, mode);
        QFETCH(QString, caFile);
        QFETCH(QString, trusted);
        QFETCH(int, problem);
        QFETCH(bool, certificateShown);
        HostileServer server(mode, m_dir.path(), 2, m_certA, m_keyA);
        QVERIFY(server.port > 0);
        CurlMailbox box(quick(caFile.isEmpty() ? QString() : m_dir.filePath(caFile)));
        MailSecurity security;
        if (!trusted.isEmpty())
            security.trustedCertificate = fingerprintOf(m_dir.filePath(trusted));
        const Outcome o = check(box, server.server(), security);
        QVERIFY(!o.result.loggedOn);
        QCOMPARE(int(o.result.problem), problem);
        QVERIFY2(o.spoken.isEmpty(), qPrintable(o.spoken.join(u'/')));
        // The server was reached, and got nothing to log on with.
        QVERIFY(server.received().contains("CAPA"));
        QVERIFY2(server.logOns().isEmpty(), qPrintable(server.logOns().join(u'\n')));
        QVERIFY(!server.passwordArrived());
        // The certificate the server showed is offered for the user to
        // compare, and only where there was one.
        QCOMPARE(o.result.certificate, certificateShown ? fingerprintOf(m_certA) : QString());
        QVERIFY(mailCheckStatus(o.result, QStringLiteral("09:05")).contains(QStringLiteral("password not sent")));
        if (problem == int(MailProblem::NoEncryption))
            QCOMPARE(mailCheckStatus(o.result, QStringLiteral("09:05")),
                     QStringLiteral("Last check 09:05: not encrypted: the server offers no STLS, password not sent"));
    }

    void trustedCertificateIsAccepted()
    {
        HostileServer server(QStringLiteral("stls"), m_dir.path(), 2, m_certA, m_keyA);
        CurlMailbox box(quick());
        const Outcome o = check(box, server.server(), {fingerprintOf(m_certA), false});
        QVERIFY(o.result.loggedOn);
        QCOMPARE(o.result.read, 2);
        QVERIFY(o.result.encrypted);
        QVERIFY(o.spoken.contains(QStringLiteral("Subject Second")));
        // The password went inside TLS only.
        QCOMPARE(server.logOns(QByteArrayLiteral("tls")).size(), 2);
        QCOMPARE(server.logOns().size(), 2);
        QVERIFY(!mailCheckStatus(o.result, QStringLiteral("09:05")).contains(QStringLiteral("not encrypted")));
    }

    void plainLogOnOnlyWhereAllowed()
    {
        HostileServer server(QStringLiteral("plain"), m_dir.path());
        CurlMailbox box(quick());
        const Outcome o = check(box, server.server(), {QString(), true});
        QVERIFY(o.result.loggedOn);
        QCOMPARE(o.result.read, 2);
        QVERIFY(!o.result.encrypted);
        QCOMPARE(mailCheckStatus(o.result, QStringLiteral("09:05")),
                 QStringLiteral("Last check 09:05: 2 messages, not encrypted"));
        QCOMPARE(server.logOns(QByteArrayLiteral("plain")).size(), 2);
    }

    void reconnectionKeepsTheRule()
    {
        // The first connection runs over a trusted TLS and is dropped at
        // TOP; curl's log-on again meets a server without STLS.
        HostileServer server(QStringLiteral("tlsthenplain+drop:TOP"), m_dir.path(), 2, m_certA, m_keyA);
        CurlMailbox box(quick());
        const Outcome o = check(box, server.server(), {fingerprintOf(m_certA), false});
        QVERIFY(o.result.loggedOn);
        QCOMPARE(o.result.read, 0);
        QVERIFY(server.received().contains("CONNECT 2"));
        QCOMPARE(server.logOns(QByteArrayLiteral("tls")).size(), 2);
        QVERIFY2(!server.received().contains("2 plain: USER") && !server.received().contains("2 plain: PASS"),
                 server.received().constData());
        QCOMPARE(server.logOns().size(), 2);
    }

    void logsOnAgainAtMostOnce()
    {
        // Every TOP drops the connection: the first loss is made good once,
        // the second ends the reading.
        HostileServer server(QStringLiteral("drop:TOP"), m_dir.path(), 4);
        CurlMailbox box(quick());
        const Outcome o = check(box, server.server(), {QString(), true});
        QVERIFY(o.result.loggedOn);
        QCOMPARE(o.result.read, 0);
        QCOMPARE(server.logOns().filter(QStringLiteral(": PASS")).size(), 2);
        QVERIFY(!server.received().contains("CONNECT 3"));
        // Nothing read: no mail announced, and the failure is the result.
        QVERIFY2(o.spoken.isEmpty(), qPrintable(o.spoken.join(u'/')));
        QCOMPARE(o.result.problem, MailProblem::ServerFailed);
    }

    void withoutUidlMessagesAreReadByNumber()
    {
        // UIDL answers -ERR: the connection stays, and the messages are
        // read by number on it, with no log-on again.
        HostileServer server(QStringLiteral("nouidl"), m_dir.path(), 3);
        CurlMailbox box(quick());
        const Outcome o = check(box, server.server(), {QString(), true});
        QVERIFY(o.result.loggedOn);
        QCOMPARE(o.result.count, 3);
        QCOMPARE(o.result.read, 3);
        QCOMPARE(o.spoken, (QStringList{"You've got mail.", "Message 1 from Ann Example", "Subject First",
                                        "Message 2 from Bob", "Subject Second", "Message 3 from Cy", "Subject Third",
                                        "End of messages."}));
        QCOMPARE(server.logOns().filter(QStringLiteral(": PASS")).size(), 1);
        QVERIFY(!server.received().contains("CONNECT 2"));
    }

    void withoutUidlABrokenConnectionEndsTheReading()
    {
        HostileServer server(QStringLiteral("nouidl+droptop:2"), m_dir.path(), 3);
        CurlMailbox box(quick());
        const Outcome o = check(box, server.server(), {QString(), true});
        QVERIFY(o.result.loggedOn);
        QCOMPARE(o.result.read, 1);
        QCOMPARE(o.spoken, (QStringList{"You've got mail.", "Message 1 from Ann Example", "Subject First",
                                        "End of messages."}));
        // Without ids a new connection could not tell message 3 from
        // another: nobody logs on again.
        QCOMPARE(server.logOns().filter(QStringLiteral(": PASS")).size(), 1);
        QVERIFY(!server.received().contains("TOP 3"));
        QVERIFY(mailCheckStatus(o.result, QStringLiteral("09:05")).contains(QStringLiteral("(1 read)")));
    }

    // A server that offers PIPELINING gets its commands in batches; one
    // that does not, one at a time.
    void commandsAreBatchedOnlyWherePipeliningIsOffered()
    {
        HostileServer batching(QStringLiteral("pipelining"), m_dir.path(), 4);
        CurlMailbox box(quick());
        Outcome o = check(box, batching.server(), {QString(), true});
        QCOMPARE(o.result.read, 4);
        QVERIFY2(batching.received().contains(" batch: "), batching.received().constData());
        // Each message's headers are asked for behind the request naming it.
        QVERIFY(batching.received().contains("1 plain: UIDL 3\n1 plain: TOP 3 0"));

        HostileServer oneByOne(QStringLiteral("plain"), m_dir.path(), 4);
        CurlMailbox other(quick());
        o = check(other, oneByOne.server(), {QString(), true});
        QCOMPARE(o.result.read, 4);
        QVERIFY2(!oneByOne.received().contains(" batch: "), oneByOne.received().constData());
    }

    // A batch answered with a reply missing, one too many, a line that is
    // no reply, a stall or a closed connection: no reply is read as the
    // next message's headers, and the rest are read over one log-on again.
    // A message whose own reply is broken is not read out; one whose
    // replies only came behind a reply too many is asked for again there.
    void pipelinedRepliesOutOfStep_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("spoken");
        const QString m1 = QStringLiteral("Message 1 from Ann Example|Subject First");
        const QString m2 = QStringLiteral("Message 2 from Bob|Subject Second");
        const QString m3 = QStringLiteral("Message 3 from Cy|Subject Third");
        const QString m4 = QStringLiteral("Message 4 from Di|Subject Fourth");
        auto said = [](const QStringList &messages) {
            return (QStringList{QStringLiteral("You've got mail.")} + messages.join(u'|').split(u'|')
                    + QStringList{QStringLiteral("End of messages.")});
        };
        QTest::newRow("no reply to TOP 2") << "fewer:2" << said({m1, m3, m4});
        QTest::newRow("a forged reply after TOP 1") << "more:1" << said({m1, m2, m3, m4});
        QTest::newRow("TOP 2 answered with a header line") << "garbled:2" << said({m1, m3, m4});
        QTest::newRow("silence from TOP 2 on") << "stallat:2" << said({m1, m3, m4});
        QTest::newRow("closed at TOP 3") << "droptop:3" << said({m1, m2, m4});
    }
    void pipelinedRepliesOutOfStep()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, spoken);
        HostileServer server(QStringLiteral("pipelining+") + mode, m_dir.path(), 4);
        CurlMailbox box(quick());
        const Outcome o = check(box, server.server(), {QString(), true});
        QCOMPARE(o.spoken, spoken);
        QVERIFY(!o.spoken.join(u' ').contains(QStringLiteral("Mallory")));
        QVERIFY(!o.spoken.join(u' ').contains(QStringLiteral("Forged")));
        QVERIFY2(server.received().contains(" batch: "), server.received().constData());
        QCOMPARE(server.logOns().filter(QStringLiteral(": PASS")).size(), 2);
        QVERIFY(!server.received().contains("CONNECT 3"));
    }

    void cancelEndsTheCheckAtOnce()
    {
        HostileServer server(QStringLiteral("stall"), m_dir.path());
        CurlMailbox::Options options = quick();
        options.timeoutSeconds = 30;
        CurlMailbox box(options);
        Outcome o;
        std::unique_ptr<QThread> worker(QThread::create([&] { o = check(box, server.server(), {QString(), true}); }));
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(server.received().contains("TOP 1"), 10000);
        QElapsedTimer clock;
        clock.start();
        box.Cancel();
        QVERIFY(worker->wait(5000));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(o.result.problem, MailProblem::Cancelled);
        // Nothing is said (no message had been read), and nobody logged on
        // again.
        QVERIFY2(o.spoken.isEmpty(), qPrintable(o.spoken.join(u'/')));
        QCOMPARE(server.logOns().filter(QStringLiteral(": PASS")).size(), 1);
        // A cancelled mailbox opens nothing more.
        box.OpenMailbox();
        QCOMPARE(box.Problem(), MailProblem::Cancelled);
        QVERIFY(!server.received().contains("CONNECT 2"));
    }

    void theWholeCheckHasOneDeadline()
    {
        // Each step may take 30 s; the check as a whole 2 s.
        HostileServer server(QStringLiteral("stall"), m_dir.path(), 3);
        CurlMailbox::Options options = quick();
        options.timeoutSeconds = 30;
        options.checkSeconds = 2;
        CurlMailbox box(options);
        QElapsedTimer clock;
        clock.start();
        const Outcome o = check(box, server.server(), {QString(), true});
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(o.result.loggedOn);
        QCOMPARE(o.result.read, 0);
        QCOMPARE(o.result.problem, MailProblem::TimedOut);
        QVERIFY(!server.received().contains("TOP 2"));
        QCOMPARE(server.logOns().filter(QStringLiteral(": PASS")).size(), 1);
    }

private:
    QTemporaryDir m_dir;
    QString m_certA, m_keyA;
};

QTEST_GUILESS_MAIN(TestMailSecurity)
#include "test_mail_security.moc"
