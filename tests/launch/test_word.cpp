#include "FrmMenus.h"
#include "FrmQuick.h"
#include "SpeechText.h"
#include "TestRun.h"
#include "UserModel.h"
#include "WordControls.h"
#include "WordProcessorModule.h"

#include <QAction>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWaitCondition>
#include <QMutex>
#include <QDeadlineTimer>

using namespace kestrova;
using kestrova::character::UserInput;
using kestrova::test::FakeWordProcessor;
using kestrova::test::TestRun;

namespace {

// Runs the word processor's steps in turn on the calling thread and writes
// the character's requests down as the recording character does.
class ListSink : public WordSink {
public:
    QStringList log;
    void Play(const QString &animation) override { log << "Play " + animation; }
    void Speak(const QString &text) override { log << "Speak " + character::speechForLog(text); }
};

} // namespace

class TestWord : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void operations_data();
    void operations();
    void selectedTextIsReadAsItStands_data();
    void selectedTextIsReadAsItStands();

    void operationsRunOffTheInterfaceThreadInOrder();
    void menusCommandsAndToolbarReachTheOperations();
    void shutDownReleasesWithoutAnyOtherCall();
    void quitDuringAnOfficeStartEndsTheThreadFirst();
    void missingModuleFailsOpenWord();
    void readSelectionAfterEveryStart_data();
    void readSelectionAfterEveryStart();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
    TestRun &run() { return *m_run; }
    FakeWordProcessor &words() { return run().platform.wordProcessor; }
    void start();
    // Waits for the queued operations, then delivers their requests.
    void settle();
};

void TestWord::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_run.reset();
    m_run = std::make_unique<TestRun>(m_dir->path() + "/settings");
}

void TestWord::start()
{
    run().settings.write("Kestrova", "Run", "Number", "4");
    run().app->Main();
    run().character().completeAll();
    run().character().log.clear();
}

void TestWord::settle()
{
    QVERIFY(run().app->wordControls().waitForIdle(5000));
    QCoreApplication::sendPostedEvents();
}

void TestWord::operations_data()
{
    // Steps: "open", "new", "read"; "!installed", "!visible", "!add",
    // "!selection" make the fake fail from then on.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("asked");
    const QString created = "Speak A new Word document has been created.";
    const QString createdByHandler = "Speak A new Word document has been created";
    const QString cannotOpen = "Speak I was unable to open Word";
    const QString cannotAccess = "Speak I was unable to access Word.";

    QTest::newRow("new document before open: opens, adds, the line without the full stop")
        << QStringList{"new"} << QStringList{"Play Pleased", createdByHandler}
        << QStringList{"create 1", "visible 1", "add 1"};
    QTest::newRow("new document after open: the line with the full stop")
        << QStringList{"open", "new"} << QStringList{"Play Pleased", created}
        << QStringList{"create 1", "visible 1", "add 1"};
    QTest::newRow("read before open, none running: Read, then the access line, no ReadReturn")
        << QStringList{"read"} << QStringList{"Play Read", cannotAccess} << QStringList{"connect failed"};
    QTest::newRow("read with one running that was started otherwise: it is read")
        << QStringList{"running", "read", "read"}
        << QStringList{"Play Read", "Speak the selected text", "Play ReadReturn", "Play Read",
                       "Speak the selected text", "Play ReadReturn"}
        << QStringList{"connect 1", "selection 1", "selection 1"};
    QTest::newRow("read after open")
        << QStringList{"open", "read"} << QStringList{"Play Read", "Speak the selected text", "Play ReadReturn"}
        << QStringList{"create 1", "visible 1", "selection 1"};
    QTest::newRow("open twice: two instances, the reference holds the second")
        << QStringList{"open", "open", "read"}
        << QStringList{"Play Read", "Speak the selected text", "Play ReadReturn"}
        << QStringList{"create 1", "visible 1", "create 2", "release 1", "visible 2", "selection 2"};
    QTest::newRow("not installed: open says so")
        << QStringList{"!installed", "open"} << QStringList{cannotOpen} << QStringList{"create failed"};
    QTest::newRow("not installed: new document says the open line only")
        << QStringList{"!installed", "new"} << QStringList{cannotOpen} << QStringList{"create failed"};
    QTest::newRow("a failed open keeps the instance opened before")
        << QStringList{"open", "!installed", "open", "read"}
        << QStringList{cannotOpen, "Play Read", "Speak the selected text", "Play ReadReturn"}
        << QStringList{"create 1", "visible 1", "create failed", "selection 1"};
    QTest::newRow("an instance that cannot be shown is still the one kept")
        << QStringList{"!visible", "open", "read"}
        << QStringList{cannotOpen, "Play Read", "Speak the selected text", "Play ReadReturn"}
        << QStringList{"create 1", "visible 1", "selection 1"};
    QTest::newRow("adding fails twice: the handler opens anew and ends without a word")
        << QStringList{"open", "!add", "new"} << QStringList{}
        << QStringList{"create 1", "visible 1", "add 1", "create 2", "release 1", "visible 2", "add 2"};
    QTest::newRow("adding fails once: the handler's second instance takes the document")
        << QStringList{"open", "!add", "new", "new"} << QStringList{}
        << QStringList{"create 1", "visible 1", "add 1", "create 2", "release 1", "visible 2", "add 2",
                       "add 2", "create 3", "release 2", "visible 3", "add 3"};
    QTest::newRow("the selection cannot be read, none other running")
        << QStringList{"open", "!selection", "read"} << QStringList{"Play Read", cannotAccess}
        << QStringList{"create 1", "visible 1", "selection 1", "connect failed"};
    QTest::newRow("the one opened cannot be read: the one running is asked")
        << QStringList{"open", "!selection", "running", "read"} << QStringList{"Play Read", cannotAccess}
        << QStringList{"create 1", "visible 1", "selection 1", "connect 2", "release 1", "selection 2"};
}

void TestWord::operations()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, said);
    QFETCH(QStringList, asked);
    // The steps as plain functions, and the same steps through the program's
    // own WordControls (on its thread, requests delivered to the character).
    for (int viaProgram = 0; viaProgram < 2; ++viaProgram) {
        init();
        start();
        FakeWordProcessor &fake = words();
        WordSession session;
        session.processor = &fake;
        ListSink sink;
        WordControls &controls = run().app->wordControls();
        for (const QString &step : steps) {
            if (step == "!installed")
                fake.installed = false;
            else if (step == "!visible")
                fake.visibleWorks = false;
            else if (step == "!add")
                fake.addWorks = false;
            else if (step == "!selection")
                fake.selection.reset();
            else if (step == "running")
                fake.running = true;
            else if (step == "open")
                viaProgram ? controls.OpenWord() : session.OpenWord(sink);
            else if (step == "new")
                viaProgram ? controls.NewDocument() : session.NewDocument(sink);
            else if (step == "read")
                viaProgram ? controls.ReadSelection() : session.ReadSelection(sink);
            // The switches apply to what comes after them.
            if (viaProgram)
                QVERIFY(controls.waitForIdle(5000));
        }
        settle();
        QCOMPARE(viaProgram ? run().log() : sink.log, said);
        QCOMPARE(fake.log, asked);
    }
}

void TestWord::selectedTextIsReadAsItStands_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("said"); // said and shown
    QTest::newRow("plain") << "The kestrel hovers." << "The kestrel hovers.";
    QTest::newRow("a bar is not a choice") << "either | or" << "either | or";
    QTest::newRow("bars at the ends") << "|a||b|" << "|a||b|";
    QTest::newRow("backslashes are not tags") << "C:\\Users\\kess\\Map=\"x\"=\"y\"\\"
                                              << "C:\\Users\\kess\\Map=\"x\"=\"y\"\\";
    QTest::newRow("doubled backslash") << "a \\\\ b" << "a \\\\ b";
    QTest::newRow("quotes") << "she said \"hello\"" << "she said \"hello\"";
    // Line breaks are spaces in the balloon's one paragraph.
    QTest::newRow("two paragraphs") << "first\nsecond" << "first second";
    QTest::newRow("escape sequences and an override")
        << QStringLiteral("\x1b[31mred\x1b[0m \u202etxt.exe\x07") << "red txt.exe";
    QTest::newRow("nothing selected") << "" << "";
}

void TestWord::selectedTextIsReadAsItStands()
{
    QFETCH(QString, selected);
    QFETCH(QString, said);
    start();
    words().selection = selected;
    run().app->wordControls().OpenWord();
    run().app->wordControls().ReadSelection();
    settle();
    const QStringList log = run().log();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log.at(1), QStringLiteral("Speak ") + said);
    const QString request = run().character().speech.last();
    // Whatever alternative the character would pick, it says and shows the
    // text as it stands.
    const QStringList alternatives = character::speechAlternatives(request);
    QCOMPARE(alternatives.size(), 1);
    const character::SpeechText speech = character::parseSpeech(request);
    QCOMPARE(speech.shown, said);
    QCOMPARE(speech.spoken, said);
}

void TestWord::operationsRunOffTheInterfaceThreadInOrder()
{
    // A word processor that takes its time: the interface thread goes on
    // while it starts, and what is asked meanwhile waits its turn.
    class SlowWordProcessor : public FakeWordProcessor {
    public:
        QThread *startedOn = nullptr;
        std::unique_ptr<WordApplication> createApplication() override
        {
            startedOn = QThread::currentThread();
            QThread::msleep(300);
            return FakeWordProcessor::createApplication();
        }
    } slow;
    AppContext context = run().app->context();
    context.platform.wordProcessor = &slow;
    run().app.reset();
    run().app = std::make_unique<Application>(context);
    start();
    WordControls &controls = run().app->wordControls();
    QElapsedTimer clock;
    clock.start();
    controls.OpenWord();
    controls.NewDocument();
    controls.ReadSelection();
    QVERIFY(clock.elapsed() < 200);
    QVERIFY(run().log().isEmpty());
    settle();
    QVERIFY(slow.startedOn && slow.startedOn != QThread::currentThread());
    QCOMPARE(slow.log, QStringList({"create 1", "visible 1", "add 1", "selection 1"}));
    QCOMPARE(run().log(), QStringList({"Play Pleased", "Speak A new Word document has been created.", "Play Read",
                                       "Speak the selected text", "Play ReadReturn"}));
    // The program goes before the word processor it holds.
    run().app.reset();
}

void TestWord::menusCommandsAndToolbarReachTheOperations()
{
    start();
    FrmMenus *menus = run().app->frmMenus();
    menus->MnuWordOpen->trigger();
    menus->MnuNewDoc->trigger();
    menus->MnuReadSel->trigger();
    settle();
    QCOMPARE(words().log, QStringList({"create 1", "visible 1", "add 1", "selection 1"}));

    words().log.clear();
    AgentForm &agent = run().agent();
    agent.AgentCtrl_Command(UserInput{"Word", 90, "open word"});
    agent.AgentCtrl_Command(UserInput{"New Document", 90, "open word doc"});
    agent.AgentCtrl_Command(UserInput{"Read Selection", 90, "read selection"});
    settle();
    QCOMPARE(words().log, QStringList({"create 2", "release 1", "visible 2", "add 2", "selection 2"}));

    words().log.clear();
    FrmQuick *quick = run().app->frmQuick();
    quick->Toolbar_ButtonClick("word");
    quick->Toolbar_ButtonMenuClick("run");
    quick->Toolbar_ButtonMenuClick("doc");
    quick->Toolbar_ButtonMenuClick("read");
    settle();
    QCOMPARE(words().log, QStringList({"create 3", "release 2", "visible 3", "create 4", "release 3", "visible 4",
                                       "add 4", "selection 4"}));
}

void TestWord::shutDownReleasesWithoutAnyOtherCall()
{
    QSignalSpy finished(run().app.get(), &Application::finished);
    start();
    run().app->wordControls().OpenWord();
    settle();
    words().log.clear();
    run().agent().AgentCtrl_Command(UserInput{"Quit", 80, "quit"});
    run().character().completeAll();
    QCOMPARE(finished.count(), 1);
    QVERIFY(run().app->wordControls().waitForIdle(5000));
    QCOMPARE(words().log, QStringList{"release 1"});
}

// A word processor whose start waits, on the operations' thread, until the
// test lets it go or the program gives the start up.
class BlockingWordProcessor : public FakeWordProcessor {
public:
    std::unique_ptr<WordApplication> createApplication() override
    {
        QMutexLocker lock(&m_mutex);
        entered = true;
        m_changed.wakeAll();
        while (!letGo && !abandoned)
            m_changed.wait(&m_mutex);
        std::unique_ptr<WordApplication> app;
        if (!abandoned) {
            lock.unlock();
            app = FakeWordProcessor::createApplication();
            lock.relock();
        }
        returned = true;
        m_changed.wakeAll();
        return app;
    }
    void abandon() override
    {
        QMutexLocker lock(&m_mutex);
        abandoned = true;
        m_changed.wakeAll();
    }
    void release()
    {
        QMutexLocker lock(&m_mutex);
        letGo = true;
        m_changed.wakeAll();
    }
    // Waits (bounded) until the flag is set; its value then.
    bool waitFor(const bool &flag)
    {
        QMutexLocker lock(&m_mutex);
        QDeadlineTimer deadline(10000);
        while (!flag && m_changed.wait(&m_mutex, deadline)) {
        }
        return flag;
    }
    bool gaveUp()
    {
        QMutexLocker lock(&m_mutex);
        return returned && abandoned;
    }
    bool entered = false, letGo = false, abandoned = false, returned = false;

private:
    QMutex m_mutex;
    QWaitCondition m_changed;
};

void TestWord::quitDuringAnOfficeStartEndsTheThreadFirst()
{
    BlockingWordProcessor blocking;
    AppContext context = run().app->context();
    context.platform.wordProcessor = &blocking;
    run().app.reset();
    run().app = std::make_unique<Application>(context);
    QSignalSpy finished(run().app.get(), &Application::finished);
    start();
    run().app->wordControls().OpenWord();
    QVERIFY(blocking.waitFor(blocking.entered));
    // The user quits while the office is still starting.
    run().agent().AgentCtrl_Command(UserInput{"Quit", 80, "quit"});
    run().character().completeAll();
    QCOMPARE(finished.count(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    run().app.reset();
    // The start had given up and its thread was done before the program
    // went; no office was made for a program that had ended.
    const bool gaveUp = blocking.gaveUp();
    // Whatever happened, the double outlives its last caller.
    blocking.release();
    QVERIFY(blocking.waitFor(blocking.returned));
    QVERIFY(gaveUp);
    QCOMPARE(blocking.created, 0);
}

void TestWord::missingModuleFailsOpenWord()
{
    // The program's own loader, pointed at a folder without the module.
    WordProcessorModule module({m_dir->path()});
    AppContext context = run().app->context();
    context.platform.wordProcessor = &module;
    run().app.reset();
    run().app = std::make_unique<Application>(context);
    start();
    run().app->wordControls().NewDocument();
    run().app->wordControls().ReadSelection();
    settle();
    QCOMPARE(run().log(), QStringList({"Speak I was unable to open Word", "Play Read",
                                       "Speak I was unable to access Word."}));
    run().app.reset();
}

// Read selection after each command that starts the word processor, asked
// the way the user asks: "open word" and "open word doc" start it here;
// "open wordpad" (Writer, as the accessory) and an office program of the
// user's start it as a program of its own, which runs then.
void TestWord::readSelectionAfterEveryStart_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("startedHere");
    QTest::newRow("open word") << "Word" << true;
    QTest::newRow("open word doc") << "New Document" << true;
    QTest::newRow("open wordpad") << "Wordpad" << false;
    QTest::newRow("the first office program") << "Writer" << false;
}

void TestWord::readSelectionAfterEveryStart()
{
    QFETCH(QString, command);
    QFETCH(bool, startedHere);
    start();
    run().app->model().setSlot(UserModel::List::Office, 0, {"Writer", "/usr/bin/lowriter"});
    run().agent().AgentCtrl_Command(UserInput{command, 100, command});
    words().running = !startedHere;
    settle();
    run().character().log.clear();
    run().agent().AgentCtrl_Command(UserInput{"Read Selection", 100, "read selection"});
    settle();
    QCOMPARE(run().log(), QStringList({"Play Read", "Speak the selected text", "Play ReadReturn"}));

    // Once the word processor is gone as well, the character says so and
    // the log says why.
    init();
    start();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("selection could not be read"));
    run().agent().AgentCtrl_Command(UserInput{"Read Selection", 100, "read selection"});
    settle();
    QCOMPARE(run().log(), QStringList({"Play Read", "Speak I was unable to access Word."}));
}

QTEST_MAIN(TestWord)
#include "test_word.moc"
