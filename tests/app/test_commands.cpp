#include "CommandRows.h"
#include "CommandTable.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmQuick.h"
#include "TestRun.h"
#include "UserModel.h"
#include "VoiceGrammar.h"

#include <QAction>
#include <QLineEdit>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova;
using kestrova::character::UserInput;
using kestrova::test::TestRun;

class TestCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void registration();
    void registeredInTheRowsOrder();
    void everyRowAsRegistered_data();
    void everyRowAsRegistered();
    void guardedThreshold_data();
    void guardedThreshold();
    void fourWeakInputs();
    void keptPromptIsFollowedUp();
    void namesCompareExactly();
    void quitRunsTheFarewell();
    void helpWithAndWithoutTheFile();
    void helpChoosesBookOrPages_data();
    void helpChoosesBookOrPages();
    void moveToMouse();

    void clicks();
    void tourMenu();
    void jokeTimer();
    void jokeTimerOffThenOn();
    void everyPathRunsTheOneAction();
    void typedThroughTheTable_data();
    void typedThroughTheTable();
    void everyListedPhraseRunsItsCommand();
    void sentencesThatAreNoCommand();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
    TestRun &run() { return *m_run; }
    QStringList startAndClear();
};

void TestCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_run.reset();
    m_run = std::make_unique<TestRun>(m_dir->path() + "/settings", "Kess", m_dir->path());
}

QStringList TestCommands::startAndClear()
{
    run().app->Main();
    run().character().completeAll();
    run().character().log.clear();
    return {};
}

void TestCommands::registration()
{
    run().app->agentForm();
    const auto &commands = run().character().commands();
    // With no list files the office and favourite names are empty and
    // refused: 36 - 11 commands are registered, and the three questions
    // after them. Nothing stored chooses an accessory, so the options
    // window's load disables those four.
    QCOMPARE(commands.count(), 28);
    QStringList names, menu, disabled;
    for (const auto &c : commands.all()) {
        names << c.name;
        if (c.visible)
            menu << c.name;
        if (!c.enabled)
            disabled << c.name;
    }
    QCOMPARE(disabled, QStringList({"Calculator", "CD Player", "Notepad", "Wordpad"}));
    QCOMPARE(menu, QStringList({"General", "Accessories", "My Office", "Internet", "Quit", "Help"}));
    QCOMPARE(names.mid(18, 2), QStringList({"Wordpad", "Word"}));
    QCOMPARE(names.mid(24), QStringList({"NewMail", "Read Selected Text", "What Time", "What Date"}));
    QCOMPARE(commands.item("ChangeAgent")->caption, QString("Change Agent"));
    QCOMPARE(commands.item("NewMail")->caption, QString("New Mail"));
    QCOMPARE(commands.item("Word")->caption, QString("Open Word"));
    QCOMPARE(commands.item("Check Mail")->voice, QString("[check][e]mail"));
    for (const QString n : {"General", "Accessories", "My Office", "Internet", "Quit", "Help", "MovetoMouse"}) {
        QCOMPARE(commands.item(n)->confidence, -60);
        QCOMPARE(commands.item(n)->confidenceText, QString("I didn't understand your request"));
    }
    // Those that start a program or quit are heard only on strong evidence.
    QStringList strict;
    for (const auto &c : commands.all())
        if (c.strict)
            strict << c.name;
    QCOMPARE(strict, QStringList({"Quit", "Help", "Calculator", "CD Player", "Notepad", "Wordpad", "Word",
                                  "New Document", "NewMail"}));
    // Each says what it does, for the commands window.
    for (const auto &c : commands.all())
        QVERIFY2(c.description.endsWith(u'.') && !c.description.startsWith(c.caption + u'.'), qPrintable(c.name));
    QVERIFY(commands.item("MovetoMouse")->description.contains("mouse pointer"));
    QCOMPARE(commands.item("aco")->confidence, 0);
    QVERIFY(commands.item("aco")->confidenceText.isEmpty());
    QVERIFY(commands.visible());
    QCOMPARE(commands.caption(), QString("Kestrova"));

    // With names given, they take their places in the table.
    const auto table = commandTable(run().app->actions(), "Spreadsheet", {"News", "Weather"});
    QCOMPARE(table.size(), 39);
    QCOMPARE(table.at(19).name, QString("Spreadsheet"));
    QCOMPARE(table.at(19).voice, QString("Spreadsheet"));
    QCOMPARE(table.at(26).caption, QString("News"));
    QCOMPARE(table.at(27).name, QString("Weather"));
    QVERIFY(table.at(19).drastic && table.at(26).drastic);
    QCOMPARE(table.at(19).description, QString("Starts Spreadsheet, the first of your office programs."));
    QCOMPARE(table.at(26).description, QString("Opens News, one of your favourite sites."));
    QCOMPARE(table.at(36).name, QString("Read Selected Text"));
    QCOMPARE(table.at(38).caption, QString("What's the Date"));
}

void TestCommands::registeredInTheRowsOrder()
{
    // One site and one office program in the user's lists: the first office
    // program comes before "Word", the sites after "NewMail", each named,
    // captioned and voiced by its own name; otherwise the registered
    // commands are the fixed rows exactly: none missing, none added, none
    // moved.
    const QString data = m_dir->path() + "/settings/data/";
    QVERIFY(QDir().mkpath(data));
    for (const auto &[file, text] : {std::pair{"favourites.txt", "News\r\nhttps://news.example.org/\r\n"},
                                     std::pair{"Office.txt", "Spreadsheet\r\n/usr/bin/spreadsheet\r\n"}}) {
        QFile f(data + file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    startAndClear();
    QStringList registered, expected;
    for (const auto &c : run().character().commands().all())
        registered << c.name;
    for (const kestrova::test::CommandRow &row : kestrova::test::commandRows()) {
        if (row.name == u"Word")
            expected << "Spreadsheet";
        expected << row.name;
        if (row.name == u"NewMail")
            expected << "News";
    }
    QCOMPARE(registered, expected);

    QStringList ran;
    run().app->actions().setObserver([&ran](const QString &id, Asked) { ran << id; });
    for (const QString name : {"Spreadsheet", "News"}) {
        const character::Command *c = run().character().commands().item(name);
        QCOMPARE(c->caption, name);
        QCOMPARE(c->voice, name);
        QVERIFY(c->enabled && !c->visible && c->strict);
        QCOMPARE(c->confidence, 0);
        run().agent().AgentCtrl_Command(UserInput{name, 100, name});
    }
    QCOMPARE(ran, QStringList({"office:0", "favourite:0"}));
}

void TestCommands::everyRowAsRegistered_data()
{
    QTest::addColumn<int>("row");
    const QList<kestrova::test::CommandRow> &rows = kestrova::test::commandRows();
    for (int k = 0; k < rows.size(); ++k)
        QTest::newRow(qPrintable(rows.at(k).name)) << k;
}

void TestCommands::everyRowAsRegistered()
{
    QFETCH(int, row);
    const kestrova::test::CommandRow &want = kestrova::test::commandRows().at(row);
    startAndClear();
    const character::Command *c = run().character().commands().item(want.name);
    QVERIFY2(c, "not registered");
    QCOMPARE(c->caption, want.caption);
    QCOMPARE(c->voice, want.voice);
    QCOMPARE(c->visible, want.inMenu);
    QCOMPARE(c->strict, want.strict);
    QCOMPARE(c->confidence, want.guarded ? kestrova::test::GuardedRowConfidence : 0);
    QCOMPARE(c->confidenceText, want.guarded ? kestrova::test::GuardedRowText : QString());
    QVERIFY(c->enabled || QStringList({"Calculator", "CD Player", "Notepad", "Wordpad"}).contains(want.name));

    // What it runs when the character reports it, said with confidence.
    QStringList ran;
    run().app->actions().setObserver([&ran](const QString &id, Asked) { ran << id; });
    run().agent().AgentCtrl_Command(UserInput{want.name, 100, want.voice});
    QCOMPARE(ran, QStringList{want.runs});
    QTRY_VERIFY(!run().app->mailWatch().checking());
}

void TestCommands::guardedThreshold_data()
{
    QTest::addColumn<int>("confidence");
    QTest::addColumn<bool>("runs");
    QTest::newRow("-100") << -100 << false;
    QTest::newRow("-60") << -60 << false;
    QTest::newRow("-59") << -59 << true;
    QTest::newRow("100") << 100 << true;
}

void TestCommands::guardedThreshold()
{
    QFETCH(int, confidence);
    QFETCH(bool, runs);
    startAndClear();
    run().agent().AgentCtrl_Command(UserInput{"MovetoMouse", confidence, "go to mouse"});
    if (runs)
        QCOMPARE(run().log(), QStringList{"MoveTo -20 300"});
    else
        QCOMPARE(run().log(), QStringList({"Listen false", "Play DontRecognize", "Speak Huh?|What?|Say Again?"}));
}

void TestCommands::fourWeakInputs()
{
    startAndClear();
    AgentForm &agent = run().agent();
    const UserInput weak{"", -100, "xyzzy"};
    agent.AgentCtrl_Command(weak);
    agent.AgentCtrl_Command(weak);
    agent.AgentCtrl_Command(weak);
    agent.AgentCtrl_Command(weak);
    QCOMPARE(run().log(), QStringList({
        "Listen false", "Play DontRecognize", "Speak Huh?|What?|Say Again?",
        "Listen false", "Play Decline", "Speak Can you say that again?|What was that?|once more please.",
        "Listen false", "Play StartListening", "Listen true",
        "Listen false"}));
    QCOMPARE(agent.RetryCount, 3);
}

void TestCommands::keptPromptIsFollowedUp()
{
    startAndClear();
    AgentForm &agent = run().agent();
    agent.AgentCtrl_Command(UserInput{"", -100, "xyzzy"});
    auto &c = run().character();
    QCOMPARE(agent.SpeechInputRequest, c.pendingRequest("Speak Huh?|What?|Say Again?"));
    c.completeAll();
    QCOMPARE(c.log.last(), QString("Speak Better try that again."));
    // The follow-up is not a prompt of its own: completing it adds nothing.
    QCOMPARE(c.log.count("Speak Better try that again."), 1);
}

void TestCommands::namesCompareExactly()
{
    startAndClear();
    run().agent().AgentCtrl_Command(UserInput{"quit", 100, "quit"});
    run().agent().AgentCtrl_Command(UserInput{"Quit ", 100, "quit"});
    QVERIFY(run().log().isEmpty());
}

void TestCommands::quitRunsTheFarewell()
{
    QSignalSpy finished(run().app.get(), &Application::finished);
    startAndClear();
    run().agent().AgentCtrl_Command(UserInput{"Quit", 80, "quit"});
    QCOMPARE(run().log(), QStringList({"StopAll", "Speak Goodbye ", "Hide"}));
    run().character().completeAll();
    QCOMPARE(finished.count(), 1);
}

void TestCommands::helpWithAndWithoutTheFile()
{
    startAndClear();
    run().agent().AgentCtrl_Command(UserInput{"Help", 100, "help"});
    QCOMPARE(run().log(), QStringList({"Play Sad", "Speak I could not find the help file. See the readme "
                                                   "file for information on downloading the help file."}));
    QVERIFY(run().platform.shell.opened.isEmpty());

    const QString help = m_dir->path() + "/Kestrova_Help.chm";
    QFile f(help);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    run().character().log.clear();
    run().agent().AgentCtrl_Command(UserInput{"Help", 100, "help"});
    QVERIFY(run().log().isEmpty());
    QCOMPARE(run().platform.shell.opened, QStringList{help});
    QCOMPARE(run().platform.shell.asked, QStringList{help});
}

void TestCommands::helpChoosesBookOrPages_data()
{
    QTest::addColumn<bool>("compiled");
    QTest::addColumn<bool>("pages");
    QTest::addColumn<bool>("handler");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("said");
    const QString chm = "@/Kestrova_Help.chm", html = "@/help/index.html";
    const QStringList none;
    const QString sad = "Play Sad";
    const QString notFound = "Speak I could not find the help file. See the readme file for information on "
                             "downloading the help file.";
    QTest::newRow("book with a viewer") << true << true << true << true << QStringList{chm} << none;
    QTest::newRow("book without a viewer") << true << true << false << true << QStringList{html} << none;
    QTest::newRow("pages only") << false << true << true << true << QStringList{html} << none;
    QTest::newRow("pages only, no viewer either") << false << true << false << true << QStringList{html} << none;
    // The desktop's opener may still show a book nothing claims.
    QTest::newRow("book only, no viewer") << true << false << false << true << QStringList{chm} << none;
    QTest::newRow("neither") << false << false << true << true << none << QStringList{sad, notFound};
    // A viewer that fails to start leaves the pages.
    QTest::newRow("book fails, pages fail") << true << true << true << false << QStringList{chm, html}
                                            << QStringList{"Speak I couldn't open that. Its program would not start."};
    QTest::newRow("pages fail") << false << true << true << false << QStringList{html}
                                << QStringList{"Speak I couldn't open that. Its program would not start."};
}

void TestCommands::helpChoosesBookOrPages()
{
    QFETCH(bool, compiled);
    QFETCH(bool, pages);
    QFETCH(bool, handler);
    QFETCH(bool, opens);
    QFETCH(QStringList, opened);
    QFETCH(QStringList, said);
    const QString dir = m_dir->path();
    auto touch = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
    };
    if (compiled)
        QVERIFY(touch(dir + "/Kestrova_Help.chm"));
    if (pages) {
        QVERIFY(QDir().mkpath(dir + "/help"));
        QVERIFY(touch(dir + "/help/index.html"));
    }
    // A folder of that name is no book.
    if (!compiled)
        QVERIFY(QDir().mkpath(dir + "/Kestrova_Help.chm"));
    startAndClear();
    if (!handler)
        run().platform.shell.unhandled = QStringList{".chm", ".html"};
    run().platform.shell.succeeds = opens;
    run().agent().AgentCtrl_Command(UserInput{"Help", 100, "show help"});
    opened.replaceInStrings("@", dir);
    QCOMPARE(run().platform.shell.opened, opened);
    QCOMPARE(run().log(), said);
}

void TestCommands::moveToMouse()
{
    startAndClear();
    run().platform.mousePointer.where = QPoint(50, 300);
    run().agent().AgentCtrl_Command(UserInput{"MovetoMouse", 100, "follow mouse"});
    run().platform.mousePointer.where = QPoint(32767 + 70, 5);
    run().agent().AgentCtrl_Command(UserInput{"MovetoMouse", 100, "follow mouse"});
    run().platform.mousePointer.where = QPoint(32837, 5); // x - 70 = 32767 still fits
    run().agent().AgentCtrl_Command(UserInput{"MovetoMouse", 100, "follow mouse"});
    run().platform.mousePointer.where = QPoint(32838, 5); // does not
    run().agent().AgentCtrl_Command(UserInput{"MovetoMouse", 100, "follow mouse"});
    QCOMPARE(run().log(), QStringList({"MoveTo -20 300", "MoveTo 32767 5", "MoveTo 32767 5"}));
}

void TestCommands::clicks()
{
    run().app->Main();
    auto &c = run().character();
    QVERIFY(c.pending.size() > 1);
    c.log.clear();
    // A left click silences the character: the queue is gone. The tour
    // offer in it reports all the same, and its menu comes.
    Q_EMIT c.click(1, 0, 10, 10);
    QCOMPARE(c.log, QStringList({"StopAll", "GestureAt 50 300"}));
    QCOMPARE(c.pending.size(), 1);
    QTRY_VERIFY(run().agent().MnuTour->isVisible());
    run().agent().MnuTour->hide();
    Q_EMIT c.click(2, 0, 10, 10);
    Q_EMIT c.dblClick(2, 0, 10, 10);
    Q_EMIT c.dblClick(1, 0, 10, 10);
    QCOMPARE(c.log, QStringList({"StopAll", "GestureAt 50 300", "Play Alert", "Listen true"}));
}

void TestCommands::tourMenu()
{
    run().platform.mousePointer.where = QPoint(120, 90);
    run().app->Main();
    auto &c = run().character();
    AgentForm &agent = run().agent();
    QVERIFY(!agent.MnuTour->isVisible());
    c.completeAll();
    QCOMPARE(c.log.last(), QString("GestureAt 120 90"));
    QVERIFY(agent.MnuTour->isVisible());
    QCOMPARE(agent.MnuTour->actions().size(), 2);
    QCOMPARE(agent.MnuYes->text(), QString("Yes"));
    agent.MnuTour->hide();
    c.log.clear();
    agent.MnuNo->trigger();
    QCOMPARE(c.log, QStringList({"Play Sad", "Speak You can see the tour anytime by selecting tour from my general menu."}));
}

void TestCommands::jokeTimer()
{
    QFile jokes(m_dir->path() + "/JOKES.TXT");
    QVERIFY(jokes.open(QIODevice::WriteOnly));
    jokes.write("Only joke\r\n");
    jokes.close();
    run().app->model().setJokesOn(true);
    startAndClear();
    JokeWatch &watch = run().app->jokeWatch();
    QVERIFY(watch.running());
    // A minute's timer; a coarse one may be moved up to 5 % later to share
    // a wake-up with others.
    QVERIFY2(watch.remainingMs() > 50000 && watch.remainingMs() <= 63000, qPrintable(QString::number(watch.remainingMs())));
    QList<int> minutesWithJoke;
    for (int minute = 1; minute <= 16; ++minute) {
        run().character().log.clear();
        watch.tick();
        if (run().log().contains("Speak Only joke"))
            minutesWithJoke << minute;
    }
    QCOMPARE(minutesWithJoke, QList<int>({5, 10, 15}));
}

void TestCommands::jokeTimerOffThenOn()
{
    QFile jokes(m_dir->path() + "/JOKES.TXT");
    QVERIFY(jokes.open(QIODevice::WriteOnly));
    jokes.write("A\nB\n");
    jokes.close();
    startAndClear();
    AgentForm &agent = run().agent();
    JokeWatch &watch = run().app->jokeWatch();
    run().app->model().setJokesOn(false);
    for (int minute = 1; minute <= 30; ++minute)
        watch.tick();
    QVERIFY(run().log().isEmpty());
    QCOMPARE(watch.JokeTicks, qint16(4));
    run().app->model().setJokesOn(true);
    watch.tick();
    QCOMPARE(run().log().first(), QString("Play GetAttention"));
    QCOMPARE(watch.JokeTicks, qint16(0));
    // Unloading stops the timer.
    agent.UnloadForms();
    QVERIFY(!watch.running());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A typed command, a menu entry and a toolbar button for the same thing run
// the one action registered for it; only the mail check's server test tells
// the menu's path from the spoken one.
void TestCommands::everyPathRunsTheOneAction()
{
    startAndClear();
    QList<QPair<QString, Asked>> ran;
    run().app->actions().setObserver([&ran](const QString &id, Asked asked) { ran.append({id, asked}); });
    AgentForm &agent = run().agent();
    FrmMenus *menus = run().app->frmMenus();
    FrmQuick *toolbar = run().app->frmQuick();
    using Ran = QList<QPair<QString, Asked>>;

    // "Options": spoken, the General menu's entry, the settings button.
    agent.AgentCtrl_Command(UserInput{"Options", 100, "options"});
    QVERIFY(run().app->frmMain()->isVisible());
    run().app->frmMain()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    menus->MnuOptions->trigger();
    QVERIFY(run().app->frmMain()->isVisible());
    run().app->frmMain()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    toolbar->Toolbar_ButtonClick("settings");
    QVERIFY(run().app->frmMain()->isVisible());
    QCOMPARE(ran, (Ran{{"Options", Asked::Spoken}, {"Options", Asked::FromMenu}, {"Options", Asked::FromMenu}}));
    run().app->frmMain()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // "Check Mail" without a server: said, it checks anyway; from the
    // Internet menu and the toolbar's mail item the character complains.
    ran.clear();
    run().character().log.clear();
    agent.AgentCtrl_Command(UserInput{"Check Mail", 100, "check mail"});
    QCOMPARE(run().log().value(0), QString("Think I'll just check the mail"));
    QTRY_VERIFY(!run().app->mailWatch().checking());
    run().character().log.clear();
    menus->MnuCheckMail->trigger();
    toolbar->Toolbar_ButtonMenuClick("mail");
    const QStringList complaint{"Play Sad", "Speak I was unable to find your e-mail settings."};
    QCOMPARE(run().log(), complaint + complaint);
    QCOMPARE(ran, (Ran{{"Check Mail", Asked::Spoken}, {"Check Mail", Asked::FromMenu}, {"Check Mail", Asked::FromMenu}}));
    // With a server typed (not saved) the toolbar's item checks.
    run().app->frmMain()->TxtServer->setText("pop.example.org");
    run().character().log.clear();
    toolbar->Toolbar_ButtonMenuClick("mail");
    QCOMPARE(run().log().value(0), QString("Think I'll just check the mail"));
    QTRY_VERIFY(!run().app->mailWatch().checking());

    // A favourite: its spoken name and its Favourites entry; an office
    // program: its entry, reached from the toolbar's "My Office" item too.
    UserModel &model = run().app->model();
    model.setSlot(UserModel::List::Favourites, 0, {"News", "https://news.example.org/"});
    model.setSlot(UserModel::List::Office, 0, {"Sheets", "/opt/tools/sheets"});
    model.showList(UserModel::List::Favourites);
    model.showList(UserModel::List::Office);
    ran.clear();
    run().platform.shell.opened.clear();
    agent.AgentCtrl_Command(UserInput{"News", 100, "news"});
    menus->MnuCustom[0]->trigger();
    toolbar->Toolbar_ButtonMenuClick("myoffice");
    QVERIFY(menus->MnuMyOffice->isVisible());
    menus->MnuMyOffice->hide();
    menus->MnuOffice[0]->trigger();
    agent.AgentCtrl_Command(UserInput{"Sheets", 100, "sheets"});
    QCOMPARE(ran, (Ran{{"favourite:0", Asked::Spoken}, {"favourite:0", Asked::FromMenu},
                       {"My Office", Asked::FromMenu}, {"office:0", Asked::FromMenu}, {"office:0", Asked::Spoken}}));
    QCOMPARE(run().platform.shell.opened, (QStringList{"https://news.example.org/", "https://news.example.org/",
                                                       "/opt/tools/sheets", "/opt/tools/sheets"}));
    run().app->actions().setObserver(nullptr);
}

// Typed phrases through the program's own command list (every module's
// registered actions), the matcher that reads what the user types, and the
// dispatch, with the clock at 9:05 in the evening of Wednesday 9 December
// 2026: the questions are answered in the greeting's words, and their words
// take no phrase from the commands beside them.
void TestCommands::typedThroughTheTable_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("log");
    const QStringList time{"Speak The time is 9:05 PM"};
    const QStringList date{"Speak Today is " + QLocale::system().dayName(3) + " "
                           + QLocale::system().standaloneMonthName(12) + " 9th, 2026"};
    QTest::newRow("what time is it") << "What time is it?" << "What Time" << time;
    QTest::newRow("what's the time") << "what's the time" << "What Time" << time;
    QTest::newRow("tell me the time") << "tell me the time" << "What Time" << time;
    QTest::newRow("what's the date") << "What's the date?" << "What Date" << date;
    QTest::newRow("what day is it") << "what day is it" << "What Date" << date;
    QTest::newRow("what is the date today") << "what is the date today" << "What Date" << date;
    QTest::newRow("read this") << "read this" << "Read Selected Text" << QStringList{"Play Read", "Speak selected words"};
    QTest::newRow("open the calendar") << "open the calendar" << "Calender" << QStringList();
    QTest::newRow("set the alarm") << "set the alarm" << "Alarm" << QStringList();
    QTest::newRow("check the mail") << "check the mail" << "Check Mail" << QStringList();
}

void TestCommands::typedThroughTheTable()
{
    QFETCH(QString, phrase);
    QFETCH(QString, action);
    QFETCH(QStringList, log);
    run().platform.clock.time = QDateTime(QDate(2026, 12, 9), QTime(21, 5));
    run().platform.clipboard.selection = "selected words";
    startAndClear();
    // As the listening prompt matches: every command with a voice, the
    // enabled ones taking part.
    character::CommandMatcher matcher;
    QStringList enabled;
    for (const character::Command &c : run().character().commands().all()) {
        if (!c.voice.isEmpty())
            matcher.add(c.name, c.voice);
        if (c.enabled)
            enabled << c.name;
    }
    const auto match = matcher.match(phrase, enabled);
    QStringList ran;
    run().app->actions().setObserver([&ran](const QString &id, Asked) { ran << id; });
    run().agent().AgentCtrl_Command(UserInput{match.name, match.confidence, phrase});
    QCOMPARE(ran, QStringList{action});
    // What the character said, where the action is a sentence; the windows'
    // own behaviour is tested elsewhere.
    if (!log.isEmpty())
        QCOMPARE(run().log(), log);
}

// The commands the character knows, as the listening prompt matches them:
// every one with a voice, all of them enabled.
static character::CommandMatcher matcherOf(const QList<character::Command> &commands, QStringList *names)
{
    character::CommandMatcher matcher;
    for (const character::Command &c : commands)
        if (!c.voice.isEmpty() && matcher.add(c.name, c.voice))
            *names << c.name;
    return matcher;
}

// Each phrase the commands window lists for a command (each sentence of its
// voice), typed into the listening prompt, runs that command, or the one
// listed before it that says exactly the same ("mail"), and does what the
// command is there for.
void TestCommands::everyListedPhraseRunsItsCommand()
{
    UserModel &model = run().app->model();
    startAndClear();
    model.setSlot(UserModel::List::Favourites, 0, {"News", "https://news.example.org/"});
    QStringList names;
    const QList<character::Command> commands = run().character().commands().all();
    const character::CommandMatcher matcher = matcherOf(commands, &names);
    QVERIFY(names.contains("aco"));
    QStringList ran;
    run().app->actions().setObserver([&ran](const QString &id, Asked) { ran << id; });
    int phrases = 0;
    for (const character::Command &c : commands) {
        const auto grammar = character::parseVoiceGrammar(c.voice);
        if (c.voice.isEmpty() || !grammar.ok())
            continue;
        for (QStringList sentence : character::grammarSentences(*grammar.root)) {
            sentence.removeAll("...");
            const QString phrase = sentence.join(' ');
            QString expected = c.name;
            for (const character::Command &before : commands) {
                const auto other = character::parseVoiceGrammar(before.voice);
                if (other.ok() && character::grammarDistance(*other.root, character::normalisePhrase(phrase)) == 0) {
                    expected = before.name;
                    break;
                }
            }
            const auto match = matcher.match(phrase, names);
            const QString what = QStringLiteral("\"%1\" gave %2 (%3)").arg(phrase, match.name).arg(match.confidence);
            QVERIFY2(match.name == expected, qPrintable(what));
            // Quitting is tested on its own; the run goes on here.
            if (match.name == u"Quit")
                continue;
            ran.clear();
            run().service.calls.clear();
            run().agent().AgentCtrl_Command(UserInput{match.name, match.confidence, phrase});
            QVERIFY2(ran == QStringList{expected == u"News" ? QString("favourite:0") : expected}, qPrintable(what));
            // "a c o" shows the character's options, as the menu's A.C.O.
            if (expected == u"aco")
                QVERIFY2(run().service.calls.contains("PropertySheet"), qPrintable(what));
            run().app->wordControls().waitForIdle(5000);
            ++phrases;
        }
    }
    QVERIFY(phrases > 200);
    run().app->actions().setObserver(nullptr);
}

// What the user types that no command of the table says is refused with the
// graded prompts, never taken for the nearest command.
void TestCommands::sentencesThatAreNoCommand()
{
    run().platform.clock.time = QDateTime(QDate(2026, 12, 9), QTime(21, 5));
    startAndClear();
    QStringList names;
    const character::CommandMatcher matcher = matcherOf(run().character().commands().all(), &names);
    QStringList ran;
    run().app->actions().setObserver([&ran](const QString &id, Asked) { ran << id; });
    for (const QString phrase : {"tell me a joke", "tell me a story", "what is the weather"}) {
        const auto match = matcher.match(phrase, names);
        run().character().log.clear();
        run().agent().AgentCtrl_Command(UserInput{match.name, match.confidence, phrase});
        QVERIFY2(ran.isEmpty(), qPrintable(phrase + ": " + ran.join(',')));
        QVERIFY2(!run().log().join('/').contains("The time is"), qPrintable(phrase));
        // The first of them is the first prompt.
        if (phrase == u"tell me a joke")
            QVERIFY2(run().log().contains("Play DontRecognize"), qPrintable(run().log().join('/')));
    }
    run().app->actions().setObserver(nullptr);
}

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
