#include "Actions.h"
#include "FileOperations.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmUser.h"
#include "MailWatch.h"
#include "TestRun.h"
#include "UserModel.h"

#include <QAction>
#include <QFileInfo>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrova;
using kestrova::test::TestRun;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(bytes);
    return true;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Lets closed windows go, as the event loop would.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QList<int> shownPages(const FrmMain *w)
{
    QList<int> out;
    for (int k = 0; k < FrmMain::PageCount; ++k)
        if (!w->FrameOptions[k]->isHidden())
            out << k;
    return out;
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void tabs_data();
    void tabs();
    void clickOnTheSelectedTab();
    void freshUser();
    void restPosition();
    void jokesSwitch();
    void jokeLeadIn();
    void cancelDiscardsAnEditedAddress();
    void closedWindowIsLoadedAgain();

    void accessories();
    void accessoriesCancelAndCase();

    void listFiles_data();
    void listFiles();
    void favouritesUpdate();
    void slotWithTargetAndNoName();
    void lineBreaksStayInTheirSlot();
    void failedSave();
    void officePage();
    void places();

    void userName_data();
    void userName();
    void userNameCancel();
    void greetingUsesStoredName();
    void namesShownAsText();
    void mailTicksMakeNoWindow();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
    TestRun &run() { return *m_run; }
    QString settingsDir() const { return m_dir->path() + "/settings"; }
    QString programDir() const { return m_dir->path() + "/bin"; }
    // Where the list files lie: the user's data folder of the test run.
    QString favourites() const { return settingsDir() + "/data/favourites.txt"; }
    QString office() const { return settingsDir() + "/data/Office.txt"; }
    FrmMain *start();
    void restart();
};

void TestOptions::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(programDir());
    m_run.reset();
    m_run = std::make_unique<TestRun>(settingsDir(), "Kess", programDir());
    run().settings.write("Kestrova", "Run", "Number", "4");
}

FrmMain *TestOptions::start()
{
    run().app->Main();
    run().character().completeAll();
    run().character().log.clear();
    return run().app->frmMain();
}

void TestOptions::restart()
{
    m_run.reset();
    m_run = std::make_unique<TestRun>(settingsDir(), "Kess", programDir());
}

void TestOptions::tabs_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<int>("page");
    QTest::newRow("Agent") << 0 << "Agent" << "agent" << "Change the Agent Character options" << 3;
    QTest::newRow("Mail") << 1 << "Mail" << "mail" << "Change your E-Mail options" << 2;
    QTest::newRow("Accessories") << 2 << "Accessories" << "accessories" << "Set the accessories menu" << 0;
    QTest::newRow("My Office") << 3 << "My Office" << "office" << "Set up the \"My Office\" menu" << 4;
    QTest::newRow("Favourites") << 4 << "Favourites" << "favourites" << "" << 1;
    QTest::newRow("Jokes") << 5 << "Jokes" << "joke" << "" << 5;
}

void TestOptions::tabs()
{
    QFETCH(int, tab);
    QFETCH(QString, caption);
    QFETCH(QString, key);
    QFETCH(QString, toolTip);
    QFETCH(int, page);
    FrmMain *w = start();
    QCOMPARE(w->windowTitle(), QString("Kestrova"));
    QCOMPARE(w->TabStrip1->count(), 6);
    QCOMPARE(w->TabStrip1->currentIndex(), 0);
    QCOMPARE(shownPages(w), QList<int>{3});
    // The caption as shown, its mnemonic marker aside.
    QCOMPARE(w->TabStrip1->tabText(tab).remove(u'&'), caption);
    QCOMPARE(w->TabStrip1->tabData(tab).toString(), key);
    QCOMPARE(w->TabStrip1->tabToolTip(tab), toolTip);
    // Leave the tab first, so that every tab is a change.
    w->TabStrip1->setCurrentIndex(tab == 5 ? 4 : 5);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(w->TabStrip1, Qt::LeftButton, {}, w->TabStrip1->tabRect(tab).center());
    QCOMPARE(w->TabStrip1->currentIndex(), tab);
    QCOMPARE(shownPages(w), QList<int>{page});
    // A key that is not one of the six changes nothing.
    w->TabStrip1->setTabData(tab == 0 ? 1 : 0, "Agent");
    w->TabStrip1->setCurrentIndex(tab == 0 ? 1 : 0);
    QCOMPARE(shownPages(w), QList<int>{page});
}

void TestOptions::clickOnTheSelectedTab()
{
    FrmMain *w = start();
    // "Configure" of the accessories menu shows their page under the
    // "Agent" tab, which stays selected.
    run().app->actions().run("Configure Accessories");
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->TabStrip1->currentIndex(), 0);
    QCOMPARE(shownPages(w), QList<int>{FrmMain::AccessoriesPage});
    // A click on that tab shows its own page.
    QTest::mouseClick(w->TabStrip1, Qt::LeftButton, {}, w->TabStrip1->tabRect(0).center());
    QCOMPARE(w->TabStrip1->currentIndex(), 0);
    QCOMPARE(shownPages(w), QList<int>{FrmMain::AgentPage});
    // And so after any other page shown from outside.
    w->TabStrip1->setCurrentIndex(1);
    QCOMPARE(shownPages(w), QList<int>{FrmMain::MailPage});
    run().app->actions().run("Configure Favourites");
    QCOMPARE(shownPages(w), QList<int>{FrmMain::FavouritesPage});
    QTest::mouseClick(w->TabStrip1, Qt::LeftButton, {}, w->TabStrip1->tabRect(1).center());
    QCOMPARE(shownPages(w), QList<int>{FrmMain::MailPage});
}

void TestOptions::freshUser()
{
    FrmMain *w = start();
    QCOMPARE(w->LblCurrent[0]->text(), QString("Current Agent is:"));
    QCOMPARE(w->LblCurrent[1]->text(), QString("Kess"));
    QCOMPARE(w->LblCurrent[3]->text(), QString());
    QCOMPARE(w->LblUser->text(), QString());
    // The box unticked, and jokes are on as it says.
    QVERIFY(!w->ChkJokesOff->isChecked());
    QVERIFY(run().app->model().jokesOn());
    QCOMPARE(w->StatusMain->currentMessage(), QString("Offline"));
    QCOMPARE(w->ComboFav->count(), 10);
    QCOMPARE(w->ComboFav->itemText(9), QString("Link 10"));
    QCOMPARE(w->ComboFav->placeholderText(), QString("Chose Link:"));
    QCOMPARE(w->ComCustom->itemText(6), QString("Item7"));
    // The first slot's fields are on show, with a hint, before any pick.
    QCOMPARE(w->ComboFav->currentIndex(), 0);
    QCOMPARE(w->ComCustom->currentIndex(), 0);
    QVERIFY(!w->TxtSiteName[0]->isHidden() && !w->TxtSiteURL[0]->isHidden());
    QVERIFY(!w->TxtOfficeName[0]->isHidden() && !w->TxtOfficeCmd[0]->isHidden());
    QVERIFY(!w->TxtSiteURL[0]->placeholderText().isEmpty());
    QVERIFY(!w->TxtOfficeCmd[0]->placeholderText().isEmpty());
    QVERIFY(w->CmdUpdate->isEnabled());
    QVERIFY(!w->isVisible());
    // Ticking and unticking stores the switch.
    w->ChkJokesOff->setChecked(true);
    QVERIFY(!run().app->model().jokesOn());
    w->ChkJokesOff->setChecked(false);
    QVERIFY(run().app->model().jokesOn());
    QCOMPARE(run().settings.read("Kestrova", "Jokes", "Status"), QString("On"));
}

void TestOptions::restPosition()
{
    FrmMain *w = start();
    run().character().moveTo(640, 480);
    run().character().completeAll();
    w->FrameOptions[FrmMain::AgentPage]->show();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(w->CmdRest, Qt::LeftButton);
    QCOMPARE(run().settings.read("Kestrova", "Rest", "X"), QString("640"));
    QCOMPARE(run().settings.read("Kestrova", "Rest", "Y"), QString("480"));
    QCOMPARE(run().platform.messageBox.shown, QStringList{"Kestrova: Rest position set at: 640 480"});
    QCOMPARE(run().app->movement().RestX, qint16(640));
    QCOMPARE(run().app->movement().RestY, qint16(480));
}

void TestOptions::jokesSwitch()
{
    FrmMain *w = start();
    JokeWatch &watch = run().app->jokeWatch();
    run().app->model().setJokesOn(true);
    QVERIFY(watch.running());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->ShowPage(FrmMain::JokesPage);
    QTest::mouseClick(w->ChkJokesOff, Qt::LeftButton, {}, QPoint(5, w->ChkJokesOff->height() / 2));
    QVERIFY(w->ChkJokesOff->isChecked());
    // Stored at once and the timer stops, even though the window is then
    // cancelled.
    QCOMPARE(run().settings.read("Kestrova", "Jokes", "Status"), QString("Off"));
    QVERIFY(!run().app->model().jokesOn());
    QVERIFY(!watch.running());
    QPointer<FrmMain> closed = w;
    w->BtnCancel_Click();
    settle();
    QVERIFY(closed.isNull());
    QVERIFY(!run().app->frmMainLoaded());
    // The next load ticks the box again, which stores "Off" again.
    FrmMain *again = run().app->frmMain();
    QVERIFY(again->ChkJokesOff->isChecked());
    QTest::mouseClick(again->ChkJokesOff, Qt::LeftButton, {}, QPoint(5, again->ChkJokesOff->height() / 2));
    QCOMPARE(run().settings.read("Kestrova", "Jokes", "Status"), QString("On"));
    QVERIFY(run().app->model().jokesOn());
    QVERIFY(watch.running());
    // "On" stored: the next load sets the switch.
    run().app->model().setJokesOn(false);
    again->close();
    settle();
    QVERIFY(!run().app->frmMain()->ChkJokesOff->isChecked());
    QVERIFY(run().app->model().jokesOn());
}

void TestOptions::jokeLeadIn()
{
    QVERIFY(writeFile(programDir() + "/JOKES.TXT", "Only joke\r\n"));
    run().settings.write("Kestrova", "Jokes", "Say", "Stored:");
    FrmMain *w = start();
    run().app->model().setJokesOn(true);
    JokeWatch &watch = run().app->jokeWatch();
    // An edit that was not saved is used at once.
    QTest::keyClicks(w->TxtJokeSay, " edited");
    for (int i = 0; i < 5; ++i)
        watch.tick();
    QVERIFY(run().log().contains("Speak Stored: edited"));
    // Closed without saving: the next joke has the stored phrase, and no
    // window is made for it.
    w->close();
    settle();
    run().character().log.clear();
    for (int i = 0; i < 5; ++i)
        watch.tick();
    QVERIFY(!run().app->frmMainLoaded());
    QCOMPARE(run().log(), QStringList({"Play GetAttention", "Speak Stored:", "Speak Only joke", "Play Pleased"}));
    run().app->frmMain()->TxtJokeSay->setText("Saved:");
    run().app->frmMain()->CmdJSave_Click();
    QCOMPARE(run().settings.read("Kestrova", "Jokes", "Say"), QString("Saved:"));
    run().app->frmMain()->CmdJokes_Click();
    // The user's copy is edited, made from the shipped file.
    QCOMPARE(run().platform.shell.opened, QStringList{settingsDir() + "/data/JOKES.TXT"});
    QCOMPARE(readFile(settingsDir() + "/data/JOKES.TXT"), QByteArray("Only joke\r\n"));
}

void TestOptions::cancelDiscardsAnEditedAddress()
{
    QVERIFY(writeFile(favourites(), "News\r\nhttps://news.example.org/\r\n"));
    FrmMain *w = start();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->ShowPage(FrmMain::FavouritesPage);
    w->ComboFav->setCurrentIndex(0);
    Q_EMIT w->ComboFav->activated(0);
    QVERIFY(w->TxtSiteURL[0]->isVisible());
    w->TxtSiteURL[0]->selectAll();
    QTest::keyClicks(w->TxtSiteURL[0], "https://edited.example.org/");
    // The edit reaches the menu at once ...
    run().app->frmMenus()->MnuCustom[0]->trigger();
    QCOMPARE(run().platform.shell.opened.last(), QString("https://edited.example.org/"));
    w->ShowPage(FrmMain::AccessoriesPage);
    QTest::mouseClick(w->BtnCancel, Qt::LeftButton);
    settle();
    QVERIFY(!run().app->frmMainLoaded());
    // ... and is gone after Cancel.
    QCOMPARE(run().app->frmMain()->TxtSiteURL[0]->text(), QString("https://news.example.org/"));
    QVERIFY(run().log().isEmpty());
}

void TestOptions::closedWindowIsLoadedAgain()
{
    FrmMain *w = start();
    QPointer<FrmMain> old = w;
    const int loaded = run().app->forms().count();
    w->show();
    w->close();
    QVERIFY(!run().app->frmMainLoaded());
    QCOMPARE(run().app->forms().count(), loaded - 1);
    settle();
    QVERIFY(old.isNull());
    // Reading a box loads it again, hidden.
    run().settings.write("Kestrova", "User", "Name", "Robin");
    QCOMPARE(run().app->frmMain()->LblUser->text(), QString("Robin"));
    QVERIFY(!run().app->frmMain()->isVisible());
    QCOMPARE(run().app->forms().count(), loaded);
}

void TestOptions::accessories()
{
    run().settings.write("Kestrova", "Accessories", "Wordpad", "Sel");
    FrmMain *w = start();
    FrmMenus *menus = run().app->frmMenus();
    auto &commands = run().character().commands();
    // WordPad stored as chosen: ticked, shown, enabled; the rest not.
    QVERIFY(w->ChkWordpad->isChecked());
    QVERIFY(!w->ChkCalc->isChecked());
    QVERIFY(menus->MnuWordpad->isVisible());
    QVERIFY(!menus->MnuCalc->isVisible());
    QVERIFY(commands.item("Wordpad")->enabled);
    QVERIFY(!commands.item("Calculator")->enabled);

    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->ShowPage(FrmMain::AccessoriesPage);
    QTest::mouseClick(w->ChkCalc, Qt::LeftButton, {}, QPoint(5, w->ChkCalc->height() / 2));
    // Ticked only: nothing else changes until Apply.
    QCOMPARE(run().app->model().accessoryFlag(UserModel::Calculator), QString("Sel"));
    QVERIFY(!menus->MnuCalc->isVisible());
    QVERIFY(run().settings.read("Kestrova", "Accessories", "Calc").isEmpty());
    QTest::mouseClick(w->BtnApply, Qt::LeftButton);
    QCOMPARE(run().settings.read("Kestrova", "Accessories", "Calc"), QString("Sel"));
    QVERIFY(menus->MnuCalc->isVisible());
    QVERIFY(commands.item("Calculator")->enabled);
    QVERIFY(w->isVisible());
    QVERIFY(run().log().isEmpty());

    QTest::mouseClick(w->ChkWordpad, Qt::LeftButton, {}, QPoint(5, w->ChkWordpad->height() / 2));
    QTest::mouseClick(w->BtnOK, Qt::LeftButton);
    QCOMPARE(run().settings.read("Kestrova", "Accessories", "Wordpad"), QString());
    QVERIFY(!menus->MnuWordpad->isVisible());
    QVERIFY(!commands.item("Wordpad")->enabled);
    QCOMPARE(run().log(), QStringList({"Play Write", "Speak I have updated the accessories menu.", "Play WriteReturn"}));
    QVERIFY(!run().app->frmMainLoaded());
}

void TestOptions::accessoriesCancelAndCase()
{
    run().settings.write("Kestrova", "Accessories", "Calc", "Sel");
    run().settings.write("Kestrova", "Accessories", "CD", "sel");
    FrmMain *w = start();
    FrmMenus *menus = run().app->frmMenus();
    // "sel" is not chosen.
    QVERIFY(!w->ChkCD->isChecked());
    QVERIFY(!menus->MnuCDPlayer->isVisible());
    QVERIFY(!run().character().commands().item("CD Player")->enabled);
    w->ChkCalc->setChecked(false);
    w->BtnCancel_Click();
    settle();
    QCOMPARE(run().settings.read("Kestrova", "Accessories", "Calc"), QString("Sel"));
    QVERIFY(menus->MnuCalc->isVisible());
    QVERIFY(run().app->frmMain()->ChkCalc->isChecked());
}

void TestOptions::listFiles_data()
{
    QTest::addColumn<QByteArray>("file");  // empty: no file at all
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("targets");
    const QStringList blank(10);
    QTest::newRow("no file") << QByteArray() << blank << blank;
    QTest::newRow("empty file") << QByteArray("") << blank << blank;
    QStringList two = blank, twoTargets = blank;
    two[0] = "One";
    two[1] = "Two";
    twoTargets[0] = "https://one.example/";
    twoTargets[1] = "https://two.example/";
    QTest::newRow("4 lines") << QByteArray("One\r\nhttps://one.example/\r\nTwo\r\nhttps://two.example/\r\n")
                             << two << twoTargets;
    QTest::newRow("CR only") << QByteArray("One\rhttps://one.example/\rTwo\rhttps://two.example/") << two
                             << twoTargets;
    QStringList latin = blank;
    latin[0] = QString::fromUtf8("Caf\u00e9 \u20ac");
    QTest::newRow("Windows-1252") << QByteArray("Caf\xe9 \x80\r\n\r\n") << latin << blank;
    QTest::newRow("UTF-8") << QByteArray("Caf\xc3\xa9 \xe2\x82\xac\n\n") << latin << blank;
    // An "&" in a name is shown, not taken as the menu entry's mnemonic.
    QStringList ampersand = blank;
    ampersand[0] = "Barnes & Noble";
    QTest::newRow("ampersand") << QByteArray("Barnes & Noble\n\n") << ampersand << blank;
    // 45 lines: the third group (lines 41..45) overwrites slots 0..2's
    // first value pairs; the second group's other lines stay.
    QByteArray longFile;
    QStringList longNames(10), longTargets(10);
    for (int line = 1; line <= 45; ++line)
        longFile += "L" + QByteArray::number(line) + "\r\n";
    for (int v = 0; v < 20; ++v) {
        const int line = v < 5 ? 41 + v : 21 + v;
        (v % 2 ? longTargets : longNames)[v / 2] = QString("L%1").arg(line);
    }
    QTest::newRow("45 lines") << longFile << longNames << longTargets;
}

void TestOptions::listFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, names);
    QFETCH(QStringList, targets);
    const bool exists = !file.isNull();
    if (exists) {
        QVERIFY(writeFile(favourites(), file));
        QVERIFY(writeFile(office(), file));
    }
    FrmMain *w = start();
    for (int k = 0; k < 10; ++k) {
        QCOMPARE(w->TxtSiteName[k]->text(), names.at(k));
        QCOMPARE(w->TxtSiteURL[k]->text(), targets.at(k));
        QCOMPARE(w->TxtOfficeName[k]->text(), names.at(k));
        QCOMPARE(w->TxtOfficeCmd[k]->text(), targets.at(k));
    }
    // Loaded at start-up: the first office name and the site names are
    // commands, and the quick toolbar's load has rebuilt both menus.
    const auto &commands = run().character().commands();
    for (const QString &n : names)
        if (!n.isEmpty())
            QVERIFY(commands.item(n));
    for (int k = 0; k < 10; ++k) {
        QCOMPARE(run().app->frmMenus()->MnuCustom[k]->isVisible(), !names.at(k).isEmpty());
        QCOMPARE(run().app->frmMenus()->MnuOffice[k]->isVisible(), !names.at(k).isEmpty());
    }
    w->SetFavouritesMenu();
    w->SetOfficeMenu();
    for (int k = 0; k < 10; ++k) {
        QCOMPARE(run().app->frmMenus()->MnuCustom[k]->isVisible(), !names.at(k).isEmpty());
        QCOMPARE(run().app->frmMenus()->MnuOffice[k]->isVisible(), !names.at(k).isEmpty());
        if (names.at(k).isEmpty())
            continue;
        for (QAction *entry : {run().app->frmMenus()->MnuOffice[k], run().app->frmMenus()->MnuCustom[k]}) {
            QCOMPARE(QString(entry->text()).replace(QStringLiteral("&&"), QStringLiteral("&")), names.at(k));
            QVERIFY2(QKeySequence::mnemonic(entry->text()).isEmpty(), qPrintable(entry->text()));
        }
    }
    // Whatever was read, a save writes exactly twenty lines back.
    QVERIFY(w->SaveFavourites());
    const auto back = FileOperations::LoadListFile(favourites());
    QVERIFY(back);
    QCOMPARE(back->size(), 20);
    QCOMPARE(readFile(favourites()).count("\r\n"), 20);
}

void TestOptions::favouritesUpdate()
{
    FrmMain *w = start();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->ShowPage(FrmMain::FavouritesPage);
    w->ComboFav->setCurrentIndex(2);
    Q_EMIT w->ComboFav->activated(2);
    for (int k = 0; k < 10; ++k)
        QCOMPARE(!w->TxtSiteName[k]->isHidden(), k == 2);
    QVERIFY(w->CmdUpdate->isEnabled());
    QTest::keyClicks(w->TxtSiteName[2], " Padded name ");
    QTest::keyClicks(w->TxtSiteURL[2], "https://three.example/");
    w->TxtSiteName[5]->setText("Six");
    w->TxtSiteURL[5]->setText("https://six.example/");
    QTest::mouseClick(w->CmdUpdate, Qt::LeftButton);
    const QByteArray expected = "\r\n\r\n\r\n\r\n Padded name \r\nhttps://three.example/\r\n\r\n\r\n\r\n\r\n"
                                "Six\r\nhttps://six.example/\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
    QCOMPARE(readFile(favourites()), expected);
    FrmMenus *menus = run().app->frmMenus();
    QStringList shown;
    for (QAction *a : menus->MnuFavourites->actions())
        if (a->isVisible())
            shown << QString(a->text()).remove(u'&'); // as read, mnemonic markers aside
    QCOMPARE(shown, QStringList({"Kestrova", " Padded name ", "Six", "Configure Menu"}));
    QCOMPARE(run().log(), QStringList({"Play Write", "Speak I have saved your favourites.", "Play RestPose"}));
    QVERIFY(w->isVisible());
    // The list reads the names given; an unnamed slot its number.
    QCOMPARE(w->ComboFav->itemText(2), QString("Padded name"));
    QCOMPARE(w->ComboFav->itemText(5), QString("Six"));
    QCOMPARE(w->ComboFav->itemText(6), QString("Link 7"));
    w->TxtOfficeName[6]->setText("Sheets");
    QCOMPARE(w->ComCustom->itemText(6), QString("Sheets"));
    w->TxtOfficeName[6]->clear();
    QCOMPARE(w->ComCustom->itemText(6), QString("Item7"));
    // A site typed without a scheme is stored, and opened, as a web address.
    w->TxtSiteName[7]->setText("News");
    w->TxtSiteURL[7]->setText("news.example.org");
    w->TxtSiteURL[8]->setText("mailto:someone@example.org");
    QTest::mouseClick(w->CmdUpdate, Qt::LeftButton);
    QCOMPARE(w->TxtSiteURL[7]->text(), QString("https://news.example.org"));
    QCOMPARE(w->TxtSiteURL[8]->text(), QString("mailto:someone@example.org"));
    QVERIFY(readFile(favourites()).contains("\r\nNews\r\nhttps://news.example.org\r\n"));
    w->TxtSiteURL[7]->setText("news.example.org");
    run().app->actions().run("favourite:7");
    QCOMPARE(run().platform.shell.opened.value(0), QString("https://news.example.org"));
}

void TestOptions::slotWithTargetAndNoName()
{
    FrmMain *w = start();
    w->TxtSiteURL[3]->setText("https://kept.example/");
    w->TxtOfficeCmd[3]->setText("/opt/kept");
    w->CmdUpdate_Click();
    w->CmdCustomSave_Click();
    QVERIFY(!run().app->frmMenus()->MnuCustom[3]->isVisible());
    QVERIFY(!run().app->frmMenus()->MnuOffice[3]->isVisible());
    w->close();
    settle();
    FrmMain *again = run().app->frmMain();
    QCOMPARE(again->TxtSiteURL[3]->text(), QString("https://kept.example/"));
    QCOMPARE(again->TxtOfficeCmd[3]->text(), QString("/opt/kept"));
    QVERIFY(again->TxtSiteName[3]->text().isEmpty());
}

void TestOptions::lineBreaksStayInTheirSlot()
{
    // Every way a name or a target reaches a list file: typing and pasting
    // into the boxes, and the office program's Browse (a file name may hold
    // a line break). Each break becomes one space; no later slot moves.
    FrmMain *w = start();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QGuiApplication::clipboard()->setText("Pasted\nname");
    w->TxtSiteName[2]->setFocus();
    w->TxtSiteName[2]->paste();
    w->TxtSiteURL[2]->setText("https://two.example/\r\nhttps://three.example/");
    w->TxtSiteName[3]->setText("Kept");
    w->TxtSiteURL[3]->setText("https://kept.example/");
    w->TxtOfficeName[0]->setText("Sheets\r\rbig");
    run().platform.openFileDialog.answers << "/opt/odd\rname/tool\n";
    w->CmdOfficeBrowse_Click(0);
    w->TxtOfficeName[1]->setText("Second");
    w->TxtOfficeCmd[1]->setText("/opt/second");
    w->CmdUpdate_Click();
    w->CmdCustomSave_Click();
    QCOMPARE(run().log(), QStringList({"Play Write", "Speak I have saved your favourites.", "Play RestPose",
                                       "Play Write", "Speak I have updated your office menu.", "Play Restpose"}));
    // The boxes and the menus show what the files hold.
    QCOMPARE(w->TxtSiteName[2]->text(), QString("Pasted name"));
    QCOMPARE(run().app->frmMenus()->MnuCustom[2]->text(), QString("Pasted name"));
    QCOMPARE(readFile(favourites()).count("\r\n"), 20);
    QCOMPARE(readFile(office()).count("\r\n"), 20);
    QCOMPARE(readFile(office()).count('\r'), 20);

    // The next start reads every slot where it was.
    w->close();
    settle();
    restart();
    FrmMain *again = start();
    QCOMPARE(again->TxtSiteName[2]->text(), QString("Pasted name"));
    QCOMPARE(again->TxtSiteURL[2]->text(), QString("https://two.example/ https://three.example/"));
    QCOMPARE(again->TxtSiteName[3]->text(), QString("Kept"));
    QCOMPARE(again->TxtSiteURL[3]->text(), QString("https://kept.example/"));
    QVERIFY(again->TxtSiteName[4]->text().isEmpty());
    QCOMPARE(again->TxtOfficeName[0]->text(), QString("Sheets  big"));
    QCOMPARE(again->TxtOfficeCmd[0]->text(), QString("/opt/odd name/tool "));
    QCOMPARE(again->TxtOfficeName[1]->text(), QString("Second"));
    QCOMPARE(again->TxtOfficeCmd[1]->text(), QString("/opt/second"));
}

void TestOptions::failedSave()
{
    FrmMain *w = start();
    // A folder where the file should be: nothing can be written there.
    QVERIFY(QDir().mkpath(favourites()));
    QVERIFY(QDir().mkpath(office()));
    w->TxtSiteName[0]->setText("News");
    w->TxtOfficeName[1]->setText("Sheets");
    w->CmdUpdate_Click();
    w->CmdCustomSave_Click();
    QCOMPARE(run().log(), QStringList({"Play Write", "Speak I could not save your favourites.", "Play RestPose",
                                       "Play Write", "Speak I could not save your office menu.", "Play Restpose"}));
    // The menus are rebuilt all the same.
    QVERIFY(run().app->frmMenus()->MnuCustom[0]->isVisible());
    QCOMPARE(run().app->frmMenus()->MnuOffice[1]->text(), QString("Sheets"));
}

void TestOptions::officePage()
{
    FrmMain *w = start();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->ShowPage(FrmMain::OfficePage);
    w->ComCustom->setCurrentIndex(6);
    Q_EMIT w->ComCustom->activated(6);
    for (int k = 0; k < 10; ++k) {
        QCOMPARE(!w->TxtOfficeName[k]->isHidden(), k == 6);
        QCOMPARE(!w->CmdOfficeBrowse[k]->isHidden(), k == 6);
    }
    QCOMPARE(w->ComCustom->currentText(), QString("Item7"));
    w->ComCustom->setCurrentIndex(2);
    Q_EMIT w->ComCustom->activated(2);
    auto &dialog = run().platform.openFileDialog;
    dialog.answers << "/opt/tools/sheets";
    QTest::keyClicks(w->TxtOfficeName[2], "Sheets");
    QTest::mouseClick(w->CmdOfficeBrowse[2], Qt::LeftButton);
    QCOMPARE(w->TxtOfficeCmd[2]->text(), QString("/opt/tools/sheets"));
    QCOMPARE(w->TxtOfficeName[2]->text(), QString("Sheets"));
    // Cancelled: the slot keeps its command; the last pick is offered again.
    QTest::mouseClick(w->CmdOfficeBrowse[2], Qt::LeftButton);
    QCOMPARE(w->TxtOfficeCmd[2]->text(), QString("/opt/tools/sheets"));
    QCOMPARE(dialog.asked.size(), 2);
    QCOMPARE(dialog.asked.at(0).title, QString("Select a programme to add:"));
    QCOMPARE(dialog.asked.at(0).filter, QString("Programme files (*.exe)|*.exe|All Files (*.*)|*.*"));
    QCOMPARE(dialog.asked.at(1).initialFile, QString("/opt/tools/sheets"));
    QTest::mouseClick(w->CmdCustomSave, Qt::LeftButton);
    const QStringList lines = QString::fromUtf8(readFile(office())).split("\r\n");
    QCOMPARE(lines.size(), 21);
    QCOMPARE(lines.at(4), QString("Sheets"));
    QCOMPARE(lines.at(5), QString("/opt/tools/sheets"));
    QCOMPARE(run().app->frmMenus()->MnuOffice[2]->text(), QString("Sheets"));
    QVERIFY(run().app->frmMenus()->MnuOffice[2]->isVisible());
    QCOMPARE(run().log(), QStringList({"Play Write", "Speak I have updated your office menu.", "Play Restpose"}));
    // Closed and opened again: still there.
    w->close();
    settle();
    QCOMPARE(run().app->frmMain()->TxtOfficeCmd[2]->text(), QString("/opt/tools/sheets"));
}

void TestOptions::places()
{
    // A list beside the program's folder, where earlier versions kept it, is
    // taken over into the user's folder at the first load.
    QVERIFY(writeFile(m_dir->path() + "/binfavourites.txt", "Old\r\nhttps://old.example.org/\r\n"));
    FrmMain *w = start();
    QCOMPARE(w->favouritesPlace(), favourites());
    QCOMPARE(w->TxtSiteName[0]->text(), QString("Old"));
    w->TxtSiteName[0]->setText("News");
    w->CmdUpdate_Click();
    // Saved in the user's folder; the old file is left as it was.
    QCOMPARE(FileOperations::LoadListFile(favourites())->at(0), QString("News"));
    QCOMPARE(readFile(m_dir->path() + "/binfavourites.txt"), QByteArray("Old\r\nhttps://old.example.org/\r\n"));
    w->close();
    settle();
    QCOMPARE(run().app->frmMain()->TxtSiteName[0]->text(), QString("News"));
}

void TestOptions::userName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("name") << "Robin";
    QTest::newRow("blanks kept") << "  Robin ";
    QTest::newRow("empty") << "";
}

void TestOptions::userName()
{
    QFETCH(QString, typed);
    FrmMain *options = start();
    FrmUser *user = run().app->frmUser();
    QCOMPARE(user->windowTitle(), QString("User"));
    QVERIFY(user->TxtName->text().isEmpty());
    user->show();
    QVERIFY(QTest::qWaitForWindowExposed(user));
    QTest::keyClicks(user->TxtName, typed);
    QTest::mouseClick(user->CmdOK, Qt::LeftButton);
    QCOMPARE(options->LblUser->text(), typed);
    // Its row is there for a name only; without one the pages have the room.
    QCOMPARE(options->LblUser->isVisibleTo(options), !typed.isEmpty());
    QCOMPARE(options->LblCurrent[3]->text(), typed);
    QCOMPARE(run().settings.read("Kestrova", "User", "Name"), typed);
    QCOMPARE(run().log(), QStringList({"Play Greet", "Speak Hello " + typed + "; my name is Kess"}));
    QVERIFY(!user->isVisible());
    settle();
    QVERIFY(run().app->frmUser() != nullptr);
    QVERIFY(run().app->frmUser()->TxtName->text().isEmpty());
}

void TestOptions::userNameCancel()
{
    run().settings.write("Kestrova", "User", "Name", "Robin");
    FrmMain *options = start();
    FrmUser *user = run().app->frmUser();
    user->TxtName->setText("Other");
    user->CmdCancel_Click();
    QCOMPARE(options->LblUser->text(), QString("Robin"));
    QCOMPARE(run().settings.read("Kestrova", "User", "Name"), QString("Robin"));
    QVERIFY(run().log().isEmpty());
    // The options window's own button opens the same window.
    settle();
    options->CmdChangeAgent[1]->click();
    QVERIFY(run().app->frmUser()->isVisible());
}

void TestOptions::greetingUsesStoredName()
{
    run().settings.write("Kestrova", "User", "Name", "Robin ");
    restart();
    run().settings.write("Kestrova", "Run", "Number", "4");
    run().service.characterName = "Peedy";
    run().app->Main();
    QVERIFY(run().log().contains("Speak Hi Robin , what are we going to do today?"));
}

// A name typed into the settings file by hand, or a character's own name,
// is shown as the letters it holds: markup is not drawn, and control
// characters and direction overrides are not shown as boxes or obeyed.
void TestOptions::namesShownAsText()
{
    run().settings.write("Kestrova", "User", "Name", QString("<b>Rob</b>\x01in\x1b[31m\u202e"));
    restart();
    run().service.characterName = "<i>Kess</i>\x07";
    run().app->Main();
    FrmMain *w = run().app->frmMain();
    for (QLabel *label : {w->LblUser, w->LblCurrent[3]}) {
        QCOMPARE(label->text(), QString("<b>Rob</b>in"));
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }
    QCOMPARE(w->LblCurrent[1]->text(), QString("<i>Kess</i>"));
    QCOMPARE(w->LblCurrent[1]->textFormat(), Qt::PlainText);
    // A name changed while the window is open is shown the same way.
    run().app->model().setUserName(QString("<u>Sam</u>\t\x02"));
    QCOMPARE(w->LblUser->text(), QString("<u>Sam</u> "));
}

// The mail watch counts its ticks without the options window, and a due
// check with the line up runs without it too.
void TestOptions::mailTicksMakeNoWindow()
{
    run().settings.write("Kestrova", "Mail", "1", "pop.example.org");
    run().settings.write("Kestrova", "Mail", "4", "3");
    FrmMain *w = start();
    MailWatch &watch = run().app->mailWatch();
    QCOMPARE(watch.MailInterval, qint16(3));
    QVERIFY(watch.timerOn());
    w->close();
    settle();
    QVERIFY(!run().app->frmMainLoaded());
    // Timed checks run for the whole run, the window closed or not.
    QVERIFY(watch.timerOn());
    watch.MailTicks = 0;
    watch.TmrMail_Timer();
    watch.TmrMail_Timer();
    QCOMPARE(watch.MailTicks, qint16(2));
    // Due, line down: no check, no window, the count waits.
    watch.TmrMail_Timer();
    QCOMPARE(watch.MailTicks, qint16(2));
    QVERIFY(!run().app->frmMainLoaded());
    // Due, line up: the check runs, and still no window.
    run().platform.dialUp.state = true;
    watch.TmrMail_Timer();
    QCOMPARE(watch.MailTicks, qint16(0));
    QVERIFY(!run().app->frmMainLoaded());
    QTRY_COMPARE(run().platform.mailboxes.script.calls().value(0), QString("OpenMailbox pop.example.org||"));
}

QTEST_MAIN(TestOptions)
#include "test_options.moc"
