// Text from outside reaches the log printable: no escape sequence for the
// terminal, no line break that forges a line of its own.
#include "LogLines.h"

#include <QLoggingCategory>
#include <QTest>

using kestrova::platform::installPrintableLogs;
using kestrova::platform::printableLogText;

namespace {

QStringList g_seen;

void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_seen << message;
}

Q_LOGGING_CATEGORY(lcHostile, "kestrova.test")

} // namespace

class TestLogLines : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void textMadePrintable_data();
    void textMadePrintable();
    void everyMessageGoesOutPrintable();
};

void TestLogLines::textMadePrintable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");
    QTest::newRow("plain stays") << QStringLiteral("Built-in Audio Analog Stereo, ünïcödé")
                                 << QStringLiteral("Built-in Audio Analog Stereo, ünïcödé");
    QTest::newRow("terminal escape") << QStringLiteral("Mic\x1b[2J\x1b]0;owned\x07")
                                     << QStringLiteral("Mic\\x1b[2J\\x1b]0;owned\\x07");
    QTest::newRow("forged line") << QStringLiteral("name\nkestrova.mail: password accepted\r")
                                 << QStringLiteral("name\\x0akestrova.mail: password accepted\\x0d");
    QTest::newRow("DEL and C1") << QString::fromUtf16(u"a\u007fb\u009bc") << QStringLiteral("a\\x7fb\\x9bc");
    QTest::newRow("right-to-left override")
        << QString::fromUtf16(u"report\u202Etxt.exe\u2066") << QStringLiteral("report\\u202etxt.exe\\u2066");
}

void TestLogLines::textMadePrintable()
{
    QFETCH(QString, text);
    QFETCH(QString, logged);
    QCOMPARE(printableLogText(text), logged);
}

// Through the handler the program installs in front of whatever handled
// messages before it: what reaches that handler is printable, from every
// kind of message, and installing twice does not loop.
void TestLogLines::everyMessageGoesOutPrintable()
{
    const QtMessageHandler before = qInstallMessageHandler(collect);
    installPrintableLogs();
    installPrintableLogs();
    g_seen.clear();
    const QString hostile = QStringLiteral("USB\x1b[31mMic\nfake line");
    // Unquoted, as the program logs names: Qt's quoting does not take part.
    qWarning().noquote() << hostile;
    qCInfo(lcHostile).noquote() << "microphone" << hostile;
    qDebug("%s", qPrintable(hostile));
    qInstallMessageHandler(before);
    QCOMPARE(g_seen.size(), 3);
    for (const QString &line : std::as_const(g_seen)) {
        QVERIFY2(!line.contains(QChar(0x1b)) && !line.contains(QLatin1Char('\n')), qPrintable(line));
        QVERIFY2(line.contains(QStringLiteral("USB\\x1b[31mMic\\x0afake line")), qPrintable(line));
    }
}

QTEST_GUILESS_MAIN(TestLogLines)
#include "test_log_lines.moc"
