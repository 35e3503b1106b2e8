// A POP3 server that lies (pop3_misbehaving.py on loopback): a UIDL list
// that disagrees with STAT or repeats an id, listing lines that are no
// listing, -ERR on one message, replies that never end, dot-stuffing abuse,
// headers made to attack the voice and the screen, a server that greets and
// then says nothing. Each case asserts on what crossed the wire (never RETR
// or DELE, no message read in another's place, QUIT at the end) and on what
// the character said and showed.

#include "CurlMailbox.h"
#include "HostilePeer.h"
#include "MailCheck.h"
#include "MailTexts.h"

#include "PeakMemory.h"
#include "Sanitizers.h"
#include "SpeechText.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;
using kestrova::test::HostilePeer;

namespace {

// What the character says, as the voice gets it and as the balloon shows it.
class RecordingSink : public MailSink {
public:
    QStringList spoken, shown;
    void AgentVisible() override {}
    void Play(const QString &) override {}
    void Speak(const QString &t) override
    {
        const character::SpeechText text = character::parseSpeech(t, [](int) { return 0; });
        spoken << text.spoken;
        shown << text.shown;
    }
};

struct Run {
    MailCheckResult result;
    QStringList spoken, shown;
    QByteArray wire;
    qint64 ms = 0;
    long peakGrowthKb = 0;
};

Run checkAgainst(const QString &mode, int messages, const QString &folder)
{
    HostilePeer server(QStringLiteral(KESTROVA_MISBEHAVING_SERVER), mode, folder, QStringLiteral("lies"),
                       {QStringLiteral("--messages"), QString::number(messages)});
    Run run;
    if (server.port == 0) {
        run.ms = -1;
        return run;
    }
    CurlMailbox::Options options;
    options.timeoutSeconds = 3;
    options.checkSeconds = 20;
    CurlMailbox box(options);
    RecordingSink sink;
    kestrova::test::resetPeak();
    const long before = kestrova::test::peakKb();
    QElapsedTimer clock;
    clock.start();
    run.result = CheckMail(box,
                           {QStringLiteral("127.0.0.1:%1").arg(server.port), QStringLiteral("kess"),
                            QStringLiteral("pw"), {QString(), true}},
                           sink);
    run.ms = clock.elapsed();
    run.peakGrowthKb = kestrova::test::peakKb() - before;
    run.spoken = sink.spoken;
    run.shown = sink.shown;
    run.wire = server.received();
    return run;
}

// What is said for the messages of the server's list, given by number.
QStringList said(const QList<int> &numbers)
{
    static const QStringList from{QStringLiteral("Ann Example"), QStringLiteral("Bob"), QStringLiteral("Cy"),
                                  QStringLiteral("Di")};
    static const QStringList subject{QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Third"),
                                     QStringLiteral("Fourth")};
    QStringList lines{QStringLiteral("You've got mail.")};
    for (int n : numbers)
        lines << QStringLiteral("Message %1 from %2").arg(n).arg(from[n - 1])
              << QStringLiteral("Subject %1").arg(subject[n - 1]);
    return lines << QStringLiteral("End of messages.");
}

// Nothing the client sent may change the mailbox or fetch whole messages.
void verifyReadOnly(const QByteArray &wire)
{
    static const QRegularExpression changing(QStringLiteral("^\\d+ (plain|tls): (RETR|DELE|RSET)\\b"),
                                              QRegularExpression::MultilineOption
                                                  | QRegularExpression::CaseInsensitiveOption);
    QVERIFY2(!changing.match(QString::fromUtf8(wire)).hasMatch(), wire.constData());
}

// The commands connection `n` received after the password, in order.
QStringList commandsOn(const QByteArray &wire, int n)
{
    static const QRegularExpression received(QStringLiteral("^(\\d+) (?:plain|tls): (.*)$"));
    QStringList commands;
    bool loggedOn = false;
    for (const QByteArray &line : wire.split('\n')) {
        const QRegularExpressionMatch m = received.match(QString::fromUtf8(line).trimmed());
        if (!m.hasMatch() || m.captured(1).toInt() != n)
            continue;
        if (loggedOn)
            commands << m.captured(2);
        loggedOn = loggedOn || m.captured(2).startsWith(QStringLiteral("PASS"));
    }
    return commands;
}

// No control character, no bidirectional override or isolate, no
// noncharacter.
bool isClean(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0) || (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069)
            || u == 0x200e || u == 0x200f || u == 0x061c || (u >= 0xfdd0 && u <= 0xfdef) || u == 0xfffe || u == 0xffff)
            return false;
    }
    return true;
}

} // namespace

class TestPop3Lies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Each row: the server's lie, how many messages STAT counts, the messages
    // read out (by their number on the server), and how many connections
    // the check may open.
    void lyingMailbox_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("messages");
        QTest::addColumn<QList<int>>("read");
        QTest::addColumn<int>("connections");
        QTest::addColumn<bool>("inStep");
        // Ids that tell no message from another: read by number.
        QTest::newRow("one id for two messages") << "sameuid" << 3 << QList<int>{1, 2, 3} << 1 << true;
        QTest::newRow("UIDL lists one message fewer than STAT") << "uidlshort" << 3 << QList<int>{1, 2, 3} << 1 << true;
        QTest::newRow("UIDL lists one message more than STAT") << "uidllong" << 2 << QList<int>{1, 2} << 1 << true;
        QTest::newRow("UIDL numbers shifted by one") << "uidlshift" << 2 << QList<int>{1, 2} << 1 << true;
        QTest::newRow("UIDL lines with huge numbers and garbage") << "uidljunk" << 2 << QList<int>{1, 2} << 1 << true;
        // The listing times out: counted again on one new connection.
        QTest::newRow("UIDL listing never ends") << "uidlopen" << 2 << QList<int>{1, 2} << 2 << true;
        QTest::newRow("-ERR on one message of three") << "errtop:2" << 3 << QList<int>{1, 3} << 1 << true;
        QTest::newRow("-ERR on one message, no UIDL") << "nouidl+errtop:1" << 3 << QList<int>{2, 3} << 1 << true;
        // Message 2's reply never ends: it is given up at the time-out and
        // message 3 read over one log-on again.
        QTest::newRow("a 1 MB line without CRLF") << "endless:2" << 3 << QList<int>{1, 3} << 2 << true;
        // A lone "." ends message 2's headers early; the forged headers
        // after it are no reply to what comes next. That connection is
        // left, and message 3 is read over one log-on again, by its id.
        QTest::newRow("dot-stuffing abuse") << "dots" << 3 << QList<int>{1, 2, 3} << 2 << true;
        QTest::newRow("dot-stuffing abuse, in batches") << "dots+pipelining" << 3 << QList<int>{1, 2, 3} << 2 << true;
        QTest::newRow("a forged reply behind message 1's") << "more:1" << 3 << QList<int>{1, 2, 3} << 2 << true;
        // Without ids a new connection cannot tell message 2 from another:
        // the reading ends, and the forged block is never read as its
        // headers.
        QTest::newRow("a forged reply behind message 1's, no UIDL") << "nouidl+more:1" << 3 << QList<int>{1} << 1 << false;
    }
    void lyingMailbox()
    {
        QFETCH(QString, mode);
        QFETCH(int, messages);
        QFETCH(QList<int>, read);
        QFETCH(int, connections);
        QFETCH(bool, inStep);
        const Run run = checkAgainst(mode, messages, m_dir.path());
        QVERIFY(run.ms >= 0);
        QVERIFY(run.result.loggedOn);
        QCOMPARE(run.result.count, messages);
        QCOMPARE(run.result.read, int(read.size()));
        QCOMPARE(run.spoken, said(read));
        QCOMPARE(run.shown, said(read));
        verifyReadOnly(run.wire);
        QVERIFY2(run.wire.contains("CONNECT " + QByteArray::number(connections)), run.wire.constData());
        QVERIFY2(!run.wire.contains("CONNECT " + QByteArray::number(connections + 1)), run.wire.constData());
        // The check logs off where it ends in step, and only there.
        QCOMPARE(run.wire.trimmed().endsWith(": QUIT"), inStep);
        QVERIFY(!run.spoken.join(u' ').contains(QStringLiteral("Mallory")));
        QVERIFY2(run.ms < 12000, qPrintable(QString::number(run.ms)));
        if (!KESTROVA_ASAN)
            QVERIFY2(run.peakGrowthKb < 8 * 1024, qPrintable(QString::number(run.peakGrowthKb)));
        // The status bar counts what the server counted and what was read.
        const QString status = mailCheckStatus(run.result, QStringLiteral("09:05"));
        QVERIFY2(status.startsWith(QStringLiteral("Last check 09:05: %1 messages").arg(messages)), qPrintable(status));
    }

    // A server that does not dot-stuff: what follows the lone "." in message
    // 2's headers is seen as more than the reply, and nothing more is asked
    // on that connection, not even QUIT. The new connection learns the ids
    // again and asks for the messages left by them, and logs off in step.
    void anOutOfStepConnectionIsLeft()
    {
        const Run run = checkAgainst(QStringLiteral("dots"), 4, m_dir.path());
        QVERIFY(run.ms >= 0);
        QCOMPARE(run.result.read, 4);
        QCOMPARE(run.spoken, said({1, 2, 3, 4}));
        QCOMPARE(commandsOn(run.wire, 1), (QStringList{"STAT", "UIDL", "UIDL 1", "TOP 1 0", "UIDL 2", "TOP 2 0"}));
        QCOMPARE(commandsOn(run.wire, 2), (QStringList{"UIDL", "UIDL 3", "TOP 3 0", "UIDL 4", "TOP 4 0", "QUIT"}));
        QVERIFY(!run.wire.contains("CONNECT 3"));
        verifyReadOnly(run.wire);
        QCOMPARE(run.result.problem, MailProblem::None);
    }

    // Escape codes, bidi overrides, markup and 200 KB in the headers: the
    // voice, the balloon and the notification get clean, bounded text, and
    // markup as the words it is.
    void hostileHeadersReachNobodyRaw()
    {
        const Run run = checkAgainst(QStringLiteral("nasty"), 2, m_dir.path());
        QVERIFY(run.result.loggedOn);
        QCOMPARE(run.result.read, 2);
        QCOMPARE(run.spoken.size(), 6);
        for (const QStringList &texts : {run.spoken, run.shown, run.result.messages})
            for (const QString &text : texts) {
                QVERIFY2(isClean(text), qPrintable(text.left(200).toUtf8().toPercentEncoding(" <>/:")));
                QVERIFY2(text.size() <= 2 * character::MaxOutsideChars + 40, qPrintable(QString::number(text.size())));
            }
        // Escape sequences go whole, the terminal title's too.
        QCOMPARE(run.spoken.at(1), QStringLiteral("Message 1 from Eve"));
        QCOMPARE(run.spoken.at(2), QStringLiteral("Subject Pay gpj.exe now red <b>bold</b>"));
        QCOMPARE(run.spoken.at(3), QStringLiteral("Message 2 from Bob"));
        // 200 KB of subject: about a balloon's worth, cut with "…".
        QVERIFY(run.spoken.at(4).startsWith(QStringLiteral("Subject long long")));
        QVERIFY(run.spoken.at(4).endsWith(QChar(0x2026)));
        QVERIFY(run.spoken.at(4).size() <= QStringLiteral("Subject ").size() + character::MaxOutsideChars);
        const QString body = mailtext::newMailBody(run.result.messages);
        QCOMPARE(body.count(u'\n'), 1);
        QVERIFY(body.startsWith(QStringLiteral("Eve: Pay gpj.exe now red <b>bold</b>\nBob: long long")));
        verifyReadOnly(run.wire);
    }

    // A server that greets and then answers nothing, or whose greeting
    // never ends, gets no password, and the check ends at the time-out.
    void nothingPastTheGreeting_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("silence after the greeting") << "greeted";
        QTest::newRow("a greeting of 1 MB without CRLF") << "hugegreeting";
    }
    void nothingPastTheGreeting()
    {
        QFETCH(QString, mode);
        const Run run = checkAgainst(mode, 2, m_dir.path());
        QVERIFY(run.ms >= 0);
        QVERIFY(!run.result.loggedOn);
        QVERIFY(run.spoken.isEmpty());
        QVERIFY(run.result.problem == MailProblem::TimedOut || run.result.problem == MailProblem::ServerFailed);
        QVERIFY2(run.ms < 8000, qPrintable(QString::number(run.ms)));
        QVERIFY2(!run.wire.contains(": USER") && !run.wire.contains(": PASS") && !run.wire.contains("pw"),
                 run.wire.constData());
        QVERIFY(!run.wire.contains("CONNECT 2"));
        QVERIFY(mailCheckFailed(run.result));
        if (!KESTROVA_ASAN)
            QVERIFY2(run.peakGrowthKb < 8 * 1024, qPrintable(QString::number(run.peakGrowthKb)));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestPop3Lies)
#include "test_pop3_lies.moc"
