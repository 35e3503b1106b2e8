// The character options and the commands window on a 1024x768 screen, at
// scale 1 and 2 (the test runs once for each; QT_SCALE_FACTOR gives the
// scale): they stay inside the screen, every tab's caption shows whole with
// no scroll arrows, labels have room for their text, help text is as
// readable as the rest, and the commands list never scrolls sideways. Then
// what the two windows do with their contents: the voices by language and
// their search, the commands' sentences and their filter.
#include "desktop/CharacterOptionsDialog.h"
#include "desktop/CommandsWindow.h"
#include "desktop/ClearPlacement.h"
#include "CommandRows.h"
#include "WindowFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>

using namespace kestrova::character;
using kestrova::test::fitFaults;

namespace {

// The WCAG contrast ratio of two colours.
double contrast(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

SystemVoice voice(const QString &name, const QString &language)
{
    return {QStringLiteral("qt:speechd:") + name, name + QStringLiteral(" (speechd, Female)"), language};
}

const CharacterOptionsDialog::VoiceList &someVoices()
{
    static const CharacterOptionsDialog::VoiceList voices = {
        voice(QStringLiteral("Bishnupriya Manipuri+Adam"), QString()),
        voice(QStringLiteral("german+Anika"), QStringLiteral("de_DE")),
        voice(QStringLiteral("english+Max"), QStringLiteral("en_GB")),
        voice(QStringLiteral("french+Annie"), QStringLiteral("fr_FR")),
        voice(QStringLiteral("english+Amy"), QStringLiteral("en_US")),
        voice(QStringLiteral("german+Alex"), QStringLiteral("de_AT")),
    };
    return voices;
}

QStringList shownVoiceRows(const CharacterOptionsDialog &sheet)
{
    QStringList rows;
    for (int i = 0; i < sheet.voiceCombo()->count(); ++i)
        if (sheet.voiceRowShown(i))
            rows << sheet.voiceCombo()->itemText(i);
    return rows;
}

// A set with the character's commands as the program registers them, each
// with a sentence about what it does.
Commands programCommands()
{
    Commands commands;
    commands.setCaption(QStringLiteral("Kestrova"));
    for (const kestrova::test::CommandRow &row : kestrova::test::commandRows()) {
        commands.add(row.name, row.caption, row.voice, true, row.inMenu);
        commands.item(row.name)->description =
            QStringLiteral("Does what \"%1\" says, told in a sentence long enough to wrap.").arg(row.caption);
    }
    // A favourite site with a long name.
    commands.add(QStringLiteral("The Weekly News of the Valley and the Hills"),
                 QStringLiteral("The Weekly News of the Valley and the Hills"),
                 QStringLiteral("The Weekly News of the Valley and the Hills"), true, false);
    return commands;
}

QStringList shownCaptions(const QTreeWidget *list)
{
    QStringList captions;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (!list->topLevelItem(i)->isHidden())
            captions << list->topLevelItem(i)->text(0);
    return captions;
}

} // namespace

class TestCharacterWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void optionsFitEveryTab_data();
    void optionsFitEveryTab();
    void voicesByLanguageUsersFirst();
    void voiceSearch();
    void commandsWindowFits();
    void voiceExamplesOfGrammars();
    void commandsFilterAndDetails();
    void placedClearOfTheCharacter();
};

void TestCharacterWindows::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size() * QGuiApplication::primaryScreen()->devicePixelRatio(),
             QSize(1024, 768));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestCharacterWindows::optionsFitEveryTab_data()
{
    // The toolkit's font, and the larger one a desktop may give.
    QTest::addColumn<int>("pointSize");
    QTest::newRow("default font") << 0;
    QTest::newRow("11 pt") << 11;
}

void TestCharacterWindows::optionsFitEveryTab()
{
    QFETCH(int, pointSize);
    const kestrova::test::ApplicationFontSize font(pointSize);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    CharacterOptionsDialog sheet;
    sheet.setSettings(CharacterServiceSettings());
    sheet.addSystemVoices(someVoices());
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QTabWidget *tabs = sheet.tabs();
    QTabBar *bar = tabs->tabBar();
    QSize first;
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        const QString name = tabs->tabText(tab).remove(u'&');
        if (!first.isValid())
            first = sheet.frameGeometry().size();
        QCOMPARE(sheet.frameGeometry().size(), first);
        const QStringList faults = fitFaults(&sheet, name);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        // Every tab whole inside the bar, its caption with room: no scroll
        // arrows.
        for (int t = 0; t < bar->count(); ++t) {
            const QRect r = bar->tabRect(t);
            QVERIFY2(r.left() >= 0 && r.right() < bar->width(),
                     qPrintable(QStringLiteral("%1: tab %2 at %3..%4, bar %5 wide")
                                    .arg(name).arg(t).arg(r.left()).arg(r.right()).arg(bar->width())));
            const QString text = bar->tabText(t).remove(u'&');
            QVERIFY2(bar->fontMetrics().horizontalAdvance(text) < r.width(),
                     qPrintable(QStringLiteral("\"%1\" in %2 px").arg(text).arg(r.width())));
        }
        for (const QToolButton *arrow : bar->findChildren<QToolButton *>())
            QVERIFY2(!arrow->isVisible(), qPrintable(name + QStringLiteral(": scroll arrows shown")));
        // Help text reads as well as the page's other text.
        for (const QLabel *note : tabs->currentWidget()->findChildren<QLabel *>(QStringLiteral("kestrovaOptionsNote"))) {
            if (!note->isVisible())
                continue;
            const QPalette p = note->palette();
            const double ratio = contrast(p.color(QPalette::Active, note->foregroundRole()),
                                          p.color(QPalette::Active, note->backgroundRole()));
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: \"%2\" at contrast %3")
                                                  .arg(name, note->text()).arg(ratio, 0, 'f', 2)));
        }
    }
}

void TestCharacterWindows::voicesByLanguageUsersFirst()
{
    // German first for a German user, then by name, those of no known
    // language last; each language's voices by caption.
    const auto groups = CharacterOptionsDialog::groupVoices(someVoices(), QLocale(QLocale::German));
    QStringList titles;
    for (const auto &g : groups)
        titles << g.title;
    QCOMPARE(titles, (QStringList{"German", "English", "French", "Other languages"}));
    QCOMPARE(groups.at(0).voices.size(), 2);
    QCOMPARE(groups.at(0).voices.at(0).setting, QStringLiteral("qt:speechd:german+Alex"));
    QCOMPARE(groups.at(1).voices.at(0).setting, QStringLiteral("qt:speechd:english+Amy"));
    QCOMPARE(groups.at(3).voices.at(0).setting, QStringLiteral("qt:speechd:Bishnupriya Manipuri+Adam"));
    // A French user gets French first.
    QCOMPARE(CharacterOptionsDialog::groupVoices(someVoices(), QLocale(QLocale::French)).at(0).title,
             QStringLiteral("French"));

    // The sheet: the program's own voices first, then the languages' titles
    // (which cannot be chosen) with their voices under them.
    CharacterOptionsDialog sheet;
    sheet.setSettings(CharacterServiceSettings());
    sheet.addSystemVoices(someVoices());
    QComboBox *combo = sheet.voiceCombo();
    QCOMPARE(combo->itemData(0).toString(), QString());
    QCOMPARE(combo->itemData(1).toString(), QStringLiteral("flite:slt"));
    QCOMPARE(combo->itemData(2).toString(), QStringLiteral("flite:rms"));
    QCOMPARE(combo->itemText(3), QStringLiteral("German"));
    QVERIFY(!(combo->model()->flags(combo->model()->index(3, 0)) & Qt::ItemIsEnabled));
    QCOMPARE(combo->itemData(4).toString(), QStringLiteral("qt:speechd:german+Alex"));
    QCOMPARE(combo->count(), 3 + 4 + 6);
}

void TestCharacterWindows::voiceSearch()
{
    CharacterServiceSettings s;
    // A stored voice the system no longer has.
    s.voice = QStringLiteral("qt:speechd:Gone");
    CharacterOptionsDialog sheet;
    sheet.setSettings(s);
    sheet.addSystemVoices(someVoices());
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QComboBox *combo = sheet.voiceCombo();
    // It stays, with the program's own, and is still chosen.
    QCOMPARE(combo->currentData().toString(), QStringLiteral("qt:speechd:Gone"));
    QCOMPARE(combo->currentIndex(), 3);
    QCOMPARE(combo->findData(QStringLiteral("qt:speechd:Gone")), 3);

    // A language's name: its voices, and the first of them chosen.
    QTest::keyClicks(sheet.voiceSearch(), "french");
    QCOMPARE(shownVoiceRows(sheet),
             (QStringList{"The character's own voice", "Flite: slt (US English, female)",
                          "Flite: rms (US English, male)", "Gone (not available)", "French",
                          "french+Annie (speechd, Female)"}));
    QCOMPARE(combo->currentData().toString(), QStringLiteral("qt:speechd:french+Annie"));

    // Every word must match, in any case: a name within a language.
    sheet.voiceSearch()->clear();
    QTest::keyClicks(sheet.voiceSearch(), "AMY english");
    QCOMPARE(shownVoiceRows(sheet).mid(4), (QStringList{"English", "english+Amy (speechd, Female)"}));
    QCOMPARE(combo->currentData().toString(), QStringLiteral("qt:speechd:english+Amy"));
    // The program's own voices are found too.
    sheet.voiceSearch()->clear();
    QTest::keyClicks(sheet.voiceSearch(), "rms");
    QCOMPARE(combo->currentData().toString(), QStringLiteral("flite:rms"));
    QCOMPARE(shownVoiceRows(sheet).size(), 4);

    // Nothing matches: it says so, and the choice stays.
    sheet.voiceSearch()->clear();
    QTest::keyClicks(sheet.voiceSearch(), "klingon");
    QCOMPARE(combo->currentData().toString(), QStringLiteral("flite:rms"));
    const QList<QLabel *> labels = sheet.findChildren<QLabel *>();
    QVERIFY(std::any_of(labels.begin(), labels.end(), [](const QLabel *l) {
        return l->isVisible() && l->text().contains(QStringLiteral("\"klingon\""));
    }));
    // Cleared, everything is back.
    sheet.voiceSearch()->clear();
    QCOMPARE(shownVoiceRows(sheet).size(), combo->count());
    QVERIFY(std::none_of(labels.begin(), labels.end(),
                         [](const QLabel *l) { return l->isVisible() && l->text().contains(QStringLiteral("klingon")); }));

    // A list given again (the sheet opened again) keeps the choice.
    combo->setCurrentIndex(combo->findData(QStringLiteral("qt:speechd:german+Anika")));
    sheet.addSystemVoices(someVoices());
    QCOMPARE(combo->currentData().toString(), QStringLiteral("qt:speechd:german+Anika"));
    QCOMPARE(combo->count(), 3 + 4 + 6);
    QCOMPARE(sheet.settings().voice, QStringLiteral("qt:speechd:german+Anika"));
}

void TestCharacterWindows::commandsWindowFits()
{
    const Commands commands = programCommands();
    CommandsWindow w(commands, QStringLiteral("Kess"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Kestrova Commands"));
    QTreeWidget *list = w.list();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        list->setCurrentItem(list->topLevelItem(i));
        QCoreApplication::processEvents();
        const QStringList faults = fitFaults(&w, list->topLevelItem(i)->text(0));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
    // The columns take the list's width and no more; the captions of the
    // fixed commands show whole.
    QVERIFY(list->header()->length() <= list->viewport()->width());
    for (const kestrova::test::CommandRow &row : kestrova::test::commandRows()) {
        const int needed = list->fontMetrics().horizontalAdvance(row.caption);
        QVERIFY2(needed < list->columnWidth(0), qPrintable(row.caption));
    }
    // Every command's sentences show whole, wrapped in their column, at
    // the comfortable width and narrowed beside the character.
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    for (const int width : {w.width(), 340}) {
        w.resize(width, w.height());
        QCoreApplication::processEvents();
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = list->topLevelItem(i);
            const QRect cell = list->visualRect(list->indexFromItem(item, 1));
            const QString say = item->text(1);
            const QRect needed = list->fontMetrics().boundingRect(QRect(0, 0, cell.width() - 2 * margin, 10000),
                                                                  Qt::TextWordWrap, say);
            QVERIFY2(needed.width() <= cell.width() - 2 * margin && needed.height() <= cell.height(),
                     qPrintable(QStringLiteral("\"%1\" needs %2x%3, has %4x%5 (window %6 wide)")
                                    .arg(say).arg(needed.width()).arg(needed.height()).arg(cell.width())
                                    .arg(cell.height()).arg(width)));
        }
    }
    // End goes to the last command, not sideways.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(list->currentItem(), list->topLevelItem(list->topLevelItemCount() - 1));
    QCOMPARE(list->horizontalScrollBar()->value(), 0);
    QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    QTest::keyClick(list, Qt::Key_Right);
    QCOMPARE(list->horizontalScrollBar()->value(), 0);
}

void TestCharacterWindows::voiceExamplesOfGrammars()
{
    bool anyWords = true;
    QCOMPARE(voiceExamples(QStringLiteral("[please] open (calendar | calender)"), 10, &anyWords),
             (QStringList{"open calendar", "open calender", "please open calendar", "please open calender"}));
    QVERIFY(!anyWords);
    // Shortest first, at most as many as asked.
    QCOMPARE(voiceExamples(QStringLiteral("[change|new|choose new|different]agent[character]"), 3),
             (QStringList{"agent", "change agent", "new agent"}));
    // Any words are left out of the sentences, and said.
    QCOMPARE(voiceExamples(QStringLiteral("[...](inter net|internet|net|web) menu[...]"), 10, &anyWords),
             (QStringList{"internet menu", "net menu", "web menu", "inter net menu"}));
    QVERIFY(anyWords);
    // Choices at the top, each with its own optional words.
    QCOMPARE(voiceExamples(QStringLiteral("(read|speak)[the]selected text|read this"), 10),
             (QStringList{"read this", "read selected text", "speak selected text", "read the selected text",
                          "speak the selected text"}));
    // No grammar, nothing to say; one that does not parse as written.
    QVERIFY(voiceExamples(QString(), 5).isEmpty());
    QCOMPARE(voiceExamples(QStringLiteral("open (menu"), 5), QStringList{"open (menu"});
    // A grammar of very many sentences still gives the shortest.
    QCOMPARE(voiceExamples(QStringLiteral("[a|b|c|d|e][f|g|h|i|j][k|l|m|n|o][p|q|r|s|t]word"), 1),
             QStringList{"word"});
}

void TestCharacterWindows::commandsFilterAndDetails()
{
    const Commands commands = programCommands();
    CommandsWindow w(commands, QStringLiteral("Kess"));
    QSignalSpy chosen(&w, &CommandsWindow::commandChosen);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTreeWidget *list = w.list();
    // Captions, not names, and sentences, not the notation.
    QCOMPARE(list->topLevelItem(7)->text(0), QStringLiteral("ACO"));
    QCOMPARE(list->topLevelItem(4)->text(1), QStringLiteral("quit, quit program, quit application"));
    QCOMPARE(list->topLevelItem(8)->text(1), QStringLiteral("agent, change agent, new agent, \u2026"));
    // The details: what it does and every way to say it.
    list->setCurrentItem(list->topLevelItem(4));
    QCOMPARE(w.details()->text(),
             QStringLiteral("Quit: Does what \"Quit\" says, told in a sentence long enough to wrap.\n"
                            "Say \u201cquit\u201d, \u201cquit program\u201d or \u201cquit application\u201d."));
    list->setCurrentItem(list->topLevelItem(0));
    QVERIFY2(w.details()->text().endsWith(QStringLiteral("Say \u201cgeneral\u201d. It may be part of a longer sentence.")),
             qPrintable(w.details()->text()));

    // The filter keeps the commands with every word typed, in their
    // caption, description or sentences; Enter chooses the one picked.
    QTest::keyClicks(w.filter(), "MAIL");
    QCOMPARE(shownCaptions(list), (QStringList{"Check Mail", "New Mail"}));
    QCOMPARE(list->currentItem()->text(0), QStringLiteral("Check Mail"));
    QTest::keyClick(w.filter(), Qt::Key_Down);
    QCOMPARE(list->currentItem()->text(0), QStringLiteral("New Mail"));
    QTest::keyClick(w.filter(), Qt::Key_Return);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.at(0).at(0).toString(), QStringLiteral("NewMail"));
    QCOMPARE(chosen.at(0).at(1).toString(), QStringLiteral("New Mail"));
    // A word only the sentences have.
    w.filter()->clear();
    QTest::keyClicks(w.filter(), "pointer");
    QCOMPARE(shownCaptions(list), QStringList{"MovetoMouse"});
    // Nothing: it says so, and Enter chooses nothing.
    w.filter()->clear();
    QTest::keyClicks(w.filter(), "zebra");
    QVERIFY(shownCaptions(list).isEmpty());
    QVERIFY(w.details()->text().contains(QStringLiteral("zebra")));
    QTest::keyClick(w.filter(), Qt::Key_Return);
    QCOMPARE(chosen.size(), 1);
    w.filter()->clear();
    QCOMPARE(shownCaptions(list).size(), list->topLevelItemCount());
}

void TestCharacterWindows::placedClearOfTheCharacter()
{
    const QRect area(0, 0, 1024, 740);
    const QSize size(400, 300);
    // Far from the character: the middle.
    QCOMPARE(placeClearOf(size, QRect(10, 10, 128, 128), area), QPoint(311, 219));
    QCOMPARE(placeClearOf(size, QRect(), area), QPoint(311, 219));
    // The character in the middle, or near it on either side: beside it,
    // inside the screen.
    for (const QRect character : {QRect(448, 306, 128, 128), QRect(300, 200, 128, 128), QRect(600, 500, 128, 128),
                                  QRect(450, 0, 128, 128), QRect(450, 600, 128, 128)}) {
        const QRect window(placeClearOf(size, character, area), size);
        QVERIFY2(!window.intersects(character) && area.contains(window),
                 qPrintable(QStringLiteral("%1,%2 for the character at %3,%4")
                                .arg(window.x()).arg(window.y()).arg(character.x()).arg(character.y())));
    }
    // Too big to miss it: inside the screen, covering less than the middle
    // would.
    const QRect character(850, 306, 128, 128);
    const QSize big(900, 700);
    const QRect window(placeClearOf(big, character, area), big);
    QVERIFY(area.contains(window));
    const QRect middle(QPoint(62, 20), big);
    const QRect a = window.intersected(character), b = middle.intersected(character);
    QVERIFY(a.width() * a.height() < b.width() * b.height());

    // A window a little too wide to stand beside the character is
    // narrowed to fit there; one that fits, or could not, keeps its size.
    const QRect corner(850, 600, 128, 128);
    const QSize wide(900, 700);
    const QSize narrowed = sizeClearOf(wide, QSize(400, 300), corner, area);
    QCOMPARE(narrowed.height(), 700);
    QVERIFY(narrowed.width() < 900 && narrowed.width() >= 400);
    QVERIFY(!QRect(placeClearOf(narrowed, corner, area), narrowed).intersects(corner));
    QCOMPARE(sizeClearOf(QSize(400, 300), QSize(200, 100), corner, area), QSize(400, 300));
    QCOMPARE(sizeClearOf(wide, QSize(880, 300), corner, area), wide);
}

KESTROVA_TEST_MAIN_1024X768(TestCharacterWindows)

#include "test_character_windows.moc"
