// The mail check against servers that misbehave: dropping the connection
// at every step, answering garbage, answering a byte at a time or never
// finishing, sending a 10 MB header. Each check ends in bounded time and
// memory, and the character says nothing the server did not send.

#include "CurlMailbox.h"
#include "MailCheck.h"

#include "PeakMemory.h"
#include "Sanitizers.h"
#include "SpeechText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace kestrova;
using kestrova::test::peakKb;
using kestrova::test::resetPeak;

namespace {

class RecordingSink : public MailSink {
public:
    QStringList spoken;
    void AgentVisible() override {}
    void Play(const QString &) override {}
    // As the character says it: text from the server is a piece of its own.
    void Speak(const QString &t) override { spoken << character::speechForLog(t); }
};

// Everything the check says about the server's mailbox of two messages
// when it reads them all, in order.
const QStringList Sayable = {
    QStringLiteral("You've got mail."),
    QStringLiteral("Message 1 from Ann Example"), QStringLiteral("Subject First"),
    QStringLiteral("Message 2 from Bob"),         QStringLiteral("Subject Second"),
    QStringLiteral("End of messages."),
};


struct Run {
    MailCheckResult result;
    QStringList spoken;
    qint64 ms = 0;
    long peakGrowthKb = 0;
};

// One mail check against the misbehaving server in `mode`, with a three
// second time-out per step.
Run checkAgainst(const QString &mode)
{
    QProcess server;
    server.start(QStringLiteral("python3"), {QStringLiteral(KESTROVA_MISBEHAVING_SERVER), mode});
    Run run;
    if (!server.waitForStarted(5000) || !server.waitForReadyRead(5000)) {
        qWarning() << "the misbehaving server did not start";
        run.ms = -1;
        return run;
    }
    const int port = server.readLine().trimmed().toInt();
    CurlMailbox::Options options;
    options.timeoutSeconds = 3;
    CurlMailbox box(options);
    RecordingSink sink;
    resetPeak();
    const long before = peakKb();
    QElapsedTimer clock;
    clock.start();
    // These servers offer no STLS: plain log-on is allowed for them.
    run.result = CheckMail(box, {QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("kess"), QStringLiteral("pw"),
                                 {QString(), true}},
                           sink);
    run.ms = clock.elapsed();
    run.peakGrowthKb = peakKb() - before;
    run.spoken = sink.spoken;
    server.kill();
    server.waitForFinished(3000);
    return run;
}

QString said(const Run &run) { return run.spoken.join(QStringLiteral(" / ")); }

} // namespace

class TestMailFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void droppedConnection_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<int>("read");
        QTest::newRow("before the greeting") << "greeting" << false << 0;
        QTest::newRow("at USER") << "USER" << false << 0;
        QTest::newRow("at PASS") << "PASS" << false << 0;
        QTest::newRow("at STAT") << "STAT" << false << 0;
        // No list of ids: counted again on the one new connection and read
        // by number there.
        QTest::newRow("at UIDL") << "UIDL" << true << 2;
        QTest::newRow("at TOP") << "TOP" << true << 0;
        QTest::newRow("at QUIT") << "QUIT" << true << 2;
    }
    void droppedConnection()
    {
        QFETCH(QString, step);
        QFETCH(bool, loggedOn);
        QFETCH(int, read);
        const Run run = checkAgainst(QStringLiteral("drop:") + step);
        QVERIFY(run.ms >= 0);
        QCOMPARE(run.result.loggedOn, loggedOn);
        QCOMPARE(run.result.read, read);
        QVERIFY2(run.ms < 10000, qPrintable(QString::number(run.ms)));
        for (const QString &s : run.spoken)
            QVERIFY2(Sayable.contains(s), qPrintable(said(run)));
        // With nothing read nothing is said, as after a failed log-on.
        if (!loggedOn || read == 0)
            QVERIFY2(run.spoken.isEmpty(), qPrintable(said(run)));
        else
            QCOMPARE(run.spoken.last(), QStringLiteral("End of messages."));
        if (read == 0)
            QVERIFY(run.result.problem != MailProblem::None);
    }

    void garbageIsNotReadOut()
    {
        const Run run = checkAgainst(QStringLiteral("garbage"));
        QVERIFY(run.ms >= 0);
        QVERIFY(!run.result.loggedOn);
        QVERIFY2(run.spoken.isEmpty(), qPrintable(said(run)));
        QVERIFY2(run.ms < 5000, qPrintable(QString::number(run.ms)));
    }

    void slowServerIsWaitedFor()
    {
        // A byte every 20 ms: slow, but every reply within its time-out.
        const Run run = checkAgainst(QStringLiteral("slow"));
        QVERIFY(run.result.loggedOn);
        QCOMPARE(run.result.read, 2);
        QCOMPARE(run.spoken, Sayable);
        QVERIFY2(run.ms < 25000, qPrintable(QString::number(run.ms)));
    }

    void neverEndingReplyIsCutOff()
    {
        // TOP trickles for ever: each message gives up at the time-out.
        const Run run = checkAgainst(QStringLiteral("trickle"));
        QVERIFY(run.result.loggedOn);
        QCOMPARE(run.result.read, 0);
        QVERIFY2(run.spoken.isEmpty(), qPrintable(said(run)));
        QVERIFY(run.result.problem != MailProblem::None);
        QVERIFY2(run.ms < 12000, qPrintable(QString::number(run.ms)));
        if (!KESTROVA_ASAN)
            QVERIFY2(run.peakGrowthKb < 8 * 1024, qPrintable(QString::number(run.peakGrowthKb)));
    }

    void hugeHeaderIsReadFromItsStart()
    {
        const Run run = checkAgainst(QStringLiteral("bigheader"));
        QVERIFY(run.result.loggedOn);
        QCOMPARE(run.result.read, 2);
        QCOMPARE(run.spoken, Sayable);
        QVERIFY2(run.ms < 10000, qPrintable(QString::number(run.ms)));
        // 10 MB came in; a fraction of it was kept.
        if (!KESTROVA_ASAN)
            QVERIFY2(run.peakGrowthKb < 8 * 1024, qPrintable(QString::number(run.peakGrowthKb)));
    }
};

QTEST_GUILESS_MAIN(TestMailFaults)
#include "test_mail_faults.moc"
