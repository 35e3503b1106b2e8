#include "Accessories.h"
#include "Addresses.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmUser.h"
#include "DesktopApplications.h"
#include "Execute.h"
#include "SystemPlatform.h"
#include "TestRun.h"
#include "Waits.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QMenu>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QPointer>
#include <QUrl>

using namespace kestrova;
using kestrova::character::UserInput;
using kestrova::test::TestRun;

namespace {

// The desktop's handlers replaced: what they were handed, by which one.
class RecordingHandlers : public DesktopHandlers {
public:
    QStringList log;
    // Whether the desktop takes what it is handed.
    bool takes = true;
    bool openUrl(const QUrl &url) override
    {
        log << "url " + url.toString();
        return takes;
    }
    bool openDocument(const QString &path) override
    {
        log << "document " + path;
        return takes;
    }
    bool hasDocumentHandler(const QString &path) override
    {
        log << "handler? " + path;
        return true;
    }
};

bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(bytes);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner);
    return true;
}

bool waitForFile(const QString &path)
{
    return QTest::qWaitFor([&] { return QFile::exists(path) && QFileInfo(path).size() > 0; }, 5000);
}

QStringList visibleCaptions(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions())
        if (a->isVisible() && !a->isSeparator())
            out << QString(a->text()).remove(u'&'); // as read, mnemonic markers aside
    return out;
}

QStringList objectNames(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions())
        out << a->objectName();
    return out;
}

} // namespace

class TestLaunch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void shellChoosesHandler_data();
    void shellChoosesHandler();
    void documentHandlerLookup();
    void desktopHandlersReadTheEnvironment();
    void executableReallyStarts();
    void desktopEntryStartsItsProgram();
    void shellOpenSaysWhenItFails();
    void shellKnowsWhyItCannotOpen();

    void menuTree_data();
    void menuTree();
    void handlers_data();
    void handlers();
    void officeAndFavouriteSlots();
    void changeAgentLoadsOptionsHidden();
    void menusGoWhileTheChooserWaits();
    void configureLeavesTheTabStrip();
    void accessoryPrograms();

    void dispatchPopsMenusAtPointer_data();
    void dispatchPopsMenusAtPointer();
    void dispatchReachesHandlers();
    void userNamesAfterRestart();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
    TestRun &run() { return *m_run; }
    QString settingsDir() const { return m_dir->path() + "/settings"; }
    QString programDir() const { return m_dir->path() + "/bin"; }
    void start();
};

void TestLaunch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(programDir());
    m_run.reset();
    m_run = std::make_unique<TestRun>(settingsDir(), "Kess", programDir());
}

void TestLaunch::start()
{
    // Not the first run: no tour offer pops up its menu.
    run().settings.write("Kestrova", "Run", "Number", "4");
    run().app->Main();
    run().character().completeAll();
    run().character().log.clear();
}

void TestLaunch::shellChoosesHandler_data()
{
    QTest::addColumn<QString>("target");  // "@" stands for the temporary folder
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("handled"); // what the handlers were handed
    QTest::newRow("text file") << "@/notes.txt" << true << "document @/notes.txt";
    QTest::newRow("folder") << "@/sub" << true << "document @/sub";
    QTest::newRow("web address") << "https://example.org/a?b=c" << true << "url https://example.org/a?b=c";
    QTest::newRow("new mail") << "mailto:" << true << "url mailto:";
    QTest::newRow("www") << "www.example.org" << true << "url http://www.example.org";
    QTest::newRow("missing file") << "@/missing.txt" << false << "";
    QTest::newRow("Windows path") << "c:\\windows\\calc" << false << "";
    // The whole text is the file: a program with arguments is no file.
    QTest::newRow("not split") << "@/notes.txt --print" << false << "";
    QTest::newRow("blank") << " " << false << "";
}

void TestLaunch::shellChoosesHandler()
{
    QFETCH(QString, target);
    QFETCH(bool, opened);
    QFETCH(QString, handled);
    QVERIFY(writeFile(m_dir->path() + "/notes.txt", "hello\n"));
    QVERIFY(QDir().mkpath(m_dir->path() + "/sub"));
    target.replace("@", m_dir->path());
    handled.replace("@", m_dir->path());
    RecordingHandlers handlers;
    SystemShell shell(&handlers);
    QCOMPARE(shell.open(target), opened);
    QCOMPARE(handlers.log, handled.isEmpty() ? QStringList() : QStringList{handled});
}

void TestLaunch::documentHandlerLookup()
{
    const QString root = m_dir->path();
    const DesktopApplicationDirs dirs{{root + "/config"}, {root + "/home-data", root + "/system-data"}};
    for (const char *d : {"/config", "/home-data/applications/vendor", "/system-data/applications"})
        QVERIFY(QDir().mkpath(root + d));
    const QStringList chm = mimeTypeNamesOf(root + "/book.chm");
    QVERIFY2(chm.contains("application/vnd.ms-htmlhelp"), qPrintable(chm.join(' ')));
    QVERIFY(mimeTypeNamesOf(root + "/page.html").contains("text/html"));

    QCOMPARE(desktopHandlerFor(chm, dirs), QString());
    // A cache that names an application whose entry is not installed.
    QVERIFY(writeFile(root + "/system-data/applications/mimeinfo.cache",
                      "[MIME Cache]\ntext/plain=edit.desktop;\napplication/vnd.ms-htmlhelp=viewer.desktop;\n"));
    QCOMPARE(desktopHandlerFor(chm, dirs), QString());
    QVERIFY(writeFile(root + "/system-data/applications/viewer.desktop", "[Desktop Entry]\nExec=viewer %f\n"));
    QCOMPARE(desktopHandlerFor(chm, dirs), QString("viewer.desktop"));
    QCOMPARE(desktopHandlerFor({"text/plain"}, dirs), QString());
    QCOMPARE(desktopHandlerFor({}, dirs), QString());

    // The user removed that association: the cache no longer counts.
    QVERIFY(writeFile(root + "/config/mimeapps.list",
                      "[Removed Associations]\napplication/vnd.ms-htmlhelp=viewer.desktop;\n"));
    QCOMPARE(desktopHandlerFor(chm, dirs), QString());
    // An association added for the type's other name, to an entry kept in
    // a vendor folder (its id "vendor-reader.desktop").
    QVERIFY(writeFile(root + "/home-data/applications/vendor/reader.desktop", "[Desktop Entry]\nExec=reader\n"));
    QVERIFY(writeFile(root + "/home-data/applications/mimeapps.list",
                      "[Added Associations]\napplication/x-chm=missing.desktop;vendor-reader.desktop;\n"));
    QCOMPARE(desktopHandlerFor(chm, dirs), QString("vendor-reader.desktop"));
    // A default in the most important file wins; a removal there hides
    // what less important files add.
    QVERIFY(writeFile(root + "/config/mimeapps.list",
                      "# mine\n[Default Applications]\napplication/vnd.ms-htmlhelp=viewer.desktop\n"));
    QCOMPARE(desktopHandlerFor(chm, dirs), QString("viewer.desktop"));
    QVERIFY(writeFile(root + "/config/mimeapps.list",
                      "[Removed Associations]\napplication/x-chm=vendor-reader.desktop\n"
                      "application/vnd.ms-htmlhelp=viewer.desktop\n"));
    QCOMPARE(desktopHandlerFor(chm, dirs), QString());
}

void TestLaunch::desktopHandlersReadTheEnvironment()
{
    const QString root = m_dir->path();
    const QByteArray names[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"};
    QByteArray saved[4];
    for (int i = 0; i < 4; ++i) {
        saved[i] = qgetenv(names[i].constData());
        QVERIFY(QDir().mkpath(root + "/env/" + names[i]));
        qputenv(names[i].constData(), (root + "/env/" + names[i]).toLocal8Bit());
    }
    const QString book = root + "/Kestrova_Help.chm";
    QVERIFY(writeFile(book, "ITSF"));
    QtDesktopHandlers desktop;
    const bool before = desktop.hasDocumentHandler(book);
    const QString apps = root + "/env/XDG_DATA_DIRS/applications";
    QVERIFY(QDir().mkpath(apps));
    QVERIFY(writeFile(apps + "/chmview.desktop", "[Desktop Entry]\nExec=chmview %f\n"));
    QVERIFY(writeFile(apps + "/mimeinfo.cache", "[MIME Cache]\napplication/vnd.ms-htmlhelp=chmview.desktop;\n"));
    const bool after = desktop.hasDocumentHandler(book);
    // The real shell asks its handlers.
    RecordingHandlers handlers;
    SystemShell shell(&handlers);
    QVERIFY(shell.canOpenDocument(book));
    for (int i = 0; i < 4; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i].constData());
        else
            qputenv(names[i].constData(), saved[i]);
    }
    QVERIFY(!before);
    QVERIFY(after);
    QCOMPARE(handlers.log, QStringList{"handler? " + book});
}

void TestLaunch::executableReallyStarts()
{
    const QString marker = m_dir->path() + "/marker";
    const QString script = m_dir->path() + "/start me.sh";
    QVERIFY(writeFile(script, "#!/bin/sh\necho \"started $#\" > '" + marker.toUtf8() + "'\n", true));
    RecordingHandlers handlers;
    SystemShell shell(&handlers);
    QVERIFY(shell.open(script));
    QVERIFY(waitForFile(marker));
    QFile f(marker);
    QVERIFY(f.open(QIODevice::ReadOnly));
    // Started directly, with no arguments, though its name has a blank.
    QCOMPARE(f.readAll(), QByteArray("started 0\n"));
    QVERIFY(handlers.log.isEmpty());
}

void TestLaunch::desktopEntryStartsItsProgram()
{
    const QString marker = m_dir->path() + "/marker";
    const QString script = m_dir->path() + "/calc.sh";
    QVERIFY(writeFile(script, "#!/bin/sh\necho \"$@\" > '" + marker.toUtf8() + "'\n", true));
    const QString entry = m_dir->path() + "/calc.desktop";
    QVERIFY(writeFile(entry, "[Desktop Entry]\nName=Calc\nType=Application\nExec=\"" + script.toUtf8()
                                 + "\" --mode \"two words\" %U\n[Desktop Action new]\nExec=other\n"));
    QCOMPARE(desktopEntryCommand(entry), QStringList({script, "--mode", "two words"}));
    RecordingHandlers handlers;
    SystemShell shell(&handlers);
    QVERIFY(shell.open(entry));
    QVERIFY(waitForFile(marker));
    QFile f(marker);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("--mode two words\n"));

    QVERIFY(writeFile(entry, "[Desktop Entry]\nExec=no-such-program-kestrova %f\n"));
    QVERIFY(desktopEntryCommand(entry).isEmpty());
    QVERIFY(!shell.open(entry));
}

void TestLaunch::shellOpenSaysWhenItFails()
{
    start();
    FrmMenus *menus = run().app->frmMenus();
    // An empty office slot: nothing opened, nothing said.
    menus->MnuOffice[0]->trigger();
    QVERIFY(run().platform.shell.opened.isEmpty());
    QVERIFY(run().log().isEmpty());
    run().platform.shell.succeeds = false;
    menus->MnuEMail->trigger();
    QCOMPARE(run().platform.shell.opened, QStringList{"mailto:"});
    QCOMPARE(run().log(), QStringList{"Speak I couldn't open that. Its program would not start."});
    QCOMPARE(run().platform.notifier.shown, QStringList());

    // With the character hidden the desktop shows it too; a name that is
    // not there is named.
    run().app->agent().Hide();
    run().character().completeAll();
    run().character().log.clear();
    run().platform.shell.failure = OpenFailure::NotFound;
    Execute::ShellOpen(*run().app, QStringLiteral("/home/kess/no-such-tool"));
    const QString said = QStringLiteral("I couldn't open that. There is no file, folder or program called "
                                        "\"no-such-tool\" here.");
    QCOMPARE(run().log(), QStringList{"Speak " + said});
    QCOMPARE(run().platform.notifier.shown, QStringList{"Could not open | " + said});
}

void TestLaunch::shellKnowsWhyItCannotOpen()
{
    RecordingHandlers handlers;
    SystemShell shell(&handlers);
    QVERIFY(!shell.open(QStringLiteral("no-such-program-kestrova")));
    QCOMPARE(shell.lastFailure(), OpenFailure::NotFound);

    const QString entry = m_dir->path() + "/gone.desktop";
    QVERIFY(writeFile(entry, "[Desktop Entry]\nExec=no-such-program-kestrova %f\n"));
    QVERIFY(!shell.open(entry));
    QCOMPARE(shell.lastFailure(), OpenFailure::NoProgram);

    QVERIFY(!shell.open(QStringLiteral("https://[broken")));
    QCOMPARE(shell.lastFailure(), OpenFailure::BadAddress);

    // Its interpreter is missing: found, and it will not start.
    const QString script = m_dir->path() + "/broken.sh";
    QVERIFY(writeFile(script, "#!/no/such/interpreter\n", true));
    QVERIFY(!shell.open(script));
    QCOMPARE(shell.lastFailure(), OpenFailure::NotStarted);

    const QString document = m_dir->path() + "/notes.txt";
    QVERIFY(writeFile(document, "notes\n"));
    handlers.takes = false;
    QVERIFY(!shell.open(document));
    QCOMPARE(shell.lastFailure(), OpenFailure::NoProgram);
    QVERIFY(!shell.open(QStringLiteral("www.example.org")));
    QCOMPARE(shell.lastFailure(), OpenFailure::NoProgram);
    handlers.takes = true;
    QVERIFY(shell.open(document));
}

void TestLaunch::menuTree_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("shown");
    QStringList office, custom;
    for (int n = 1; n <= 10; ++n) {
        office << QString("MnuOffice%1").arg(n);
        custom << QString("MnuCustom%1").arg(n);
    }
    QTest::newRow("General") << "MnuGeneral" << "General"
        << QStringList{"MnuACo", "MnuChangeAgent", "MnuChangeUser", "MnuAbout", "MnuOptions", "MnuTour", "MnuVersion"}
        << QStringList{"A.C.O", "Change Agent", "Change User", "About", "Options", "Tour", "Version"};
    QTest::newRow("Accessories") << "MnuAccessories" << "Accessories"
        << QStringList{"MnuAlarm", "MnuOpen", "MnuCalender", "MnuCalc", "MnuCDPlayer", "MnuWordpad", "MnuNotepad", "MnuAConfigure"}
        << QStringList{"Alarm", "Open File", "Calender", "Configure"};
    QTest::newRow("My Office") << "MnuMyOffice" << "My Office"
        << (office + QStringList{"MnuOutlook", "MnuWord", "MnuOfficeConfigure"})
        << QStringList{"Outlook", "Word", "Configure"};
    QTest::newRow("Outlook") << "MnuOutlook" << "Outlook" << QStringList{"MnuUnreadMail", "MnuChkTasks"}
                             << QStringList{"Unread mail", "Check Tasks Due"};
    QTest::newRow("Word") << "MnuWord" << "Word" << QStringList{"MnuWordOpen", "MnuNewDoc", "MnuReadSel"}
                          << QStringList{"Open", "New Document", "Read Selection"};
    QTest::newRow("Internet") << "MnuWeb" << "Internet"
        << QStringList{"MnuCheckMail", "MnuEMail", "MnuSearch", "MnuFavourites"}
        << QStringList{"Check Mail", "New E-Mail", "Search", "Favourites"};
    QTest::newRow("Favourites") << "MnuFavourites" << "Favourites"
        << (QStringList{"MnuKestrova"} + custom + QStringList{"MnuConfigureFav"})
        << QStringList{"Kestrova", "Configure Menu"};
}

void TestLaunch::menuTree()
{
    QFETCH(QString, menu);
    QFETCH(QString, caption);
    QFETCH(QStringList, names);
    QFETCH(QStringList, shown);
    // As the program starts with nothing stored: no accessory chosen, no
    // office program or favourite named.
    start();
    auto *m = run().app->frmMenus()->findChild<QMenu *>(menu);
    QVERIFY(m);
    QCOMPARE(QString(m->title()).remove(u'&'), caption);
    QCOMPARE(objectNames(m), names);
    QCOMPARE(visibleCaptions(m), shown);
    QCOMPARE(run().app->frmMenus()->MnuCustom[2]->text(), QString("Custom 3"));
}

void TestLaunch::handlers_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("serviceCalls");
    const QStringList none;
    QTest::newRow("A.C.O") << "MnuACo" << none << none << QStringList{"PropertySheet"};
    QTest::newRow("Version") << "MnuVersion"
        << QStringList{"Speak This is version 1\\Map=\"point\"=\".\"\\0\\Map=\"point\"=\".\"\\0 of Kestrova."}
        << none << none;
    QTest::newRow("Calculator") << "MnuCalc" << QStringList{"Speak Let's get that math done.", "Play Process"}
                                << QStringList{"/opt/calc"} << none;
    QTest::newRow("CD Player") << "MnuCDPlayer" << QStringList{"Speak How about some music?"}
                               << QStringList{"/opt/cd"} << none;
    QTest::newRow("Wordpad") << "MnuWordpad"
        << QStringList{"Play Write", "Speak How about a short story today?|A poem would be nice, don't you think?|What are we writing today?", "Play ReadReturn"}
        << QStringList{"/opt/writer"} << none;
    QTest::newRow("Notepad") << "MnuNotepad"
        << QStringList{"Play Write", "Speak Ready to write some notes?", "Play ReadReturn"}
        << QStringList{"/opt/editor"} << none;
    QTest::newRow("New E-Mail") << "MnuEMail" << none << QStringList{"mailto:"} << none;
    QTest::newRow("Kestrova") << "MnuKestrova" << none << QStringList{HomePageAddress} << none;
    QTest::newRow("Unread mail") << "MnuUnreadMail" << none << none << none;
    QTest::newRow("Check Tasks Due") << "MnuChkTasks" << none << none << none;
}

void TestLaunch::handlers()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, said);
    QFETCH(QStringList, opened);
    QFETCH(QStringList, serviceCalls);
    // The user's own choice of program for each accessory.
    for (const auto &[key, program] : {std::pair{"Calc", "/opt/calc"}, {"CD", "/opt/cd"},
                                        {"Notepad", "/opt/editor"}, {"Wordpad", "/opt/writer"}})
        run().settings.write("Kestrova", "Programs", key, program);
    start();
    run().service.calls.clear();
    auto *action = run().app->frmMenus()->findChild<QAction *>(entry);
    QVERIFY(action);
    action->trigger();
    QCOMPARE(run().log(), said);
    QCOMPARE(run().platform.shell.opened, opened);
    QCOMPARE(run().service.calls, serviceCalls);
}

void TestLaunch::officeAndFavouriteSlots()
{
    start();
    FrmMain *options = run().app->frmMain();
    FrmMenus *menus = run().app->frmMenus();
    options->TxtOfficeCmd[2]->setText("/usr/bin/prog --flag file");
    options->TxtSiteURL[9]->setText("https://example.org/ten");
    menus->MnuOffice[2]->trigger();
    menus->MnuCustom[9]->trigger();
    // An edit reaches the entry at once; the command line goes whole.
    options->TxtSiteURL[9]->setText("https://example.org/edited");
    menus->MnuCustom[9]->trigger();
    QCOMPARE(run().platform.shell.opened,
             QStringList({"/usr/bin/prog --flag file", "https://example.org/ten", "https://example.org/edited"}));
    QVERIFY(run().log().isEmpty());
}

void TestLaunch::changeAgentLoadsOptionsHidden()
{
    run().app->frmMenus()->MnuChangeAgent_Click();
    // The name is the model's; the options window shows it when it is made.
    QCOMPARE(run().app->model().characterName(), QString("Kess"));
    FrmMain *options = run().app->frmMain();
    QVERIFY(!options->isVisible());
    QCOMPARE(options->LblCurrent[1]->text(), QString("Kess"));
    QCOMPARE(run().service.calls.filter("Default"), QStringList{"DefaultCharacterProperties"});

    // Without a character the label keeps its design text.
    QTemporaryDir other;
    TestRun none(other.path(), "Kess", other.path());
    none.service.loadFails = true;
    none.app->frmMenus()->MnuChangeAgent_Click();
    QCOMPARE(none.app->frmMain()->LblCurrent[1]->text(), QString("Default"));
}

// A quit while the character chooser waits for the user: the chooser is
// answered, and the menus' window, still there when it returns, goes once
// control is back in the main loop.
void TestLaunch::menusGoWhileTheChooserWaits()
{
    QPointer<FrmMenus> menus = run().app->frmMenus();
    test::Waited chooser;
    run().service.whileChoosing = [&] {
        chooser = test::waitIn(menus, [&] {
            run().agent().AgentQuit();
            run().character().completeAll();
        });
    };
    test::inMainLoop([&] {
        menus->MnuChangeAgent_Click();
        (void)QTest::qWaitFor([&] { return menus.isNull(); }, 5000);
    });
    run().service.whileChoosing = nullptr;
    QVERIFY(!chooser.outlasted);
    QVERIFY(chooser.ownerThereAfter);
    QVERIFY(menus.isNull());
    QCOMPARE(run().service.calls.filter("Default"), QStringList{"DefaultCharacterProperties"});
}

void TestLaunch::configureLeavesTheTabStrip()
{
    start();
    FrmMain *options = run().app->frmMain();
    options->TabStrip1->setCurrentIndex(1); // "Mail"
    QVERIFY(!options->FrameOptions[FrmMain::MailPage]->isHidden());
    struct Case {
        QAction *entry;
        int page;
    };
    FrmMenus *menus = run().app->frmMenus();
    for (const Case c : {Case{menus->MnuAConfigure, 0}, Case{menus->MnuConfigureFav, 1}, Case{menus->MnuOfficeConfigure, 4}}) {
        c.entry->trigger();
        QVERIFY(options->isVisible());
        QCOMPARE(options->TabStrip1->currentIndex(), 1);
        for (int k = 0; k < FrmMain::PageCount; ++k)
            QCOMPARE(!options->FrameOptions[k]->isHidden(), k == c.page);
    }
    // "Options" shows the window as it is.
    options->hide();
    menus->MnuOptions->trigger();
    QVERIFY(options->isVisible());
    QVERIFY(!options->FrameOptions[FrmMain::OfficePage]->isHidden());
}

void TestLaunch::accessoryPrograms()
{
    const QString a = m_dir->path() + "/apps-a", b = m_dir->path() + "/apps-b";
    QVERIFY(QDir().mkpath(a) && QDir().mkpath(b));
    const QStringList dirs{a, b};
    QVERIFY(accessoryTarget(Accessory::Calculator, run().settings, dirs).isEmpty());
    QVERIFY(writeFile(b + "/xcalc.desktop", "[Desktop Entry]\nExec=xcalc\n"));
    QCOMPARE(accessoryTarget(Accessory::Calculator, run().settings, dirs), b + "/xcalc.desktop");
    // The better-known entry wins wherever it lies.
    QVERIFY(writeFile(b + "/org.gnome.Calculator.desktop", "[Desktop Entry]\nExec=gnome-calculator\n"));
    QCOMPARE(accessoryTarget(Accessory::Calculator, run().settings, dirs), b + "/org.gnome.Calculator.desktop");
    QVERIFY(writeFile(a + "/org.gnome.Calculator.desktop", "[Desktop Entry]\nExec=gnome-calculator\n"));
    QCOMPARE(accessoryTarget(Accessory::Calculator, run().settings, dirs), a + "/org.gnome.Calculator.desktop");
    // The user's own program comes first; a bare name is found on the PATH.
    run().settings.write("Kestrova", "Programs", "Calc", "sh");
    QCOMPARE(accessoryTarget(Accessory::Calculator, run().settings, dirs), QStandardPaths::findExecutable("sh"));
    run().settings.write("Kestrova", "Programs", "Calc", "/opt/my calc");
    QCOMPARE(accessoryTarget(Accessory::Calculator, run().settings, dirs), QString("/opt/my calc"));
    // Each accessory has its own list.
    QVERIFY(writeFile(a + "/libreoffice-writer.desktop", "[Desktop Entry]\nExec=lowriter\n"));
    QCOMPARE(accessoryTarget(Accessory::Wordpad, run().settings, dirs), a + "/libreoffice-writer.desktop");
    QVERIFY(accessoryTarget(Accessory::Notepad, run().settings, dirs).isEmpty());
}

void TestLaunch::dispatchPopsMenusAtPointer_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("menu");
    QTest::newRow("General") << "General" << "MnuGeneral";
    QTest::newRow("Accessories") << "Accessories" << "MnuAccessories";
    QTest::newRow("My Office") << "My Office" << "MnuMyOffice";
    QTest::newRow("Internet") << "Internet" << "MnuWeb";
}

void TestLaunch::dispatchPopsMenusAtPointer()
{
    QFETCH(QString, command);
    QFETCH(QString, menu);
    start();
    run().platform.mousePointer.where = QPoint(200, 150);
    run().agent().AgentCtrl_Command(UserInput{command, 50, command});
    auto *m = run().app->frmMenus()->findChild<QMenu *>(menu);
    QVERIFY(m->isVisible());
    QCOMPARE(m->pos(), QPoint(200, 150));
    const QList<QMenu *> all = run().app->frmMenus()->findChildren<QMenu *>();
    for (QMenu *other : all)
        QCOMPARE(other->isVisible(), other == m);
    m->hide();
}

void TestLaunch::dispatchReachesHandlers()
{
    run().settings.write("Kestrova", "Programs", "Calc", "/opt/calc");
    start();
    AgentForm &agent = run().agent();
    agent.AgentCtrl_Command(UserInput{"Calculator", 90, ""});
    agent.AgentCtrl_Command(UserInput{"NewMail", 90, ""});
    QCOMPARE(run().platform.shell.opened, QStringList({"/opt/calc", "mailto:"}));
    agent.AgentCtrl_Command(UserInput{"Options", 90, ""});
    QVERIFY(run().app->frmMain()->isVisible());
    agent.AgentCtrl_Command(UserInput{"ChangeUser", 90, ""});
    QVERIFY(run().app->frmUser()->isVisible());
    run().service.calls.clear();
    agent.AgentCtrl_Command(UserInput{"ChangeAgent", 90, ""});
    QCOMPARE(run().service.calls, QStringList{"DefaultCharacterProperties"});
}

void TestLaunch::userNamesAfterRestart()
{
    // Saved in one run ...
    start();
    FrmMain *options = run().app->frmMain();
    options->TxtSiteName[1]->setText("News");
    options->TxtSiteURL[1]->setText("https://news.example.org/");
    options->TxtSiteName[4]->setText("Quit");
    options->TxtSiteURL[4]->setText("https://quit.example.org/");
    options->TxtOfficeName[0]->setText("Sheets");
    options->TxtOfficeCmd[0]->setText("/opt/sheets");
    options->TxtOfficeName[3]->setText("Draw");
    options->TxtOfficeCmd[3]->setText("/opt/draw");
    options->CmdUpdate_Click();
    options->CmdCustomSave_Click();
    m_run.reset();

    // ... the names are commands of the next.
    m_run = std::make_unique<TestRun>(settingsDir(), "Kess", programDir());
    start();
    const auto &commands = run().character().commands();
    QVERIFY(commands.item("News"));
    QVERIFY(commands.item("Sheets"));
    // Only the first office program is registered.
    QVERIFY(!commands.item("Draw"));
    // The quick toolbar's load has put the saved names on the menu.
    QCOMPARE(run().app->frmMenus()->MnuCustom[1]->text(), QString("News"));
    AgentForm &agent = run().agent();
    agent.AgentCtrl_Command(UserInput{"News", 90, "news"});
    agent.AgentCtrl_Command(UserInput{"Sheets", 90, "sheets"});
    agent.AgentCtrl_Command(UserInput{"Draw", 90, "draw"});
    QCOMPARE(run().platform.shell.opened, QStringList({"https://news.example.org/", "/opt/sheets", "/opt/draw"}));
    // A fixed command wins over a site of the same name.
    agent.AgentCtrl_Command(UserInput{"Quit", 90, "quit"});
    QCOMPARE(run().platform.shell.opened.size(), 3);
    QCOMPARE(run().log().last(), QString("Hide"));
}

QTEST_MAIN(TestLaunch)
#include "test_launch.moc"
