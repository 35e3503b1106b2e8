// Every window answers the keyboard: Tab reaches each enabled, visible box
// and button in reading order (down a column, along a row, then the next
// column to the right); no two mnemonics shown at once share a letter, and
// a mnemonic on a label leads somewhere; Escape closes a window (the Quick
// Launch toolbar aside: closing it ends the program); Enter presses the
// default button once.

#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmOpen.h"
#include "FrmQuick.h"
#include "FrmSearch.h"
#include "FrmTour.h"
#include "FrmUser.h"
#include "HelpBook.h"
#include "TestRun.h"
#include "ProgramWindows.h"
#include "WindowKeys.h"
#include "frmAbout.h"
#include "frmTip.h"
#include "Commands.h"
#include "desktop/CharacterChooser.h"
#include "desktop/CharacterOptionsDialog.h"
#include "desktop/CommandsWindow.h"
#include "desktop/ListeningPrompt.h"
#include "desktop/VoiceEnrolmentWindow.h"
#include "AudioSource.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace kestrova;
using kestrova::test::TestRun;
using Case = kestrova::test::WindowCase;
using kestrova::test::cases;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString describe(const QWidget *w)
{
    QString text;
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        text = b->text();
    return QStringLiteral("%1 %2 \"%3\"").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text);
}

QRect inWindow(const QWidget *w)
{
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

// The widgets Tab should stop at: enabled, shown, taking focus by Tab, and
// not standing in for another.
QList<QWidget *> expectedStops(QWidget *window)
{
    QList<QWidget *> out;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !w->isVisibleTo(window) || !w->isEnabled())
            continue;
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            continue;
        // Of a group of exclusive choices Tab stops at the chosen one; the
        // arrow keys move between them.
        if (auto *b = qobject_cast<QAbstractButton *>(w); b && b->isCheckable() && !b->isChecked()
            && ((b->group() && b->group()->exclusive()) || (!b->group() && b->autoExclusive())))
            continue;
        out << w;
    }
    return out;
}

// Presses Tab from the first stop until focus comes round again; the stops
// in the order met.
QList<QWidget *> walk(QWidget *window, QWidget *first)
{
    QList<QWidget *> seen;
    first->setFocus(Qt::TabFocusReason);
    if (QApplication::focusWidget() != first)
        return seen;
    seen << first;
    for (int i = 0; i < 200; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *now = QApplication::focusWidget();
        if (!now || now == first || now->window() != window)
            break;
        if (seen.contains(now))
            break;
        seen << now;
    }
    return seen;
}

// Whether `b` may follow `a` in reading order.
bool readsAfter(const QRect &a, const QRect &b)
{
    const int slack = 4;
    if (b.top() >= a.bottom() - slack)
        return true; // below
    const bool sameRow = b.top() < a.bottom() && b.bottom() > a.top();
    if (sameRow && b.left() >= a.left())
        return true; // further along the row
    return b.left() >= a.right() - slack; // the next column to the right
}

// The letter of a "&x" mnemonic, or a null character.
QChar mnemonic(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != u'&')
            continue;
        if (text.at(i + 1) == u'&') {
            ++i;
            continue;
        }
        return text.at(i + 1).toLower();
    }
    return {};
}

// Each mnemonic letter shown at once, with who owns it; faults found on
// the way (a label with a mnemonic and nothing to lead to).
QMultiMap<QChar, QString> mnemonics(QWidget *window, QStringList *faults)
{
    QMultiMap<QChar, QString> out;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !w->isVisibleTo(window))
            continue;
        QString text;
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            text = b->text();
        } else if (auto *l = qobject_cast<QLabel *>(w)) {
            text = l->text();
            if (!mnemonic(text).isNull() && !l->buddy())
                *faults << QStringLiteral("label \"%1\" has a mnemonic and no buddy").arg(text);
        } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
            text = g->isCheckable() ? g->title() : QString();
        } else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (const QChar c = mnemonic(tabs->tabText(i)); !c.isNull())
                    out.insert(c, QStringLiteral("tab \"%1\"").arg(tabs->tabText(i)));
            continue;
        }
        if (const QChar c = mnemonic(text); !c.isNull())
            out.insert(c, QStringLiteral("\"%1\"").arg(text));
    }
    return out;
}

// Letters that lead to more than one control shown at once, and labels
// whose mnemonic leads nowhere.
QStringList mnemonicFaults(QWidget *window)
{
    QStringList faults;
    const QMultiMap<QChar, QString> letters = mnemonics(window, &faults);
    for (const QChar c : letters.uniqueKeys())
        if (letters.count(c) > 1)
            faults << QStringLiteral("'%1' is the mnemonic of %2").arg(c).arg(QStringList(letters.values(c)).join(" and "));
    return faults;
}

} // namespace

class TestWindowKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void windows_data();
    void windows();
    void enterPressesTheFocusedButton();
    void enterFromABoxPressesOnce();
    void mnemonicCollisionIsFound();
    void menuMnemonics();
    void quickLaunchMenusByKeyboard();
    void commandsWindow();
    void characterOptionsPages();
    void listeningPrompt();
    void f1OpensTheWindowsHelp_data();
    void f1OpensTheWindowsHelp();
    void f1PagesOfTheCharactersWindows();

private:
    TestRun &run() { return *m_run; }
    void lookAt(QWidget *window, bool escapeCloses, bool hasDefault);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
};

void TestWindowKeys::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_run = std::make_unique<TestRun>(m_dir->path());
    run().app->Main();
    // The tip of the day shows the toolbar when it goes; start from there.
    run().app->tipWindow()->close();
    settle();
}

void TestWindowKeys::cleanup()
{
    m_run.reset();
    settle();
    m_dir.reset();
}

void TestWindowKeys::windows_data()
{
    QTest::addColumn<int>("index");
    const QList<Case> all = cases();
    for (int i = 0; i < all.size(); ++i)
        QTest::newRow(all.at(i).name.toUtf8().constData()) << i;
}

void TestWindowKeys::lookAt(QWidget *window, bool escapeCloses, bool hasDefault)
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    // Tab: every stop reached, in reading order.
    QList<QWidget *> stops = expectedStops(window);
    QVERIFY2(!stops.isEmpty(), "nothing takes the keyboard");
    QWidget *first = stops.first();
    for (QWidget *w : stops) {
        const QRect r = inWindow(w), f = inWindow(first);
        if (r.top() < f.top() - 4 || (std::abs(r.top() - f.top()) <= 4 && r.left() < f.left()))
            first = w;
    }
    const QList<QWidget *> order = walk(window, first);
    QStringList unreached;
    for (QWidget *w : stops)
        if (!order.contains(w))
            unreached << describe(w);
    QVERIFY2(unreached.isEmpty(), qPrintable("not reached by Tab: " + unreached.join(", ")));
    for (qsizetype i = 1; i < order.size(); ++i) {
        const QRect a = inWindow(order.at(i - 1)), b = inWindow(order.at(i));
        QVERIFY2(readsAfter(a, b), qPrintable(QStringLiteral("Tab goes back from %1 to %2")
                                                  .arg(describe(order.at(i - 1)), describe(order.at(i)))));
    }

    // Mnemonics shown at once are all different.
    const QStringList faults = mnemonicFaults(window);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));

    // Enter presses the default button, once.
    QPushButton *button = WindowKeys::defaultButton(window);
    QCOMPARE(button != nullptr, hasDefault);
    if (button) {
        // Pressed by Enter from the first stop that is no button.
        QWidget *from = first;
        for (QWidget *w : order)
            if (!qobject_cast<QAbstractButton *>(w)) {
                from = w;
                break;
            }
        if (qobject_cast<QAbstractButton *>(from) && from != button)
            from = window;
        QSignalSpy pressed(button, &QAbstractButton::clicked);
        const QPointer<QWidget> still(window);
        QTest::keyClick(from, Qt::Key_Return);
        QCOMPARE(pressed.count(), 1);
        settle();
        if (!still || !still->isVisible())
            return; // the button closed the window: nothing more to press
    }

    // Escape.
    const QPointer<QWidget> still(window);
    QWidget *target = QApplication::focusWidget() && QApplication::focusWidget()->window() == window
        ? QApplication::focusWidget() : window;
    QTest::keyClick(target, Qt::Key_Escape);
    settle();
    if (escapeCloses) {
        QVERIFY2(!still || !still->isVisible(), "Escape left the window open");
        QVERIFY(!still || !run().app->forms().isLoaded(still));
    } else {
        QVERIFY2(still && still->isVisible(), "Escape closed the window");
        QVERIFY(run().app->forms().isLoaded(still));
    }
}

void TestWindowKeys::windows()
{
    QFETCH(int, index);
    const Case c = cases().at(index);
    QWidget *window = c.open(run());
    QVERIFY(window && window->isVisible());
    lookAt(window, c.escapeCloses, c.hasDefault);
    if (c.name == u"quick launch")
        QVERIFY(!run().log().contains("Hide"));
}

void TestWindowKeys::enterPressesTheFocusedButton()
{
    // With a button other than the default focused, Enter presses that one.
    FrmUser *w = run().app->frmUser();
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QSignalSpy ok(w->CmdOK, &QAbstractButton::clicked);
    QSignalSpy cancel(w->CmdCancel, &QAbstractButton::clicked);
    w->CmdCancel->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->CmdCancel, Qt::Key_Return);
    QCOMPARE(cancel.count(), 1);
    QCOMPARE(ok.count(), 0);
}

void TestWindowKeys::enterFromABoxPressesOnce()
{
    // The alarm's OK with an empty time keeps the window open and says so;
    // Enter in the time box says it once, not once per handler.
    FrmAlarm *w = run().app->frmAlarm();
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    run().character().log.clear();
    QTest::keyClick(w->TxtAlarmTime, Qt::Key_Return);
    QCOMPARE(run().log(), QStringList{"Speak You must enter a time."});
    // Enter with a modifier is not Enter.
    QTest::keyClick(w->TxtAlarmTime, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(run().log().size(), 1);
}

void TestWindowKeys::mnemonicCollisionIsFound()
{
    // The check itself: two buttons sharing a letter, a label with a
    // mnemonic and no buddy, "&&" that is no mnemonic.
    QWidget w;
    auto *a = new QPushButton(QStringLiteral("&Save"), &w);
    auto *b = new QPushButton(QStringLiteral("&Search"), &w);
    auto *c = new QPushButton(QStringLiteral("Fish && &Chips"), &w);
    auto *l = new QLabel(QStringLiteral("&Name:"), &w);
    Q_UNUSED(a);
    Q_UNUSED(b);
    Q_UNUSED(c);
    Q_UNUSED(l);
    QStringList faults;
    const QMultiMap<QChar, QString> letters = mnemonics(&w, &faults);
    QCOMPARE(letters.count(u's'), 2);
    QCOMPARE(letters.count(u'c'), 1);
    QCOMPARE(letters.count(u'&'), 0);
    QCOMPARE(faults.size(), 1);
    // Hidden widgets do not count: pages share letters.
    b->hide();
    faults.clear();
    QCOMPARE(mnemonics(&w, &faults).count(u's'), 1);
}

void TestWindowKeys::menuMnemonics()
{
    // Each pop-up menu, with every entry shown (the accessories chosen, the
    // office programs and favourites named): no letter twice in one menu.
    FrmMenus *menus = run().app->frmMenus();
    const QList<QMenu *> all = menus->findChildren<QMenu *>();
    QVERIFY(all.size() >= 7);
    for (QAction *a : menus->findChildren<QAction *>())
        a->setVisible(true);
    for (int k = 0; k < 10; ++k) {
        menus->MnuOffice[k]->setText(QStringLiteral("Program %1").arg(k));
        menus->MnuCustom[k]->setText(QStringLiteral("Site %1").arg(k));
    }
    QStringList faults;
    for (const QMenu *m : all) {
        QMultiMap<QChar, QString> letters;
        int marked = 0;
        for (const QAction *a : m->actions()) {
            if (!a->isVisible() || a->isSeparator())
                continue;
            if (const QChar c = mnemonic(a->text()); !c.isNull()) {
                letters.insert(c, a->text());
                ++marked;
            }
        }
        for (const QChar c : letters.uniqueKeys())
            if (letters.count(c) > 1)
                faults << QStringLiteral("%1: '%2' is the mnemonic of %3")
                              .arg(m->objectName()).arg(c).arg(QStringList(letters.values(c)).join(" and "));
        if (marked == 0)
            faults << m->objectName() + QStringLiteral(" has no mnemonics");
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
}

void TestWindowKeys::quickLaunchMenusByKeyboard()
{
    // The toolbar's buttons are reached by Tab (above); the Down arrow opens
    // the menu of one that has a menu, Space runs its face.
    FrmQuick *w = run().app->frmQuick();
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto *agentButton = w->findChild<QToolButton *>(QStringLiteral("agent"));
    QVERIFY(agentButton && agentButton->menu());
    agentButton->setFocus(Qt::TabFocusReason);
    bool opened = false;
    // The menu runs its own event loop while open: look, then close it.
    QTimer::singleShot(0, agentButton->menu(), [&opened, menu = agentButton->menu()] {
        opened = menu->isVisible();
        menu->close();
    });
    QTest::keyClick(agentButton, Qt::Key_Down);
    QTRY_VERIFY(opened);
    auto *openButton = w->findChild<QToolButton *>(QStringLiteral("open"));
    QVERIFY(openButton && !openButton->menu());
    openButton->setFocus(Qt::TabFocusReason);
    QTest::keyClick(openButton, Qt::Key_Space);
    QTRY_VERIFY(run().app->frmOpen()->isVisible());
}

// The character service's options sheet: on every page, the mnemonics
// shown (the page's and the tabs' and buttons') are all different.
void TestWindowKeys::characterOptionsPages()
{
    character::CharacterOptionsDialog sheet;
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QTabWidget *tabs = sheet.tabs();
    QVERIFY(tabs && tabs->count() >= 5);
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        settle();
        const QStringList faults = mnemonicFaults(&sheet);
        QVERIFY2(faults.isEmpty(), qPrintable(tabs->tabText(page) + ": " + faults.join("; ")));
    }
    // Escape closes it.
    QTest::keyClick(&sheet, Qt::Key_Escape);
    QTRY_VERIFY(!sheet.isVisible());
}

void TestWindowKeys::commandsWindow()
{
    character::Commands commands;
    commands.add(QStringLiteral("Mail"), QStringLiteral("Check Mail"), QStringLiteral("check mail"));
    commands.add(QStringLiteral("Time"), QStringLiteral("Time"), QStringLiteral("what time is it"));
    character::CommandsWindow w(commands, QStringLiteral("Kess"));
    QSignalSpy chosen(&w, &character::CommandsWindow::commandChosen);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QWidget *list = w.findChild<QWidget *>(QStringLiteral("kestrovaCommandsList"));
    QWidget *filter = w.findChild<QWidget *>(QStringLiteral("kestrovaCommandsFilter"));
    QVERIFY(list && filter);
    QCOMPARE(expectedStops(&w), (QList<QWidget *>{filter, list}));
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toString(), QString("Time"));
    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
}

void TestWindowKeys::listeningPrompt()
{
    character::ListeningPrompt prompt;
    QSignalSpy cancelled(&prompt, &character::ListeningPrompt::cancelled);
    QSignalSpy submitted(&prompt, &character::ListeningPrompt::submitted);
    prompt.open(QRect(600, 400, 128, 128));
    QVERIFY(QTest::qWaitForWindowActive(&prompt));
    QCOMPARE(expectedStops(&prompt), QList<QWidget *>{prompt.line()});
    QTest::keyClicks(prompt.line(), "time");
    QTest::keyClick(prompt.line(), Qt::Key_Return);
    QTRY_COMPARE(submitted.count(), 1);
    QTest::keyClick(prompt.line(), Qt::Key_Escape);
    QCOMPARE(cancelled.count(), 1);
}

void TestWindowKeys::f1OpensTheWindowsHelp_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("page");
    const QList<Case> all = cases();
    for (int i = 0; i < all.size(); ++i) {
        const QString name = all.at(i).name;
        QString page = QStringLiteral("menus.html");
        if (name == u"options: mail")
            page = QStringLiteral("mail.html");
        else if (name.startsWith(u"options:"))
            page = QStringLiteral("options.html");
        else if (name == u"user" || name.startsWith(u"tip") || name.startsWith(u"tour"))
            page = QStringLiteral("start.html");
        else if (name == u"quick launch")
            page = QStringLiteral("quicklaunch.html");
        QTest::newRow(name.toUtf8().constData()) << i << page;
    }
}

// F1 where the keyboard is in each window opens that window's page of the
// help, in the desktop's browser, and leaves the window as it was.
void TestWindowKeys::f1OpensTheWindowsHelp()
{
    QFETCH(int, index);
    QFETCH(QString, page);
    QWidget *window = cases().at(index).open(run());
    QVERIFY(window && window->isVisible());
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QWidget *target = QApplication::focusWidget() && QApplication::focusWidget()->window() == window
        ? QApplication::focusWidget() : window;
    run().platform.shell.opened.clear();
    QTest::keyClick(target, Qt::Key_F1);
    const QString pagePath = run().app->context().programDir + QStringLiteral("/help/") + page;
    QVERIFY2(QFile::exists(pagePath), qPrintable(pagePath));
    QCOMPARE(run().platform.shell.opened, QStringList{pagePath});
    QVERIFY(window->isVisible());
    // A help key with a modifier is the window's own.
    QTest::keyClick(target, Qt::Key_F1, Qt::ShiftModifier);
    QCOMPARE(run().platform.shell.opened.size(), 1);
}

// The character's own windows and menus, which the program does not load
// through its registry.
void TestWindowKeys::f1PagesOfTheCharactersWindows()
{
    character::CharacterOptionsDialog sheet;
    QCOMPARE(HelpBook::pageFor(&sheet), QStringLiteral("character-options.html"));
    character::Commands commands;
    character::CommandsWindow list(commands, QStringLiteral("Kess"));
    QCOMPARE(HelpBook::pageFor(&list), QStringLiteral("voice.html"));
    QMenu menu;
    QCOMPARE(HelpBook::pageFor(&menu), QStringLiteral("menus.html"));

    // The window that learns the user's voice: F1 there opens the page that
    // tells how, which the listening page's entry points to.
    character::VoiceEnrolmentWindow learn([] { return std::unique_ptr<character::AudioSource>(); },
                                          m_dir->path() + "/voice-recordings", m_dir->path() + "/voice");
    learn.show();
    QVERIFY(QTest::qWaitForWindowExposed(&learn));
    run().platform.shell.opened.clear();
    QTest::keyClick(&learn, Qt::Key_F1);
    const QString voicePage = run().app->context().programDir + QStringLiteral("/help/voice.html");
    QCOMPARE(run().platform.shell.opened, QStringList{voicePage});
    QFile page(voicePage);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString told = QString::fromUtf8(page.readAll());
    QVERIFY2(told.contains(u"id=\"learn\"") && told.contains(u"Learn My Voice") && told.contains(u"Forget my voice"),
             "the voice page tells how the character learns a voice");
    QVERIFY(told.contains(u"Did you mean"));
    QVERIFY(learn.isVisible());
    QWidget other;
    QCOMPARE(HelpBook::pageFor(&other), QStringLiteral("index.html"));

    // A page missing beside the program: the help as the Help command
    // finds it.
    QTemporaryDir bare;
    QVERIFY(QDir().mkpath(bare.path() + "/help"));
    QFile index(bare.path() + "/help/index.html");
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.close();
    TestRun elsewhere(m_dir->path() + "/elsewhere", QStringLiteral("Kess"), bare.path());
    QCOMPARE(HelpBook::OpenPage(*elsewhere.app, QStringLiteral("mail.html")), HelpBook::Shown::Pages);
    QCOMPARE(elsewhere.platform.shell.opened, QStringList{bare.path() + "/help/index.html"});
}

QTEST_MAIN(TestWindowKeys)
#include "test_window_keys.moc"
