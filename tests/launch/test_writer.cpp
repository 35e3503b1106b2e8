// The word processor's operations against a real LibreOffice Writer, run
// headless with a profile of its own.
#include "LibreOfficeWriter.h"
#include "SpeechText.h"
#include "TestRun.h"
#include "WordControls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

#include <csignal>

using namespace kestrova;
using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using kestrova::test::TestRun;

class TestWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void openShowsAWriterWindow();
    void newDocumentAddsOne();
    void readSelectionSpeaksTheSelectedText_data();
    void readSelectionSpeaksTheSelectedText();
    void readSelectionReadsOnlyTheSelectedPart();
    void readSelectionReachesTheOfficeRunning();
    void noDocumentOpenCannotBeAccessed();
    void officeGoneAfterOpen();

    void missingOfficeFailsOpen();
    void silentOfficeFailsWithinItsBound();
    void officeThatTakesTheConnectionFailsOpen_data();
    void officeThatTakesTheConnectionFailsOpen();
    void quitWhileTheOfficeKeepsItsAnswer();

private:
    QTemporaryDir m_dir;
    LibreOfficeWriter::Options m_options;
    std::unique_ptr<LibreOfficeWriter> m_writer;
    // The test's own connection to the same office, to look and to type.
    std::unique_ptr<LibreOfficeApplication> m_own;
    std::unique_ptr<TestRun> m_run;
    QList<qint64> m_launchers;
    TestRun &run() { return *m_run; }
    void restart(WordProcessor *processor);
    void settle(int milliseconds = 120000);
    int writerWindows();
    Reference<text::XTextDocument> currentDocument();
    QString hostileOffice(const QString &peer);
    QString hostilePids() const { return m_dir.filePath("hostile.pid"); }
    void endHostileOffices();
};

void TestWriter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    LibreOfficeWriter::Options options;
    options.extraArguments = {QStringLiteral("--headless"),
                              QStringLiteral("-env:UserInstallation=")
                                  + QUrl::fromLocalFile(m_dir.filePath("profile")).toString()};
    m_options = options;
    m_writer = std::make_unique<LibreOfficeWriter>(options);
}

void TestWriter::cleanupTestCase()
{
    m_run.reset();
    endHostileOffices(); // those of a case that failed half-way
    if (m_own) {
        try {
            m_own->desktop()->terminate();
        } catch (const uno::Exception &) {
        }
        m_launchers << m_own->launcherPid();
        m_own.reset();
    }
    // The office ends a moment after it is asked to; its profile is
    // removed with the temporary folder only after that.
    for (qint64 pid : m_launchers) {
        if (!QTest::qWaitFor([pid] { return ::kill(pid_t(pid), 0) != 0; }, 10000))
            qWarning() << "The office" << pid << "did not end; it is killed";
        ::kill(pid_t(pid), SIGKILL);
    }
}

void TestWriter::init()
{
    if (!m_run)
        restart(m_writer.get());
}

void TestWriter::restart(WordProcessor *processor)
{
    m_run.reset();
    m_run = std::make_unique<TestRun>(m_dir.filePath("settings"));
    AppContext context = m_run->app->context();
    context.platform.wordProcessor = processor;
    m_run->app = std::make_unique<Application>(context);
    m_run->settings.write("Kestrova", "Run", "Number", "4");
    m_run->app->Main();
    m_run->character().completeAll();
    m_run->character().log.clear();
}

void TestWriter::settle(int milliseconds)
{
    QVERIFY(run().app->wordControls().waitForIdle(milliseconds));
    QCoreApplication::sendPostedEvents();
}

int TestWriter::writerWindows()
{
    if (!m_own) {
        std::unique_ptr<WordApplication> own = m_writer->createApplication();
        m_own.reset(static_cast<LibreOfficeApplication *>(own.release()));
        if (!m_own)
            return -1;
    }
    int count = 0;
    try {
        Reference<container::XIndexAccess> frames(m_own->desktop()->getFrames(), UNO_QUERY);
        for (sal_Int32 i = 0; frames.is() && i < frames->getCount(); ++i) {
            Reference<frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY);
            Reference<frame::XController> controller = frame.is() ? frame->getController() : nullptr;
            if (controller.is() && Reference<text::XTextDocument>(controller->getModel(), UNO_QUERY).is())
                ++count;
        }
    } catch (const uno::Exception &) {
        // An office that is still starting or has just gone drops the
        // test's connection ("bridge disposed"); the next look connects anew.
        m_own.reset();
        return -1;
    }
    return count;
}

Reference<text::XTextDocument> TestWriter::currentDocument()
{
    if (writerWindows() < 0)
        return {};
    return Reference<text::XTextDocument>(m_own->desktop()->getCurrentComponent(), UNO_QUERY);
}

void TestWriter::openShowsAWriterWindow()
{
    run().app->wordControls().OpenWord();
    settle();
    QCOMPARE(run().log(), QStringList());
    QCOMPARE(writerWindows(), 1);
}

void TestWriter::newDocumentAddsOne()
{
    run().app->wordControls().NewDocument();
    settle();
    QCOMPARE(run().log(), QStringList({"Play Pleased", "Speak A new Word document has been created."}));
    QCOMPARE(writerWindows(), 2);
}

void TestWriter::readSelectionSpeaksTheSelectedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("a sentence") << "The kestrel hovers over the meadow.";
    QTest::newRow("accents and symbols") << QString::fromUtf8("Grüße, café — 20 °C & 5 € | or not \\ so");
}

void TestWriter::readSelectionSpeaksTheSelectedText()
{
    QFETCH(QString, text);
    Reference<text::XTextDocument> document = currentDocument();
    QVERIFY(document.is());
    // Insert the text and select all of it, as the user would.
    Reference<text::XText> body = document->getText();
    body->setString(toUno(text));
    Reference<frame::XModel> model(document, UNO_QUERY);
    Reference<view::XSelectionSupplier> selection(model->getCurrentController(), UNO_QUERY);
    Reference<text::XTextCursor> cursor = body->createTextCursor();
    cursor->gotoStart(false);
    cursor->gotoEnd(true);
    QVERIFY(selection->select(uno::Any(cursor)));

    run().character().log.clear();
    run().app->wordControls().ReadSelection();
    settle();
    const QStringList log = run().log();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log.at(0), QStringLiteral("Play Read"));
    QCOMPARE(log.at(2), QStringLiteral("Play ReadReturn"));
    QCOMPARE(log.at(1), QStringLiteral("Speak ") + text);
    const QString request = run().character().speech.last();
    QCOMPARE(character::parseSpeech(request).shown, text);
    QCOMPARE(character::parseSpeech(request).spoken, text);
}

void TestWriter::readSelectionReadsOnlyTheSelectedPart()
{
    Reference<text::XTextDocument> document = currentDocument();
    QVERIFY(document.is());
    Reference<text::XText> body = document->getText();
    body->setString(toUno("Kess reads only these words, not the rest."));
    Reference<text::XTextCursor> cursor = body->createTextCursor();
    cursor->gotoStart(false);
    cursor->goRight(5, false);
    cursor->goRight(22, true);
    Reference<view::XSelectionSupplier> selection(
        Reference<frame::XModel>(document, UNO_QUERY)->getCurrentController(), UNO_QUERY);
    QVERIFY(selection->select(uno::Any(cursor)));
    run().character().log.clear();
    run().app->wordControls().ReadSelection();
    settle();
    QCOMPARE(run().log(), QStringList({"Play Read", "Speak reads only these words", "Play ReadReturn"}));
}

// A run of the program that opened no office itself (the office was started
// otherwise: "open wordpad", the desktop's menu, here the run before) reads
// the selection of the office that runs.
void TestWriter::readSelectionReachesTheOfficeRunning()
{
    Reference<text::XTextDocument> document = currentDocument();
    QVERIFY(document.is());
    Reference<text::XText> body = document->getText();
    body->setString(toUno("The falcon stoops."));
    Reference<text::XTextCursor> cursor = body->createTextCursor();
    cursor->gotoStart(false);
    cursor->gotoEnd(true);
    Reference<view::XSelectionSupplier> selection(
        Reference<frame::XModel>(document, UNO_QUERY)->getCurrentController(), UNO_QUERY);
    QVERIFY(selection->select(uno::Any(cursor)));
    // A new run of the program, with a word processor of its own (the end
    // of the run before gave up its one).
    auto fresh = std::make_unique<LibreOfficeWriter>(m_options);
    restart(fresh.get());
    m_writer = std::move(fresh);
    run().app->wordControls().ReadSelection();
    settle();
    QCOMPARE(run().log(), QStringList({"Play Read", "Speak The falcon stoops.", "Play ReadReturn"}));
}

void TestWriter::noDocumentOpenCannotBeAccessed()
{
    // Every document closed, the office still running: nothing to read.
    // The test's own connection may be dropped under it as frames go (as
    // writerWindows() knows), or a frame be gone already: then look again
    // through a connection made anew.
    for (int attempt = 0; attempt < 3 && writerWindows() != 0; ++attempt) {
        QVERIFY(writerWindows() >= 0);
        try {
            Reference<container::XIndexAccess> frames(m_own->desktop()->getFrames(), UNO_QUERY);
            for (sal_Int32 i = frames->getCount() - 1; i >= 0; --i) {
                Reference<frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY);
                Reference<lang::XComponent>(frame, UNO_QUERY)->dispose();
            }
        } catch (const uno::Exception &e) {
            qInfo() << "Closing the office's windows:" << QString::fromUtf16(e.Message.getStr(), e.Message.getLength());
            m_own.reset();
        }
    }
    QCOMPARE(writerWindows(), 0);
    run().character().log.clear();
    run().app->wordControls().ReadSelection();
    settle();
    QCOMPARE(run().log(), QStringList({"Play Read", "Speak I was unable to access Word."}));
    // "Open" again brings a Writer window back in the same office.
    run().app->wordControls().OpenWord();
    settle();
    QCOMPARE(run().log().size(), 2);
    QCOMPARE(writerWindows(), 1);
}

void TestWriter::officeGoneAfterOpen()
{
    QVERIFY(writerWindows() >= 0);
    const qint64 launcher = m_own->launcherPid();
    try {
        m_own->desktop()->terminate();
    } catch (const uno::Exception &) {
        // The connection may go with the office before the answer comes.
    }
    m_own.reset();
    ::kill(pid_t(launcher), SIGKILL);
    // Until the office of this profile has really gone: a start while it
    // is still shutting down hands its pipe to the dying office (seen
    // under load, where a fixed second was not enough).
    const QString profile = m_dir.filePath("profile");
    QVERIFY(QTest::qWaitFor([&] { return QProcess::execute("pgrep", {"-f", profile}) == 1; }, 20000));
    run().character().log.clear();
    run().app->wordControls().ReadSelection();
    run().app->wordControls().NewDocument();
    settle();
    // Reading fails; a new document first fails on the dead instance, then
    // its handler starts the office again and adds one there.
    QCOMPARE(run().log(), QStringList({"Play Read", "Speak I was unable to access Word.", "Play Pleased",
                                       "Speak A new Word document has been created"}));
    // The test's own connection goes to the office the handler restarted;
    // under load that office may still be opening its pipe at the first look.
    QTRY_COMPARE_WITH_TIMEOUT(writerWindows(), 2, 60000);
}

void TestWriter::missingOfficeFailsOpen()
{
    LibreOfficeWriter::Options options;
    options.office = m_dir.filePath("no-such-office/soffice");
    LibreOfficeWriter missing(options);
    restart(&missing);
    run().app->wordControls().OpenWord();
    run().app->wordControls().NewDocument();
    settle(10000);
    QCOMPARE(run().log(), QStringList({"Speak I was unable to open Word", "Speak I was unable to open Word"}));
    m_run.reset();
}

void TestWriter::silentOfficeFailsWithinItsBound()
{
    // A start program that never opens its pipe.
    const QString program = m_dir.filePath("silent-office");
    const QString pidFile = m_dir.filePath("silent.pid");
    QFile script(program);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho $$ > '%1'\nexec sleep 30\n").arg(pidFile).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    LibreOfficeWriter::Options options;
    options.office = program;
    options.connectMilliseconds = 1500;
    LibreOfficeWriter silent(options);
    restart(&silent);
    QElapsedTimer clock;
    clock.start();
    run().app->wordControls().OpenWord();
    settle(15000);
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(clock.elapsed() >= 1500);
    QCOMPARE(run().log(), QStringList{"Speak I was unable to open Word"});
    QFile pid(pidFile);
    if (pid.open(QIODevice::ReadOnly))
        ::kill(pid_t(pid.readAll().trimmed().toLongLong()), SIGKILL);
    m_run.reset();
}

void TestWriter::officeThatTakesTheConnectionFailsOpen_data()
{
    // What the start program does with the connection it takes.
    QTest::addColumn<QString>("peer");
    // It stops reading at once: whatever the bridge writes next meets a
    // closed reader (a broken pipe), as with an office that goes away
    // while a call is on its way.
    QTest::newRow("stops reading") << QStringLiteral("peer.shutdown(socket.SHUT_RD); time.sleep(0.2)");
    // It reads everything and never answers, as a hung office does.
    QTest::newRow("never answers") << QStringLiteral("peer.recv(65536); time.sleep(60)");
}

// A start program that opens the pipe it is told to, as an office does,
// and does `peer` (Python) with each connection it takes. Beside it, the
// real office's runtime files, which the bridge needs.
QString TestWriter::hostileOffice(const QString &peer)
{
    [&] { QVERIFY(QDir(m_dir.path()).mkpath("hostile")); }();
    const QString program = m_dir.filePath("hostile/soffice");
    const QString real = QFileInfo(QStandardPaths::findExecutable("soffice")).canonicalPath();
    for (const QString &name : QDir(real).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        const QString link = m_dir.filePath("hostile/" + name);
        if (!name.startsWith("soffice") && !QFileInfo(link).isSymLink())
            QFile::link(real + '/' + name, link);
    }
    QFile script(program);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write(QStringLiteral("#!/usr/bin/python3\n"
                                "import os, re, socket, sys, time\n"
                                "open('%1', 'a').write('%d\\n' % os.getpid())\n"
                                "name = re.search(r'pipe,name=([^;]+);', ' '.join(sys.argv)).group(1)\n"
                                "server = socket.socket(socket.AF_UNIX)\n"
                                "path = '/tmp/OSL_PIPE_%d_%s' % (os.getuid(), name)\n"
                                "open('%1.sock', 'a').write(path + '\\n')\n"
                                "server.bind(path)\n"
                                "server.listen(5)\n"
                                "while True:\n"
                                "    peer, _ = server.accept()\n"
                                "    open('%1.taken', 'a').write('taken\\n')\n"
                                "    %2\n"
                                "    peer.close()\n")
                     .arg(hostilePids(), peer)
                     .toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    return program;
}

// Each start (the program tries twice) brought up an office of its own:
// all are ended, their pipes removed.
void TestWriter::endHostileOffices()
{
    QFile pids(hostilePids());
    if (pids.open(QIODevice::ReadOnly)) {
        for (const QByteArray &pid : pids.readAll().split('\n'))
            if (pid.toLongLong() > 0)
                ::kill(pid_t(pid.toLongLong()), SIGKILL);
    }
    QFile sockets(hostilePids() + ".sock");
    if (sockets.open(QIODevice::ReadOnly)) {
        for (const QByteArray &path : sockets.readAll().split('\n'))
            if (!path.isEmpty())
                QFile::remove(QString::fromLocal8Bit(path));
    }
    for (const char *suffix : {"", ".sock", ".taken"})
        QFile::remove(hostilePids() + suffix);
}

void TestWriter::officeThatTakesTheConnectionFailsOpen()
{
    QFETCH(QString, peer);
    LibreOfficeWriter::Options options;
    options.office = hostileOffice(peer);
    QVERIFY(!options.office.isEmpty());
    options.connectMilliseconds = 3000;
    LibreOfficeWriter hostile(options);
    restart(&hostile);
    QElapsedTimer clock;
    clock.start();
    run().app->wordControls().OpenWord();
    settle(20000);
    // Still here (a broken pipe would have ended the whole program), told
    // within the time an open is given (twice: a dropped connection is
    // tried once more), and free for the next command.
    QCOMPARE(run().log(), QStringList{"Speak I was unable to open Word"});
    QVERIFY2(clock.elapsed() < 2 * options.connectMilliseconds + 4000, qPrintable(QString::number(clock.elapsed())));
    m_run.reset();
    endHostileOffices();
}

void TestWriter::quitWhileTheOfficeKeepsItsAnswer()
{
    // The user quits while an open waits on an office that took the
    // connection and does not answer: the wait ends with the program,
    // which does not leave its word-processor thread behind.
    LibreOfficeWriter::Options options;
    options.office = hostileOffice(QStringLiteral("peer.recv(65536); time.sleep(120)"));
    QVERIFY(!options.office.isEmpty());
    options.connectMilliseconds = 60000;
    LibreOfficeWriter hostile(options);
    restart(&hostile);
    run().app->wordControls().OpenWord();
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(hostilePids() + ".taken"); }, 20000));
    QTest::qWait(300); // the first call is on its way
    QTest::failOnWarning(QRegularExpression("left behind"));
    QElapsedTimer clock;
    clock.start();
    m_run.reset();
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    endHostileOffices();
}

QTEST_MAIN(TestWriter)
#include "test_writer.moc"
