// The quick toolbar, the tip of the day and the start-up order between them.

#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmOpen.h"
#include "FrmQuick.h"
#include "FrmSearch.h"
#include "SettingsStore.h"
#include "TestRun.h"
#include "frmTip.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>

using namespace kestrova;
using kestrova::test::TestRun;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(bytes);
    return true;
}

QString tipsSetting(TestRun &run)
{
    return run.settings.read(frmTip::settingApplication(), QStringLiteral("Options"), frmTip::SettingKey);
}

} // namespace

class TestQuickTips : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void toolbarLayout();
    void imagesAtBothScales();
    void buttonOpensWindow_data();
    void buttonOpensWindow();
    void characterButtonAndItems();
    void readClipboard_data();
    void readClipboard();
    void selectionAnsweredLateOrNever();
    void myOfficeMenu();
    void myOfficeMenuByMouse();
    void loadWithoutListFiles();
    void closingToolbarEndsProgram();

    void startupShowsTipThenToolbar();
    void tipsSwitchedOff();
    void tips_data();
    void tips();
    void nextTipDrawsWithReplacement();
    void eachStartShowsTheNextTip();
    void enterPressesTheButtonDrawnAsDefault();
    void missingFile();
    void untickingSkipsNextStart();
    void shippedTips();

private:
    TestRun &run() { return *m_run; }
    // A run whose program folder is `m_programDir`, with the tips file
    // holding `tips` (no file when null).
    void startWithTips(const QByteArray &tips);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_programDir;
    std::unique_ptr<TestRun> m_run;
};

void TestQuickTips::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_programDir = m_dir->path() + QStringLiteral("/bin");
    QDir().mkpath(m_programDir);
    m_run = std::make_unique<TestRun>(m_dir->path() + QStringLiteral("/settings"));
    m_run->agent();
    m_run->character().completeAll();
}

void TestQuickTips::cleanup()
{
    m_run.reset();
    settle();
}

void TestQuickTips::startWithTips(const QByteArray &tips)
{
    m_run.reset();
    settle();
    if (!tips.isNull())
        QVERIFY(writeFile(m_programDir + QStringLiteral("/TIPOFDAY.TXT"), tips));
    m_run = std::make_unique<TestRun>(m_dir->path() + QStringLiteral("/settings"), QStringLiteral("Kess"),
                                      m_programDir);
    m_run->app->Main();
}

void TestQuickTips::toolbarLayout()
{
    FrmQuick *quick = run().app->frmQuick();
    QCOMPARE(quick->windowTitle(), QString("Quick Launch"));
    const QList<QAction *> actions = quick->Toolbar->actions();
    QCOMPARE(actions.size(), 11);
    const QStringList keys = {"search", "", "open", "", "settings", "", "calender", "", "word", "", "agent"};
    const QStringList tips = {"Search the 'Web", "Open a file", "Program settings & options", "Calender",
                              "Run MS Word", "Agent Options"};
    int button = 0;
    for (int k = 0; k < 11; ++k) {
        QCOMPARE(actions.at(k)->isSeparator(), keys.at(k).isEmpty());
        if (keys.at(k).isEmpty())
            continue;
        auto *b = qobject_cast<QToolButton *>(quick->Toolbar->widgetForAction(actions.at(k)));
        QVERIFY(b);
        QCOMPARE(b->objectName(), keys.at(k));
        QCOMPARE(b->toolTip(), tips.at(button++));
        QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonIconOnly);
    }
    const QMap<QString, QStringList> menus = {
        {"search", {"Search=search", "Check Mail=mail"}},
        {"word", {"Run=run", "New Document=doc", "Read Selection=read", "My Office=myoffice"}},
        {"agent", {"Show=show", "Hide=hide", "Change=change", "Read Clipboard=clipboard",
                   "Read Selected Text=selection"}},
    };
    for (const QString key : {"search", "open", "settings", "calender", "word", "agent"}) {
        QToolButton *b = quick->button(key);
        if (!menus.contains(key)) {
            QVERIFY(!b->menu());
            continue;
        }
        QCOMPARE(b->popupMode(), QToolButton::MenuButtonPopup);
        QStringList items;
        for (QAction *a : b->menu()->actions()) {
            QVERIFY(a->isEnabled() && a->isVisible());
            items << a->text() + u'=' + a->data().toString();
        }
        QCOMPARE(items, menus.value(key));
    }
}

void TestQuickTips::imagesAtBothScales()
{
    const QString dir = QStringLiteral(KESTROVA_PROGRAM_DIR);
    for (const QString &key : FrmQuick::imageKeys()) {
        const QIcon icon = FrmQuick::image(dir, key);
        QVERIFY2(!icon.isNull(), qPrintable(key));
        for (qreal scale : {1.0, 2.0}) {
            const QPixmap p = icon.pixmap(QSize(24, 24), scale);
            QCOMPARE(p.size(), QSize(24, 24) * scale);
            // Drawn, not an empty square.
            const QImage img = p.toImage();
            int opaque = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    opaque += qAlpha(img.pixel(x, y)) > 200;
            QVERIFY2(opaque > img.width() * img.height() / 8, qPrintable(key));
        }
    }
}

void TestQuickTips::buttonOpensWindow_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("menuItem");
    QTest::addColumn<QString>("window");
    QTest::newRow("search") << "search" << false << "FrmSearch";
    QTest::newRow("search item") << "search" << true << "FrmSearch";
    QTest::newRow("open") << "open" << false << "FrmOpen";
    QTest::newRow("settings") << "settings" << false << "FrmMain";
    QTest::newRow("calender") << "calender" << false << "FrmCalender";
    QTest::newRow("unknown key") << "nothing" << false << "";
    QTest::newRow("unknown item") << "open" << true << "";
}

void TestQuickTips::buttonOpensWindow()
{
    QFETCH(QString, key);
    QFETCH(bool, menuItem);
    QFETCH(QString, window);
    FrmQuick *quick = run().app->frmQuick();
    run().character().log.clear();
    if (menuItem)
        quick->Toolbar_ButtonMenuClick(key);
    else
        quick->Toolbar_ButtonClick(key);
    QStringList visible;
    for (QWidget *w : run().app->forms().all())
        if (w->isVisible())
            visible << w->objectName();
    QCOMPARE(visible, window.isEmpty() ? QStringList() : QStringList{window});
    QCOMPARE(run().log(), QStringList());
}

void TestQuickTips::characterButtonAndItems()
{
    FrmQuick *quick = run().app->frmQuick();
    auto &c = run().character();
    run().agent().Agent.Hide();
    c.completeAll();
    c.log.clear();
    // The face toggles; each item acts one way only.
    quick->button("agent")->click();
    c.completeAll();
    QVERIFY(c.visible());
    quick->Toolbar_ButtonClick("agent");
    c.completeAll();
    QVERIFY(!c.visible());
    quick->Toolbar_ButtonMenuClick("hide");
    quick->Toolbar_ButtonMenuClick("show");
    c.completeAll();
    quick->Toolbar_ButtonMenuClick("show");
    c.completeAll();
    QVERIFY(c.visible());
    QCOMPARE(c.log, QStringList({"Show", "Hide", "Hide", "Show", "Show"}));
    run().service.calls.clear();
    quick->Toolbar_ButtonMenuClick("change");
    QCOMPARE(run().service.calls, QStringList{"DefaultCharacterProperties"});
}

// The clipboard, and the text selected in another program from the
// toolbar and by the spoken command: each read from its own place, never
// the other's, with the same reaction whether there is text or not.
void TestQuickTips::readClipboard_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("log");
    for (const char *how : {"clipboard", "selection", "spoken"}) {
        QTest::addRow("%s, hidden", how) << how << false << "Buy milk" << QStringList{"Show", "Play Read", "Speak Buy milk"};
        QTest::addRow("%s, visible", how) << how << true << "Buy milk" << QStringList{"Play Read", "Speak Buy milk"};
        QTest::addRow("%s, empty", how) << how << true << "" << QStringList{"Play Read", "Speak "};
    }
}

void TestQuickTips::readClipboard()
{
    QFETCH(QString, how);
    QFETCH(bool, visible);
    QFETCH(QString, text);
    QFETCH(QStringList, log);
    auto &c = run().character();
    if (visible)
        run().agent().Agent.Show();
    else
        run().agent().Agent.Hide();
    c.completeAll();
    c.log.clear();
    const QString elsewhere = QStringLiteral("the other place's text");
    const bool clipboard = how == u"clipboard";
    run().platform.clipboard.contents = clipboard ? text : elsewhere;
    run().platform.clipboard.selection = clipboard ? elsewhere : text;
    if (how == u"spoken")
        run().agent().AgentCtrl_Command({"Read Selected Text", 80, "read selected text"});
    else
        run().app->frmQuick()->Toolbar_ButtonMenuClick(how);
    QCOMPARE(c.log, log);
}

void TestQuickTips::selectionAnsweredLateOrNever()
{
    auto &c = run().character();
    run().agent().Agent.Show();
    c.completeAll();
    c.log.clear();
    test::FakeClipboard &clipboard = run().platform.clipboard;
    clipboard.answerLater = true;
    clipboard.selection = "late words";
    run().app->frmQuick()->Toolbar_ButtonMenuClick("selection");
    // Nothing is said until the selection's owner answers.
    QCOMPARE(c.log, QStringList());
    clipboard.answerSelection();
    QCOMPARE(c.log, QStringList({"Play Read", "Speak late words"}));
    c.completeAll();
    c.log.clear();
    // An owner that never answers: the character says so.
    run().agent().AgentCtrl_Command({"Read Selected Text", 80, "read this"});
    clipboard.unreadable = true;
    clipboard.answerSelection();
    QCOMPARE(c.log, QStringList({"Speak I could not read the selected text."}));
    // The clipboard's owner that never answers, the character hidden: it
    // comes out and says so, rather than reading an empty text.
    run().agent().Agent.Hide();
    c.completeAll();
    c.log.clear();
    clipboard.contents = "never given";
    clipboard.clipboardUnreadable = true;
    run().app->frmQuick()->Toolbar_ButtonMenuClick("clipboard");
    QCOMPARE(c.log, QStringList({"Show", "Speak I could not read the clipboard."}));
}

void TestQuickTips::myOfficeMenu()
{
    run().platform.mousePointer.where = QPoint(200, 240);
    run().app->frmQuick()->Toolbar_ButtonMenuClick("myoffice");
    QMenu *menu = run().app->frmMenus()->MnuMyOffice;
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), QPoint(200, 240));
    menu->hide();
}

// The Word button's drop-down, opened and chosen from with the mouse as the
// user does: its "My Office" pops that menu up at the pointer, as the key
// does.
void TestQuickTips::myOfficeMenuByMouse()
{
    run().platform.mousePointer.where = QPoint(200, 240);
    FrmQuick *quick = run().app->frmQuick();
    quick->show();
    QVERIFY(QTest::qWaitForWindowExposed(quick));
    QToolButton *word = quick->button("word");
    QVERIFY(word && word->menu());
    QAction *myOffice = nullptr;
    for (QAction *a : word->menu()->actions())
        if (a->data().toString() == u"myoffice")
            myOffice = a;
    QVERIFY(myOffice);
    // The drop-down runs its own event loop while open: the item is clicked
    // from inside it.
    bool dropped = false;
    QTimer::singleShot(0, word->menu(), [&dropped, menu = word->menu(), myOffice] {
        dropped = menu->isVisible();
        const QPoint at = menu->actionGeometry(myOffice).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    });
    // The arrow is the button's right end.
    const QPoint arrow(word->width() - 3, word->height() / 2);
    QTest::mouseClick(word, Qt::LeftButton, {}, arrow);
    QTRY_VERIFY(dropped);
    QTRY_VERIFY(!word->menu()->isVisible());
    QMenu *menu = run().app->frmMenus()->MnuMyOffice;
    QTest::qWait(200);
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), QPoint(200, 240));
    menu->hide();
}

void TestQuickTips::loadWithoutListFiles()
{
    // No list files beside the empty program folder: the menus stay as
    // designed, and the accessories menu is still rebuilt from the settings.
    run().settings.write("Kestrova", "Accessories", "Calc", "Sel");
    startWithTips(QByteArray());
    FrmMenus *menus = run().app->frmMenus();
    for (int k = 0; k < 10; ++k) {
        QVERIFY(!menus->MnuCustom[k]->isVisible());
        QVERIFY(!menus->MnuOffice[k]->isVisible());
    }
    QVERIFY(menus->MnuCalc->isVisible());
    QVERIFY(!menus->MnuNotepad->isVisible());
}

void TestQuickTips::closingToolbarEndsProgram()
{
    run().app->Main();
    run().app->tipWindow()->close();
    FrmQuick *quick = run().app->frmQuick();
    QVERIFY(quick->isVisible());
    auto &c = run().character();
    c.completeAll();
    c.log.clear();
    QSignalSpy finished(run().app.get(), &Application::finished);
    quick->close();
    QCOMPARE(c.log, QStringList({"StopAll", "Speak Goodbye ", "Hide"}));
    c.completeAll();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(run().app->forms().count(), 0);
    // The second AgentQuit, from the toolbar's own unload, queued nothing.
    QCOMPARE(c.log.count("Hide"), 1);
}

void TestQuickTips::startupShowsTipThenToolbar()
{
    startWithTips("Tip one\r\n");
    frmTip *tip = run().app->tipWindow();
    QVERIFY(tip->isVisible());
    QCOMPARE(tip->windowTitle(), QString("Tip of the Day"));
    QVERIFY(!run().app->frmQuick()->isVisible());
    QCOMPARE(tipsSetting(run()), QString("1"));
    // The greeting (a second run's) was queued before the window opened.
    QVERIFY(!run().log().filter(QRegularExpression("^Speak Good (Morning|Afternoon|Evening) ")).isEmpty());
    QTest::mouseClick(tip->cmdOK, Qt::LeftButton);
    settle();
    QVERIFY(!run().app->forms().isLoaded(tip));
    QVERIFY(run().app->frmQuick()->isVisible());
}

void TestQuickTips::tipsSwitchedOff()
{
    run().settings.write(frmTip::settingApplication(), "Options", frmTip::SettingKey, "0");
    startWithTips("Tip one\r\n");
    QVERIFY(run().app->frmQuick()->isVisible());
    settle();
    for (QWidget *w : run().app->forms().all())
        QVERIFY(w->objectName() != u"frmTip");
    QCOMPARE(tipsSetting(run()), QString("0"));
}

void TestQuickTips::tips_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<double>("draw");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("shown");
    QTest::newRow("three, first") << QByteArray("one\r\ntwo\r\nthree\r\n") << 0.0 << 3 << 1 << "one";
    QTest::newRow("three, middle") << QByteArray("one\r\ntwo\r\nthree\r\n") << 0.5 << 3 << 2 << "two";
    QTest::newRow("three, last") << QByteArray("one\rtwo\rthree") << 0.999 << 3 << 3 << "three";
    QTest::newRow("empty second line") << QByteArray("one\r\n\r\nthree\r\n") << 0.4 << 3 << 2 << "";
    QTest::newRow("blanks are a tip") << QByteArray("   \r\n") << 0.0 << 1 << 1 << "   ";
    QTest::newRow("empty file") << QByteArray("") << 0.7 << 0 << 1 << "";
}

void TestQuickTips::tips()
{
    QFETCH(QByteArray, file);
    QFETCH(double, draw);
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(QString, shown);
    m_run.reset();
    settle();
    QVERIFY(writeFile(m_programDir + QStringLiteral("/TIPOFDAY.TXT"), file));
    m_run = std::make_unique<TestRun>(m_dir->path() + QStringLiteral("/settings"), QStringLiteral("Kess"),
                                      m_programDir);
    run().platform.random.queued = {draw};
    run().platform.clock.time = QDateTime(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC);
    run().app->Main();
    frmTip *tip = run().app->tipWindow();
    QCOMPARE(tip->tips().size(), count);
    QCOMPARE(tip->CurrentTip, current);
    QCOMPARE(tip->lblTipText->text(), shown);
    // Seeded from the clock before the draw.
    QCOMPARE(run().platform.random.seeds, QList<unsigned>{unsigned(run().platform.clock.time.toSecsSinceEpoch())});
}

void TestQuickTips::nextTipDrawsWithReplacement()
{
    m_run.reset();
    settle();
    QVERIFY(writeFile(m_programDir + QStringLiteral("/TIPOFDAY.TXT"), "one\ntwo\nthree\n"));
    m_run = std::make_unique<TestRun>(m_dir->path() + QStringLiteral("/settings"), QStringLiteral("Kess"),
                                      m_programDir);
    run().platform.random.queued = {0.1, 0.9, 0.9, 0.5};
    run().app->Main();
    frmTip *tip = run().app->tipWindow();
    QStringList seen{tip->lblTipText->text()};
    for (int k = 0; k < 3; ++k) {
        QTest::mouseClick(tip->cmdNextTip, Qt::LeftButton);
        seen << tip->lblTipText->text();
    }
    QCOMPARE(seen, QStringList({"one", "three", "three", "two"}));
}

void TestQuickTips::eachStartShowsTheNextTip()
{
    // Whatever the draw, consecutive starts go on through the file, round
    // to the first after the last; the tip Next Tip brought is the one
    // the next start follows on from.
    QStringList seen;
    for (int start = 0; start < 4; ++start) {
        m_run.reset();
        settle();
        QVERIFY(writeFile(m_programDir + QStringLiteral("/TIPOFDAY.TXT"), "one\ntwo\nthree\n"));
        m_run = std::make_unique<TestRun>(m_dir->path() + QStringLiteral("/settings"), QStringLiteral("Kess"),
                                          m_programDir);
        run().platform.random.queued = {0.5, 0.5, 0.5, 0.5};
        run().app->Main();
        seen << run().app->tipWindow()->lblTipText->text();
    }
    QCOMPARE(seen, QStringList({"two", "three", "one", "two"}));
    frmTip *tip = run().app->tipWindow();
    run().platform.random.queued = {0.0};
    tip->cmdNextTip_Click();
    QCOMPARE(tip->lblTipText->text(), QString("one"));
    startWithTips("one\ntwo\nthree\n");
    QCOMPARE(run().app->tipWindow()->lblTipText->text(), QString("two"));
    // A number left for a longer file than this one: drawn afresh.
    run().settings.write(frmTip::settingApplication(), "Options", frmTip::LastTipKey, "9");
    startWithTips("one\ntwo\nthree\n");
    QCOMPARE(run().app->tipWindow()->CurrentTip, 1);
}

void TestQuickTips::enterPressesTheButtonDrawnAsDefault()
{
    startWithTips("one\ntwo\nthree\n");
    frmTip *tip = run().app->tipWindow();
    tip->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(tip));
    // OK is drawn as the default at first, and Enter presses it.
    QVERIFY(tip->cmdOK->isDefault());
    QVERIFY(!tip->cmdNextTip->isDefault());
    // With Next Tip focused (clicked, or reached by Tab), Next Tip is drawn
    // as the default and OK is not: Enter presses Next Tip.
    tip->cmdNextTip->setFocus(Qt::TabFocusReason);
    QVERIFY(tip->cmdNextTip->isDefault());
    QVERIFY(!tip->cmdOK->isDefault());
    QSignalSpy next(tip->cmdNextTip, &QAbstractButton::clicked);
    QTest::keyClick(tip->cmdNextTip, Qt::Key_Return);
    QCOMPARE(next.count(), 1);
    QVERIFY(tip->isVisible());
    // The focus on the box below: OK is the default again, and Enter closes.
    tip->chkLoadTipsAtStartup->setFocus(Qt::TabFocusReason);
    QVERIFY(tip->cmdOK->isDefault());
    QVERIFY(!tip->cmdNextTip->isDefault());
    const QPointer<frmTip> still(tip);
    QTest::keyClick(tip->chkLoadTipsAtStartup, Qt::Key_Return);
    settle();
    QVERIFY(!still || !still->isVisible());
    QCOMPARE(next.count(), 1);
}

void TestQuickTips::missingFile()
{
    startWithTips(QByteArray());
    frmTip *tip = run().app->tipWindow();
    QCOMPARE(tip->lblTipText->text(),
             QString("That the TIPOFDAY.TXT file was not found? \r\n\r\nCreate a text file named TIPOFDAY.TXT "
                     "using NotePad with 1 tip per line. Then place it in the same directory as the application. "));
    QVERIFY(!tip->LoadTips(QString()));
    // Next Tip has nothing to show instead.
    tip->cmdNextTip_Click();
    QVERIFY(tip->lblTipText->text().startsWith("That the "));
}

void TestQuickTips::untickingSkipsNextStart()
{
    startWithTips("one\r\n");
    frmTip *tip = run().app->tipWindow();
    tip->chkLoadTipsAtStartup->click();
    QCOMPARE(tipsSetting(run()), QString("0"));
    tip->close();
    startWithTips("one\r\n");
    QVERIFY(run().app->frmQuick()->isVisible());
    settle();
    for (QWidget *w : run().app->forms().all())
        QVERIFY(w->objectName() != u"frmTip");
}

void TestQuickTips::shippedTips()
{
    QFile f(QStringLiteral(KESTROVA_PROGRAM_DIR "/TIPOFDAY.TXT"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    int tips = 0;
    for (const QByteArray &line : lines)
        tips += !line.trimmed().isEmpty();
    QVERIFY(tips >= 30);
}

QTEST_MAIN(TestQuickTips)
#include "test_quick_tips.moc"
