// Every text a window shows goes through the translation machinery: with a
// pseudo-language catalogue loaded (each text translated as itself between
// the markers ⟦ and ⟧, made from the sources by the build), every title,
// label, button, menu entry, box title, tab and hint of the program's
// windows shows the markers, and so do sentences the character is given.
// The catalogue is found for the user's language as the program finds it.

#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmOpen.h"
#include "FrmQuick.h"
#include "FrmSearch.h"
#include "FrmUser.h"
#include "frmAbout.h"
#include "frmTip.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmTour.h"
#include "ApplicationChooser.h"
#include "DateFunctions.h"
#include "ProgramModule.h"
#include "SingleInstance.h"
#include "TestRun.h"
#include "Translations.h"
#include "desktop/CharacterChooser.h"
#include "desktop/CharacterOptionsDialog.h"
#include "desktop/CommandsWindow.h"
#include "Commands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace kestrova;
using kestrova::test::RecordingCharacter;
using kestrova::test::TestRun;

namespace {

const QString Folder = QStringLiteral(KESTROVA_PSEUDO_FOLDER);

// Through the catalogue, or nothing to translate (no letters: numbers,
// dots, arrows).
bool translated(const QString &text)
{
    if (text.contains(u'\u27e6'))
        return true;
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

// The texts shown in the window that are not translated, each with where it
// is; `mine` are texts, or "#objectName"s of widgets, shown as they are.
QStringList untranslatedIn(QWidget *window, const QStringList &mine = {})
{
    QStringList out;
    auto check = [&](const QString &text, const QString &where) {
        const QString name = where.section(u' ', -1);
        if (!text.isEmpty() && !translated(text) && !mine.contains(text) && !mine.contains(u'#' + name))
            out << QStringLiteral("%1 \"%2\"").arg(where, text);
    };
    auto shown = [window](const QWidget *w) { return w == window || w->isVisibleTo(window); };
    check(window->windowTitle(), QStringLiteral("window title"));
    for (const QLabel *l : window->findChildren<QLabel *>())
        if (shown(l))
            check(l->text(), QStringLiteral("label ") + l->objectName());
    for (const QAbstractButton *b : window->findChildren<QAbstractButton *>())
        if (shown(b)) {
            check(b->text(), QStringLiteral("button ") + b->objectName());
            check(b->toolTip(), QStringLiteral("tooltip of ") + b->objectName());
        }
    for (const QGroupBox *g : window->findChildren<QGroupBox *>())
        if (shown(g))
            check(g->title(), QStringLiteral("box ") + g->objectName());
    for (const QLineEdit *e : window->findChildren<QLineEdit *>())
        if (shown(e))
            check(e->placeholderText(), QStringLiteral("hint of ") + e->objectName());
    for (const QTabBar *t : window->findChildren<QTabBar *>())
        if (shown(t))
            for (int i = 0; i < t->count(); ++i)
                check(t->tabText(i), QStringLiteral("tab"));
    QList<QAction *> actions = window->findChildren<QAction *>();
    for (const QMenu *m : window->findChildren<QMenu *>())
        actions += m->actions();
    for (const QAction *a : actions)
        if (!a->isSeparator())
            check(a->text(), QStringLiteral("menu entry ") + a->objectName());
    out.removeDuplicates();
    return out;
}

struct Case {
    QString name;
    std::function<QWidget *(TestRun &)> open;
    // Shown as they are, with the reason.
    QStringList mine = {};
};

// The names of the months, the locale's own (the calendar's month menu).
QStringList monthNames()
{
    QStringList out;
    for (int m = 1; m <= 12; ++m)
        out << QLocale().standaloneMonthName(m) << QLocale().monthName(m);
    return out;
}

// The standard buttons of a button box: Qt's own catalogue translates them.
const QStringList QtButtons = {QStringLiteral("OK"), QStringLiteral("Cancel"), QStringLiteral("Apply")};

template <class F>
std::function<QWidget *(TestRun &)> shown(F get)
{
    return [get](TestRun &r) {
        QWidget *w = get(r);
        w->show();
        return w;
    };
}

QList<Case> cases()
{
    QList<Case> out;
    // The clock's time, and the character's name.
    for (int tab = 0; tab < 6; ++tab)
        out << Case{QStringLiteral("options, page %1").arg(tab), [tab](TestRun &r) {
                        FrmMain *w = r.app->frmMain();
                        w->show();
                        w->TabStrip1->setCurrentIndex(tab);
                        return static_cast<QWidget *>(w);
                    }, {QStringLiteral("#LblClock"), QStringLiteral("#LblCurrent1")}};
    out << Case{"alarm with its options", [](TestRun &r) {
                    FrmAlarm *w = r.app->frmAlarm();
                    w->show();
                    w->CmdOptions_Click();
                    return static_cast<QWidget *>(w);
                }};
    out << Case{"calendar", shown([](TestRun &r) { return static_cast<QWidget *>(r.app->frmCalender()); }),
                monthNames()};
    out << Case{"user", shown([](TestRun &r) { return static_cast<QWidget *>(r.app->frmUser()); })};
    out << Case{"open", shown([](TestRun &r) { return static_cast<QWidget *>(r.app->frmOpen()); })};
    // The search engines' names.
    QStringList engines;
    for (int k = 0; k < 8; ++k)
        engines << QStringLiteral("#OptEngine%1").arg(k);
    out << Case{"search", shown([](TestRun &r) { return static_cast<QWidget *>(r.app->frmSearch()); }), engines};
    // The tip comes from the tips file.
    out << Case{"tip of the day", shown([](TestRun &r) { return static_cast<QWidget *>(r.app->tipWindow()); }),
                {QStringLiteral("#lblTipText")}};
    // The program's name.
    out << Case{"about", shown([](TestRun &r) { return static_cast<QWidget *>(r.app->aboutBox()); }),
                {QStringLiteral("#lblTitle")}};
    for (int page = 0; page < 4; ++page)
        out << Case{QStringLiteral("tour, page %1").arg(page), [page](TestRun &r) {
                        FrmTour *w = r.app->frmTour();
                        for (int k = 0; k < page; ++k)
                            w->CmdCollection_Click(1);
                        return static_cast<QWidget *>(w);
                    }};
    out << Case{"quick launch", shown([](TestRun &r) { return static_cast<QWidget *>(r.app->frmQuick()); })};
    out << Case{"menus", [](TestRun &r) { return static_cast<QWidget *>(r.app->frmMenus()); }};
    return out;
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void languageChosen();
    void windows_data();
    void windows();
    void charactersWindows();
    void commandCaptions();
    void sentences();
    void dates();
    void beforeAndBesideTheWindows();

private:
    TestRun &run() { return *m_run; }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
};

void TestTranslations::initTestCase()
{
    // The pseudo-language is the user's first, and English comes after it.
    QCOMPARE(Translations::install({QStringLiteral("xx-YY"), QStringLiteral("en-US")}, Folder), QString("xx"));
}

void TestTranslations::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_run = std::make_unique<TestRun>(m_dir->path());
    run().app->Main();
    run().app->tipWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestTranslations::cleanup()
{
    m_run.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dir.reset();
}

// English first keeps the texts as written, whatever follows; a language
// without a catalogue is passed over for the next one.
void TestTranslations::languageChosen()
{
    const auto before = QCoreApplication::translate("kestrova::FrmAlarm", "Set Alarm");
    QCOMPARE(Translations::install({QStringLiteral("en-GB"), QStringLiteral("xx")}, Folder), QString());
    QCOMPARE(Translations::install({QStringLiteral("de-DE"), QStringLiteral("fr")}, Folder), QString());
    QCOMPARE(Translations::install({}, Folder), QString());
    QCOMPARE(Translations::install({QStringLiteral("xx")}, QStringLiteral("/nonexistent")), QString());
    QCOMPARE(QCoreApplication::translate("kestrova::FrmAlarm", "Set Alarm"), before);
    QVERIFY2(before.startsWith(u'\u27e6'), qPrintable(before));
}

void TestTranslations::windows_data()
{
    QTest::addColumn<int>("index");
    const QList<Case> all = cases();
    for (int i = 0; i < all.size(); ++i)
        QTest::newRow(all.at(i).name.toUtf8().constData()) << i;
}

void TestTranslations::windows()
{
    QFETCH(int, index);
    const Case c = cases().at(index);
    QWidget *window = c.open(run());
    const QStringList faults = untranslatedIn(window, c.mine);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
}

// The windows of the character service.
void TestTranslations::charactersWindows()
{
    character::CharacterOptionsDialog sheet;
    sheet.show();
    QStringList faults;
    for (int page = 0; page < sheet.tabs()->count(); ++page) {
        sheet.tabs()->setCurrentIndex(page);
        faults += untranslatedIn(&sheet, QtButtons);
    }
    // The character's name and description come from its file.
    character::CharacterChooser chooser(QStringLiteral(KESTROVA_PROGRAM_DIR), QStringLiteral("Kess"));
    chooser.show();
    faults += untranslatedIn(&chooser, QtButtons + QStringList{QStringLiteral("Kess"),
                                                              QStringLiteral("A small, friendly kestrel who likes to help.")});
    character::Commands commands;
    commands.add(QStringLiteral("Time"), QStringLiteral("Time"), QStringLiteral("what time is it"));
    character::CommandsWindow list(commands, QStringLiteral("Kess"));
    list.show();
    // The command's caption and what is said come from the character file.
    faults += untranslatedIn(&list, {QStringLiteral("Time"), QStringLiteral("what time is it")});
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
}

// The program's commands as the character's menu and commands window list
// them, with what each does.
void TestTranslations::commandCaptions()
{
    QStringList faults;
    const QList<character::Command> all = run().character().commands().all();
    QVERIFY(all.size() > 20);
    for (const character::Command &c : all) {
        if (!c.caption.isEmpty() && !translated(c.caption))
            faults << QStringLiteral("caption of %1 \"%2\"").arg(c.name, c.caption);
        if (!c.description.isEmpty() && !translated(c.description))
            faults << QStringLiteral("description of %1 \"%2\"").arg(c.name, c.description);
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
}

// Sentences the program composes reach the character translated, with
// what they take from outside in their place: a time refused, the user's
// new name greeted, the version told from the menu.
void TestTranslations::sentences()
{
    RecordingCharacter &character = run().character();
    FrmAlarm *alarm = run().app->frmAlarm();
    alarm->show();
    character.speech.clear();
    alarm->TxtAlarmTime->setText(QStringLiteral("25:99"));
    alarm->CmdOK_Click();
    FrmUser *user = run().app->frmUser();
    user->show();
    user->TxtName->setText(QStringLiteral("Ann"));
    user->CmdOK_Click();
    run().app->frmMenus()->MnuVersion_Click();
    const QStringList said = character.speech;
    QCOMPARE(said.size(), 3);
    for (const QString &s : said)
        QVERIFY2(translated(s), qPrintable(s));
    QVERIFY2(said.at(1).contains(QStringLiteral("Ann")) && said.at(1).contains(character.name()), qPrintable(said.at(1)));
    QVERIFY2(said.at(2).contains(QStringLiteral(KESTROVA_VERSION).section(u'.', 0, 0)), qPrintable(said.at(2)));
}

// Dates as the character says them come from patterns of the catalogue (a
// language may order them its own way), their suffixes too; the names
// follow the catalogue's language. The greeting and the calendar say them.
void TestTranslations::dates()
{
    run().platform.clock.time = QDateTime(QDate(2026, 12, 6), QTime(9, 5));
    const QString spoken = DateFunctions::GetSpokenDate(run().platform.clock);
    QVERIFY2(spoken.startsWith(u'\u27e6') && spoken.contains(QStringLiteral("\u27e6th\u27e7")), qPrintable(spoken));
    QVERIFY2(spoken.contains(QStringLiteral("December")) && spoken.contains(QStringLiteral("2026")), qPrintable(spoken));
    QCOMPARE(DateFunctions::ordinalSuffix(QStringLiteral("22")), QStringLiteral("\u27e6nd\u27e7"));

    FrmCalender *calendar = run().app->frmCalender();
    calendar->MonthView1->setSelectedDate(QDate(2026, 7, 21));
    calendar->BuildDatePhrase();
    const QString phrase = calendar->DatePhrase;
    QVERIFY2(phrase.startsWith(u'\u27e6') && phrase.contains(QStringLiteral("\u27e6st\u27e7")), qPrintable(phrase));
    QVERIFY2(phrase.contains(QStringLiteral("Tuesday")) && phrase.contains(QStringLiteral("July")), qPrintable(phrase));
}

// Texts of the start and of the program's parts: a second start that finds
// the first not answering, a module that is missing or does not load, the
// filters of the file dialog.
void TestTranslations::beforeAndBesideTheWindows()
{
    QStringList faults;
    for (const qint64 pid : {qint64(0), qint64(4242)}) {
        const QString text = SingleInstance::notAnsweringText(pid);
        if (text.count(u'\u27e6') != 2)
            faults << text;
    }
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    ProgramModule missing(QStringLiteral("libkestrova_nothing.so"), QStringLiteral("Testing"), {folder.path()});
    QVERIFY(!missing.resolve("nothing"));
    QFile notALibrary(folder.filePath(QStringLiteral("libkestrova_broken.so")));
    QVERIFY(notALibrary.open(QIODevice::WriteOnly));
    notALibrary.write("not a library");
    notALibrary.close();
    ProgramModule broken(QStringLiteral("libkestrova_broken.so"), QStringLiteral("Testing"), {folder.path()});
    QVERIFY(!broken.resolve("nothing"));
    for (const QString &error : {missing.error(), broken.error()})
        if (!error.startsWith(u'\u27e6'))
            faults << error;
    for (const QString &filter : linuxFileFilters(QStringLiteral("Programme files (*.exe)|*.exe|All Files (*.*)|*.*")))
        if (!translated(filter))
            faults << filter;
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
}

QTEST_MAIN(TestTranslations)
#include "test_translations.moc"
