// The IMAP check: against Dovecot's IMAP service (STARTTLS and imaps, the
// same spoken sequence as for POP3, the \Seen flags left as they were) and
// against a hostile IMAP peer on loopback (STARTTLS stripped, literals
// holding control characters and protocol lines, counts that lie, a
// stall), asserting on what crossed the wire and what reached the voice.

#include "CertificateFingerprint.h"
#include "HostilePeer.h"
#include "CurlMailbox.h"
#include "DovecotServer.h"
#include "MailCheck.h"
#include "MailTexts.h"
#include "SpeechText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;
using kestrova::test::DovecotServer;

namespace {

class RecordingSink : public MailSink {
public:
    QStringList log;
    void AgentVisible() override { log << QStringLiteral("AgentVisible"); }
    void Play(const QString &a) override { log << QStringLiteral("Play ") + a; }
    void Speak(const QString &t) override { log << QStringLiteral("Speak ") + character::speechForLog(t); }
    QStringList spoken() const { return log.filter(QRegularExpression(QStringLiteral("^Speak "))); }
};

QByteArray message(const QByteArray &from, const QByteArray &subject)
{
    return "From: " + from + "\r\nTo: kess@localhost\r\nSubject: " + subject
           + "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n\r\nHello there.\r\n";
}

CurlMailbox::Options quick(const QString &caFile = {})
{
    CurlMailbox::Options o;
    o.timeoutSeconds = 3;
    o.caFile = caFile;
    return o;
}

MailAccount account(const QString &server, const QString &password = QLatin1String(DovecotServer::Password),
                    const MailSecurity &security = {})
{
    return {server, QLatin1String(DovecotServer::User), password, security};
}

class HostileImap : public kestrova::test::HostilePeer {
public:
    HostileImap(const QString &mode, const QString &folder, const QString &cert, const QString &key)
        : HostilePeer(QStringLiteral(KESTROVA_IMAP_SERVER), mode, folder, QStringLiteral("imap"),
                      {QStringLiteral("--cert"), cert, QStringLiteral("--key"), key})
    {
    }
    QString server() const { return QStringLiteral("imap://127.0.0.1:%1").arg(port); }
};

// Nothing a check sends may change the mailbox.
void verifyReadOnly(const QByteArray &wire)
{
    for (const char *verb : {" SELECT ", " STORE ", " EXPUNGE", " COPY ", " MOVE ", " APPEND ", " DELETE "})
        QVERIFY2(!wire.toUpper().contains(verb), wire.constData());
}

const QStringList TwoMessages = {"Speak You've got mail.",       "Speak Message 1 from Ann Example",
                                 "Speak Subject First",          "Speak Message 2 from Bob",
                                 "Speak Subject Second",         "Speak End of messages."};

} // namespace

class TestImap : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_cert = m_dir.filePath(QStringLiteral("cert.pem"));
        m_key = m_dir.filePath(QStringLiteral("key.pem"));
        QCOMPARE(QProcess::execute(QStringLiteral("openssl"),
                                   {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                    QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"), m_key,
                                    QStringLiteral("-out"), m_cert}),
                 0);
    }

    // The inbox is read in the spoken sequence of a POP3 check, over
    // STARTTLS and over imaps, and its \Seen flags are as they were.
    void dovecotInboxReadWithoutMarking_data()
    {
        QTest::addColumn<bool>("implicitTls");
        QTest::newRow("imap, STARTTLS") << false;
        QTest::newRow("imaps") << true;
    }
    void dovecotInboxReadWithoutMarking()
    {
        QFETCH(bool, implicitTls);
        DovecotServer server({message("Ann <ann@example.org>", "Lunch"), message("=?UTF-8?Q?J=C3=BCrgen?= <j@x.org>", "Read already"),
                              message("Cy <cy@example.org>", "Late")},
                             {2});
        QVERIFY(server.running());
        const QList<bool> before = server.seenFlags();
        QCOMPARE(before, (QList<bool>{false, true, false}));
        CurlMailbox box(quick(server.certificate()));
        RecordingSink sink;
        const MailCheckResult r =
            CheckMail(box, account(implicitTls ? server.imapsServer() : server.imapServer()), sink);
        QVERIFY(r.loggedOn);
        QVERIFY(r.encrypted);
        QCOMPARE(r.count, 3);
        QCOMPARE(r.read, 3);
        QCOMPARE(sink.log, (QStringList{"AgentVisible", "Play Pleased", "Speak You've got mail.", "Play Read",
                                        "Speak Message 1 from Ann", "Speak Subject Lunch",
                                        QStringLiteral("Speak Message 2 from J\u00fcrgen"), "Speak Subject Read already",
                                        "Speak Message 3 from Cy", "Speak Subject Late", "Play ReadReturn",
                                        "Speak End of messages."}));
        box.CloseMailbox();
        QCOMPARE(server.seenFlags(), before);
        const QString login = server.log().section(QStringLiteral("imap-login: Info: Login: user=<kess>"), 1).section(u'\n', 0, 0);
        QVERIFY2(login.contains(QStringLiteral("TLS")), qPrintable(server.log()));
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")), QStringLiteral("Last check 09:05: 3 messages"));
    }

    void dovecotEmptyInboxOnlyLooksSad()
    {
        DovecotServer server({});
        QVERIFY(server.running());
        CurlMailbox box(quick(server.certificate()));
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.imapServer()), sink);
        QVERIFY(r.loggedOn);
        QCOMPARE(sink.log, QStringList{"Play Sad"});
    }

    // A refused password and an untrusted certificate end silently, each
    // with its own status; the untrusted server gets no password.
    void dovecotRefusals()
    {
        DovecotServer server({message("Ann <ann@example.org>", "Hidden")});
        QVERIFY(server.running());
        CurlMailbox wrong(quick(server.certificate()));
        RecordingSink sink;
        MailCheckResult r = CheckMail(wrong, account(server.imapServer(), QStringLiteral("wrong")), sink);
        QVERIFY(!r.loggedOn);
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")),
                 QStringLiteral("Last check 09:05: user name or password refused"));

        CurlMailbox untrusting(quick());
        r = CheckMail(untrusting, account(server.imapServer()), sink);
        QVERIFY(!r.loggedOn);
        QCOMPARE(r.problem, MailProblem::UntrustedCertificate);
        QCOMPARE(r.certificate, test::fingerprintOf(server.certificate()));
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")),
                 QStringLiteral("Last check 09:05: certificate not trusted, password not sent"));
        QVERIFY(sink.log.isEmpty());
        QTRY_VERIFY2(server.log().contains(QStringLiteral("no auth attempts")), qPrintable(server.log()));
        QCOMPARE(server.log().count(QStringLiteral("Login: user=<kess>")), 0);
    }

    // The certificate the user trusted by its fingerprint stands in for
    // the system's store on IMAP as on POP3.
    void trustedFingerprintOverStartTls()
    {
        DovecotServer server({message("Ann <ann@example.org>", "Pinned")});
        QVERIFY(server.running());
        CurlMailbox box(quick());
        RecordingSink sink;
        const MailCheckResult r = CheckMail(
            box, account(server.imapServer(), QLatin1String(DovecotServer::Password),
                         {test::fingerprintOf(server.certificate()), false}),
            sink);
        QVERIFY(r.loggedOn);
        QVERIFY(r.encrypted);
        QVERIFY(sink.log.contains(QStringLiteral("Speak Subject Pinned")));
    }

    void startTlsStrippedSendsNoPassword()
    {
        HostileImap server(QStringLiteral("stripped"), m_dir.path(), m_cert, m_key);
        QVERIFY(server.port > 0);
        CurlMailbox box(quick(m_cert));
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.server()), sink);
        QVERIFY(!r.loggedOn);
        QCOMPARE(r.problem, MailProblem::NoEncryption);
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")),
                 QStringLiteral("Last check 09:05: not encrypted: the server offers no STLS, password not sent"));
        QVERIFY(sink.log.isEmpty());
        QVERIFY(server.received().contains("CAPABILITY"));
        QVERIFY2(!server.received().toUpper().contains("LOGIN"), server.received().constData());
        QVERIFY(!server.received().contains(DovecotServer::Password));
    }

    // The header blocks come as literals: what is inside is never taken
    // for a response, and what reaches the voice holds no control
    // character.
    void literalsAreReadByTheirLength()
    {
        HostileImap server(QStringLiteral("literals"), m_dir.path(), m_cert, m_key);
        CurlMailbox box(quick());
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.server(), QStringLiteral("pw"), {QString(), true}), sink);
        QVERIFY(r.loggedOn);
        QCOMPARE(r.read, 2);
        const QStringList spoken = sink.spoken();
        QCOMPARE(spoken.size(), 6);
        QVERIFY2(spoken[1].startsWith(QStringLiteral("Speak Message 1 from")) && spoken[1].contains(QStringLiteral("Ann")),
                 qPrintable(spoken.join(u'/')));
        QVERIFY2(spoken[2].startsWith(QStringLiteral("Speak Subject Hi")), qPrintable(spoken[2]));
        QCOMPARE(spoken.mid(3), (QStringList{"Speak Message 2 from Bob", "Speak Subject Second",
                                             "Speak End of messages."}));
        for (const QString &line : spoken) {
            for (const QChar c : line)
                QVERIFY2(c.unicode() >= 0x20, qPrintable(line));
            QVERIFY2(!line.contains(QStringLiteral("OK FETCH")), qPrintable(line));
        }
        verifyReadOnly(server.received());
        QVERIFY(server.received().contains("EXAMINE INBOX"));
        QVERIFY(server.received().contains("BODY.PEEK[HEADER.FIELDS (FROM SUBJECT)]"));
    }

    // Five messages said to exist, one answered twice, one that is not
    // there: each message is read from the answer that names it, once.
    void countsThatLie()
    {
        HostileImap server(QStringLiteral("lies"), m_dir.path(), m_cert, m_key);
        CurlMailbox box(quick());
        RecordingSink sink;
        const MailCheckResult r = CheckMail(box, account(server.server(), QStringLiteral("pw"), {QString(), true}), sink);
        QVERIFY(r.loggedOn);
        QCOMPARE(r.count, 5);
        QCOMPARE(r.read, 2);
        QCOMPARE(sink.spoken(), TwoMessages);
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")), QStringLiteral("Last check 09:05: 5 messages (2 read), not encrypted"));
        verifyReadOnly(server.received());
    }

    // A FETCH that fails, however it fails, is not taken for mail read:
    // nothing is announced and nothing ends, and the result says why.
    void failedFetchIsAFailure_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<MailProblem>("problem");
        QTest::newRow("never answered") << "stall" << MailProblem::TimedOut;
        QTest::newRow("literal of 999,999,999 bytes, then closed") << "hugeliteral" << MailProblem::ServerFailed;
        QTest::newRow("refused") << "nofetch" << MailProblem::ServerFailed;
    }
    void failedFetchIsAFailure()
    {
        QFETCH(QString, mode);
        QFETCH(MailProblem, problem);
        HostileImap server(mode, m_dir.path(), m_cert, m_key);
        CurlMailbox box(quick());
        RecordingSink sink;
        QElapsedTimer clock;
        clock.start();
        const MailCheckResult r = CheckMail(box, account(server.server(), QStringLiteral("pw"), {QString(), true}), sink);
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(r.loggedOn);
        QCOMPARE(r.count, 2);
        QCOMPARE(r.read, 0);
        QCOMPARE(r.problem, problem);
        QVERIFY2(sink.spoken().isEmpty(), qPrintable(sink.spoken().join(u'/')));
        QVERIFY(!sink.log.contains(QStringLiteral("Play ReadReturn")));
        QCOMPARE(mailCheckStatus(r, QStringLiteral("09:05")),
                 QStringLiteral("Last check 09:05: 2 messages (0 read), ") + mailtext::problem(problem)
                     + QStringLiteral(", not encrypted"));
    }

private:
    QTemporaryDir m_dir;
    QString m_cert, m_key;
};

QTEST_GUILESS_MAIN(TestImap)
#include "test_imap.moc"
