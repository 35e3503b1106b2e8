// A window with no clear place on the screen (the options window at twice
// the scale on 1024x768, with the character in the middle of the screen,
// no room to stand beside it): the character steps off the window's
// buttons, fields and tabs, whole on the screen, off those of each page the
// user turns to, and goes back when the window closes, unless it was moved
// meanwhile. At its rest place in the top left corner, the options window
// narrows to stand beside it instead.
#include "FrmMain.h"
#include "FrmQuick.h"
#include "FrmSearch.h"
#include "TestRun.h"
#include "WindowFit.h"
#include "WindowPlacement.h"
#include "frmTip.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

using namespace kestrova;
using kestrova::test::TestRun;

namespace {

QRect characterOf(TestRun &run)
{
    return {run.character().left(), run.character().top(), 128, 128};
}

// Where a character standing at `character` steps to from `window`, if it
// steps at all.
std::optional<QRect> steppedFrom(QWidget &window, const QRect &character)
{
    ScreenFollower follower([&] { return std::optional<QPoint>(character.center()); });
    follower.setCharacterArea([&] { return std::optional<QRect>(character); });
    std::optional<QPoint> to;
    follower.setStepAside([&](QWidget *, QPoint p) { to = p; }, [](QWidget *) {});
    follower.stepAsideFrom(&window);
    if (!to)
        return std::nullopt;
    return QRect(*to, character.size());
}

// What the user works in the window, on the desktop, found here on its own.
QList<QRect> controlsOf(QWidget *window)
{
    QList<QRect> out;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (auto *bar = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < bar->count(); ++i)
                out << QRect(bar->mapToGlobal(bar->tabRect(i).topLeft()), bar->tabRect(i).size());
        } else if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)) {
            out << QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
        }
    }
    // As far as they show: a page scrolled down hides its foot beyond the
    // window's edge.
    const QRect shown = window->geometry();
    QList<QRect> seen;
    for (const QRect &r : out)
        if (r.intersects(shown))
            seen << r.intersected(shown);
    return seen;
}

// Where the character stands when a window opens: the middle of the
// 512x384 screen, with no room beside it for the options window.
const QPoint Middle(192, 128);

int movesIn(const QStringList &log)
{
    return int(std::count_if(log.begin(), log.end(), [](const QString &l) { return l.startsWith(u"MoveTo "); }));
}

int placesIn(const QStringList &log)
{
    return int(std::count_if(log.begin(), log.end(), [](const QString &l) { return l.startsWith(u"PlaceAt "); }));
}

void verifyClearOfControls(QWidget *window, const QRect &character)
{
    for (const QRect &control : controlsOf(window))
        QVERIFY2(!control.intersects(character),
                 qPrintable(QStringLiteral("the character at %1 %2 covers a control at %3 %4 %5x%6")
                                .arg(character.x()).arg(character.y()).arg(control.x()).arg(control.y())
                                .arg(control.width()).arg(control.height())));
}

} // namespace

class TestStepAside : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void stepsOffTheControlsAndBack();
    void staysWhereTheUserPutIt();
    void stepsAsideAtOnceWhileSpeaking();
    void nothingUnderItNoStep();
    void keepsClearOfTheOtherWindows();
    void fieldCaptionsCountAsControls();
    void statusBarCountsByItsMessage();
    void checkBoxCountsByWhatItDraws();
    void windowPlacedClearMovesClearAgain();
    void optionsStandBesideTheCharacter_data();
    void optionsStandBesideTheCharacter();
    void screenTallWindowNarrowsBeside();
    void besideAWindowByTheCharactersRealSize();
    void scrolledPageCountsWhereItScrolls();
    void labelCountsAllItDraws_data();
    void labelCountsAllItDraws();

private:
    // Sends the character to the middle of the screen.
    void standInTheMiddle();
    // Opens the options window and waits for the character's step aside.
    void openOptionsAndStep();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRun> m_run;
    FrmMain *m_options = nullptr;
};

void TestStepAside::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_run = std::make_unique<TestRun>(m_dir->path());
    m_run->app->Main();
    m_run->app->tipWindow()->close();
    m_run->character().completeAll();
    QVERIFY(m_run->character().visible());
    QCOMPARE(characterOf(*m_run).topLeft(), QPoint(0, 0));
}

void TestStepAside::cleanup()
{
    m_run.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dir.reset();
}

void TestStepAside::standInTheMiddle()
{
    m_run->app->agent().MoveTo(Middle.x(), Middle.y());
    m_run->character().completeAll();
    QCOMPARE(characterOf(*m_run).topLeft(), Middle);
}

void TestStepAside::openOptionsAndStep()
{
    standInTheMiddle();
    const int before = movesIn(m_run->log());
    m_options = m_run->app->frmMain();
    m_options->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_options));
    // It fills the screen: no place for it clear of the character.
    QVERIFY2(m_options->frameGeometry().intersects(characterOf(*m_run)),
             "the options window should lie under the character there");
    QTRY_COMPARE_WITH_TIMEOUT(movesIn(m_run->log()), before + 1, 3000);
    m_run->character().completeAll();
}

void TestStepAside::stepsOffTheControlsAndBack()
{
    openOptionsAndStep();
    const QRect character = characterOf(*m_run);
    QVERIFY2(m_options->screen()->geometry().contains(character), "the character stays whole on the screen");
    verifyClearOfControls(m_options, character);
    if (QTest::currentTestFailed())
        return;
    // Another page, with its fields where the character stands now: it
    // steps off them too, as far as the page allows (it is full of fields:
    // the edge of one at most).
    const int moves = movesIn(m_run->log());
    m_options->TabStrip1->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(movesIn(m_run->log()), moves + 1, 3000);
    m_run->character().completeAll();
    const QRect second = characterOf(*m_run);
    for (const QRect &control : controlsOf(m_options))
        QVERIFY2(std::min(control.intersected(second).width(), control.intersected(second).height()) <= 4,
                 qPrintable(QStringLiteral("on the mail page, the character at %1 %2 covers a control at %3 %4 %5x%6")
                                .arg(second.x()).arg(second.y()).arg(control.x()).arg(control.y())
                                .arg(control.width()).arg(control.height())));
    // The window closes: back to where it stood first.
    m_options->close();
    QCOMPARE(m_run->log().last(), QStringLiteral("MoveTo %1 %2").arg(Middle.x()).arg(Middle.y()));
    m_run->character().completeAll();
    QCOMPARE(characterOf(*m_run).topLeft(), Middle);
}

void TestStepAside::staysWhereTheUserPutIt()
{
    openOptionsAndStep();
    // Sent elsewhere while the window is open: it stays there after.
    m_run->app->agent().MoveTo(200, 100);
    m_run->character().completeAll();
    const int moves = movesIn(m_run->log());
    m_options->close();
    QCOMPARE(movesIn(m_run->log()), moves);
    QCOMPARE(characterOf(*m_run).topLeft(), QPoint(200, 100));
}

// Busy saying something when the window opens: the character is clear of
// the window's controls at once, not after the sentence, and the sentence
// plays on to its end; closing the window while it speaks again puts it
// back at once too.
void TestStepAside::stepsAsideAtOnceWhileSpeaking()
{
    standInTheMiddle();
    QSignalSpy completed(&m_run->character(), &character::Character::requestComplete);
    const character::Request said = m_run->app->agent().Speak(QStringLiteral("Hello there, I am here to help."));
    QVERIFY(m_run->character().busy());
    const int moves = movesIn(m_run->log()) + placesIn(m_run->log());
    m_options = m_run->app->frmMain();
    m_options->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_options));
    QTRY_VERIFY_WITH_TIMEOUT(movesIn(m_run->log()) + placesIn(m_run->log()) > moves, 3000);
    // Nothing completed: the speech is still on.
    const QRect aside = characterOf(*m_run);
    QVERIFY2(m_options->screen()->geometry().contains(aside), "the character stays whole on the screen");
    verifyClearOfControls(m_options, aside);
    if (QTest::currentTestFailed())
        return;
    const auto &pending = m_run->character().pending;
    QVERIFY(std::any_of(pending.begin(), pending.end(), [&](const auto &p) { return p.request == said; }));
    QVERIFY(!m_run->log().contains(QStringLiteral("Stop")));
    QVERIFY(!m_run->log().contains(QStringLiteral("StopAll")));

    // The sentence ends as it would have; nothing queued takes it elsewhere.
    m_run->character().completeAll();
    QVERIFY(std::any_of(completed.begin(), completed.end(),
                        [&](const QList<QVariant> &args) { return args.at(0).value<character::Request>() == said; }));
    QCOMPARE(characterOf(*m_run), aside);

    // Speaking again as the window closes: back where it stood, at once.
    m_run->app->agent().Speak(QStringLiteral("Goodbye."));
    m_options->close();
    QCOMPARE(characterOf(*m_run).topLeft(), Middle);
    m_run->character().completeAll();
    QCOMPARE(characterOf(*m_run).topLeft(), Middle);
}

// The choice itself: off every part where the screen allows, and no walk
// where only the title bar or a margin lies under the character.
void TestStepAside::nothingUnderItNoStep()
{
    using WindowPlacement::asideOf;
    const QRect screen(0, 0, 512, 384);
    const QRect window(4, 19, 506, 365);
    WindowPlacement::WindowParts parts;
    parts.worked << QRect(15, 90, 480, 30) << QRect(400, 220, 80, 60);
    parts.read << QRect(15, 30, 70, 18) << QRect(15, 337, 482, 23);
    const QRect character(0, 0, 136, 142);
    const QPoint to = asideOf(character, window, parts, screen);
    const QRect there(to, character.size());
    QVERIFY(screen.contains(there));
    for (const QRect &r : parts.worked + parts.read)
        QVERIFY2(!r.intersects(there), qPrintable(QStringLiteral("to %1 %2").arg(to.x()).arg(to.y())));
    // Over the title bar only: it stays.
    const QRect low(QPoint(0, 0), QSize(136, 30));
    QCOMPARE(asideOf(low, window, parts, screen), QPoint(0, 0));
    // Nowhere better (every place covers the same): it stays.
    WindowPlacement::WindowParts everywhere;
    everywhere.worked << screen;
    QCOMPARE(asideOf(QRect(50, 60, 136, 142), screen, everywhere, screen), QPoint(50, 60));
}

// The program's other windows count as taken: with Quick Launch standing
// where the character stepped to before, the character steps off the
// controls of both the window it made way for and Quick Launch.
void TestStepAside::keepsClearOfTheOtherWindows()
{
    FrmQuick *quick = m_run->app->frmQuick();
    quick->show();
    QVERIFY(QTest::qWaitForWindowExposed(quick));
    m_run->character().completeAll();
    quick->move(quick->screen()->geometry().bottomRight() - QPoint(quick->width(), quick->height()));

    // (Closed, the window is gone: each opening makes a new one.)
    QPointer<FrmSearch> search = m_run->app->frmSearch();
    search->show();
    QVERIFY(QTest::qWaitForWindowExposed(search));
    // The character over the search field, where the window opens again.
    QLineEdit *field = search->findChild<QLineEdit *>();
    QVERIFY(field);
    const QPoint over = field->mapToGlobal(field->rect().center()) - QPoint(64, 64);
    search->close();
    m_run->character().completeAll();
    m_run->app->agent().MoveTo(over.x(), over.y());
    m_run->character().completeAll();
    const auto openSearch = [&] {
        const int before = movesIn(m_run->log());
        search = m_run->app->frmSearch();
        search->show();
        QVERIFY(QTest::qWaitForWindowExposed(search));
        QTRY_COMPARE_WITH_TIMEOUT(movesIn(m_run->log()), before + 1, 3000);
        m_run->character().completeAll();
    };
    openSearch();
    if (QTest::currentTestFailed())
        return;
    const QRect first = characterOf(*m_run);
    verifyClearOfControls(search, first);
    search->close();
    m_run->character().completeAll();
    QCOMPARE(characterOf(*m_run).topLeft(), over);

    // Quick Launch is moved there; the window opens again.
    quick->move(first.center() - QPoint(quick->frameGeometry().width() / 2, quick->frameGeometry().height() / 2));
    const QList<QRect> launchers = controlsOf(quick);
    QVERIFY(std::any_of(launchers.begin(), launchers.end(), [&](const QRect &r) { return r.intersects(first); }));
    openSearch();
    if (QTest::currentTestFailed())
        return;
    const QRect second = characterOf(*m_run);
    QVERIFY(search->screen()->geometry().contains(second));
    verifyClearOfControls(search, second);
    verifyClearOfControls(quick, second);
}

// A field's caption is needed as much as the field. A window full of
// buttons but for two corners: one holds only a field's caption ("Command
// Line:"), the other a long explanation. The character, over the buttons,
// steps onto the explanation, not the caption, though that is less text.
void TestStepAside::fieldCaptionsCountAsControls()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(screen.width() >= 512 && screen.height() >= 384);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Office"));
    window.setGeometry(QRect(screen.topLeft(), QSize(512, 384)));
    const QRect captionCorner(0, 256, 128, 128);
    const QRect explanationCorner(384, 0, 128, 128);
    auto *field = new QLineEdit(&window);
    field->setGeometry(128, 320, 128, 64);
    for (int y = 0; y < 384; y += 64) {
        for (int x = 0; x < 512; x += 64) {
            const QRect cell(x, y, 64, 64);
            if (!cell.intersects(captionCorner) && !cell.intersects(explanationCorner) && !cell.intersects(field->geometry()))
                (new QPushButton(QStringLiteral("B"), &window))->setGeometry(cell);
        }
    }
    auto *caption = new QLabel(QStringLiteral("Command &Line:"), &window);
    caption->setBuddy(field);
    caption->setGeometry(captionCorner.left() + 8, captionCorner.top() + 50, 112, 24);
    auto *explanation = new QLabel(QStringLiteral("Pick an item in the list, type the name it has in the menu and the "
                                                  "program it runs, then press Save. Each item is kept at once."),
                                   &window);
    explanation->setWordWrap(true);
    explanation->setGeometry(explanationCorner.adjusted(4, 4, -4, -4));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const std::optional<QRect> stepped = steppedFrom(window, QRect(window.mapToGlobal(QPoint(192, 128)), QSize(128, 128)));
    QVERIFY(stepped);
    const QRect there = *stepped;
    const QRect captionText(caption->mapToGlobal(caption->contentsRect().topLeft()),
                            caption->fontMetrics().size(Qt::TextShowMnemonic, caption->text()));
    QVERIFY2(!there.intersects(captionText),
             qPrintable(QStringLiteral("the character at %1 %2 covers the caption").arg(there.x()).arg(there.y())));
    // Onto the explanation (as far as the screen's edge allows).
    const QRect explained = explanationCorner.translated(window.mapToGlobal(QPoint(0, 0)));
    QVERIFY((there.topLeft() - explained.topLeft()).manhattanLength() <= 2);
}

// A status bar is text only where its message is: a window full of
// buttons but for two corners, one with the empty end of the status bar
// (its message, "Offline", at the other end), the other with a short
// label. The character steps onto the empty end of the bar.
void TestStepAside::statusBarCountsByItsMessage()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget window;
    window.setWindowTitle(QStringLiteral("Status"));
    window.setGeometry(QRect(screen.topLeft(), QSize(512, 384)));
    const QRect statusCorner(384, 256, 128, 128);
    const QRect labelCorner(384, 0, 128, 128);
    auto *status = new QStatusBar(&window);
    status->setSizeGripEnabled(false);
    status->setGeometry(0, 352, 512, 32);
    status->showMessage(QStringLiteral("Offline"));
    for (int y = 0; y < 352; y += 64) {
        for (int x = 0; x < 512; x += 64) {
            const QRect cell(x, y, 64, std::min(64, 352 - y));
            if (!cell.intersects(statusCorner) && !cell.intersects(labelCorner))
                (new QPushButton(QStringLiteral("B"), &window))->setGeometry(cell);
        }
    }
    auto *label = new QLabel(QStringLiteral("Welcome"), &window);
    label->setGeometry(labelCorner.left() + 8, labelCorner.top() + 50, 112, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // (A little smaller than the corners: the window may stand a pixel off
    // the screen's corner.)
    const std::optional<QRect> stepped = steppedFrom(window, QRect(window.mapToGlobal(QPoint(192, 128)), QSize(124, 124)));
    QVERIFY(stepped);
    const QRect there = *stepped;
    const QRect empty = statusCorner.translated(window.mapToGlobal(QPoint(0, 0)));
    QVERIFY2(empty.contains(there),
             qPrintable(QStringLiteral("the character at %1 %2").arg(there.x()).arg(there.y())));
    QVERIFY(!there.intersects(QRect(label->mapToGlobal(QPoint(0, 0)), label->size())));
}

// A check box a layout stretched across the page counts by its box and its
// text: the empty rest of its row is a place to stand.
void TestStepAside::checkBoxCountsByWhatItDraws()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget window;
    window.setWindowTitle(QStringLiteral("Jokes"));
    window.setGeometry(QRect(screen.topLeft(), QSize(512, 384)));
    // Buttons everywhere below a band as tall as the character, and in the
    // band one check box as wide as the window.
    for (int y = 128; y < 384; y += 64) {
        for (int x = 0; x < 512; x += 64)
            (new QPushButton(QStringLiteral("B"), &window))->setGeometry(x, y, 64, 64);
    }
    auto *box = new QCheckBox(QStringLiteral("Turn the jokes off."), &window);
    box->setGeometry(0, 52, 512, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect drawn(box->mapToGlobal(QPoint(0, 0)), QSize(box->sizeHint().width(), box->height()));
    QVERIFY2(drawn.width() < 512 - 130, "the box and its text leave room beside them");

    const std::optional<QRect> stepped = steppedFrom(window, QRect(window.mapToGlobal(QPoint(192, 192)), QSize(124, 124)));
    QVERIFY(stepped);
    const QRect there = *stepped;
    QVERIFY2(!there.intersects(drawn),
             qPrintable(QStringLiteral("the character at %1 %2 covers the check box").arg(there.x()).arg(there.y())));
    for (const QPushButton *button : window.findChildren<QPushButton *>())
        QVERIFY(!there.intersects(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
}

// A window placed clear of the character, above it, grows at its foot (a
// frame taller than reckoned does the same at its head): only its empty
// edge lies under the character, which does not walk for that; the window
// moves clear again instead.
void TestStepAside::windowPlacedClearMovesClearAgain()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect character(area.left() + 192, area.bottom() + 1 - 134, 128, 128);
    ScreenFollower follower([&] { return std::optional<QPoint>(character.center()); });
    follower.setCharacterArea([&] { return std::optional<QRect>(character); });
    int steps = 0;
    follower.setStepAside([&](QWidget *, QPoint) { ++steps; }, [](QWidget *) {});

    QWidget window;
    window.setWindowTitle(QStringLiteral("Grows"));
    (new QPushButton(QStringLiteral("OK"), &window))->setGeometry(10, 10, 80, 30);
    window.resize(300, 150);
    follower.place(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto frame = [&] { return window.frameGeometry(); };
    QVERIFY(!frame().intersects(character));
    QVERIFY(frame().bottom() < character.top());
    window.resize(300, 150 + character.top() - frame().bottom() + 20);
    QVERIFY(frame().intersects(character));
    QVERIFY(frame().bottom() < character.top() + 30);

    follower.stepAsideFrom(&window);
    QCOMPARE(steps, 0);
    QVERIFY2(!frame().intersects(character),
             qPrintable(QStringLiteral("the window at %1 %2 %3x%4").arg(frame().x()).arg(frame().y())
                            .arg(frame().width()).arg(frame().height())));
    QVERIFY(area.contains(frame()));
}

// At its rest place in the top left corner the character keeps its place:
// the options window opens narrowed beside it, on every page clear of it,
// one size throughout, its tabs whole, every label with room for its text
// and no page scrolled sideways. The character does not walk. So with
// the toolkit's font and with the larger one of a desktop (11 pt, as the
// virtual display's desktop gives), whose tab captions alone come near the
// room beside the character.
void TestStepAside::optionsStandBesideTheCharacter_data()
{
    QTest::addColumn<int>("pointSize");
    QTest::addRow("toolkit's font") << 0;
    QTest::addRow("11 pt") << 11;
}

void TestStepAside::optionsStandBesideTheCharacter()
{
    QFETCH(int, pointSize);
    const kestrova::test::ApplicationFontSize font(pointSize);
    const QRect character = characterOf(*m_run);
    const int moves = movesIn(m_run->log());
    m_options = m_run->app->frmMain();
    m_options->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_options));
    QCoreApplication::processEvents();
    const QSize size = m_options->frameGeometry().size();
    for (int tab = 0; tab < m_options->TabStrip1->count(); ++tab) {
        m_options->TabStrip1->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        const QString name = m_options->TabStrip1->tabText(tab).remove(u'&');
        const QRect frame = m_options->frameGeometry();
        QVERIFY2(!frame.intersects(character),
                 qPrintable(QStringLiteral("%1: the window at %2 %3 %4x%5 lies under the character")
                                .arg(name).arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
        QCOMPARE(frame.size(), size);
        const QStringList faults = kestrova::test::fitFaults(m_options, name);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        const auto *scroll = m_options->findChild<QScrollArea *>(QStringLiteral("PageScroll"));
        QVERIFY(scroll);
        QVERIFY2(!scroll->horizontalScrollBar()->isVisible(), qPrintable(name + ": the page scrolls sideways"));
    }
    QCOMPARE(movesIn(m_run->log()), moves);
    QCOMPARE(characterOf(*m_run), character);
}

// A window that sized itself to the screen's height (reckoning with a
// thinner frame than the window manager's) still narrows to stand beside
// the character: a little shorter, not left under it.
void TestStepAside::screenTallWindowNarrowsBeside()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect character(area.topLeft(), QSize(128, 128));
    ScreenFollower follower([&] { return std::optional<QPoint>(character.center()); });
    follower.setCharacterArea([&] { return std::optional<QRect>(character); });
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tall"));
    auto *layout = new QVBoxLayout(&window);
    auto *text = new QLabel(QStringLiteral("A page of text that wraps onto more lines where the window is narrower."));
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addWidget(new QLineEdit);
    window.resize(area.width() - 8, area.height() - 2);
    follower.place(&window);
    QVERIFY2(window.x() > character.right() && window.width() < area.width() - 8,
             qPrintable(QStringLiteral("the window at %1 %2 %3x%4").arg(window.x()).arg(window.y())
                            .arg(window.width()).arg(window.height())));
    QVERIFY(window.height() < area.height() - 2);
    QVERIFY(window.height() >= layout->totalHeightForWidth(window.width()));
}

// Sent beside a window, the character is measured as its window on the
// desktop is (a character's frames are larger than the usual 128x128): a
// button of another window that lies just beyond 128 pixels from the
// window's side is a button it would stand on there.
void TestStepAside::besideAWindowByTheCharactersRealSize()
{
    QWidget character(nullptr, Qt::FramelessWindowHint | Qt::Tool);
    character.setObjectName(QStringLiteral("kestrovaCharacter"));
    character.setFixedSize(136, 142);
    character.move(0, 0);
    character.show();
    QVERIFY(QTest::qWaitForWindowExposed(&character));
    const QSize size = character.frameGeometry().size();
    QCOMPARE(size, QSize(136, 142));

    const QRect frame(20, 40, 200, 150);
    // Beside it, to its right, another window whose button starts 130
    // pixels from the window's side, level with its top.
    QWidget other;
    other.setWindowTitle(QStringLiteral("Other"));
    auto *button = new QPushButton(QStringLiteral("OK"), &other);
    button->setGeometry(0, 0, 80, 30);
    other.resize(80, 30);
    other.move(frame.right() + 1 + 130, frame.top());
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    const QRect pressed(button->mapToGlobal(QPoint(0, 0)), button->size());
    QVERIFY(!QRect(frame.topRight() + QPoint(1, 0), QSize(128, 128)).intersects(pressed));

    const std::optional<QPoint> at = m_run->app->targetBeside(frame);
    QVERIFY(at);
    const QRect there(*at, size);
    QVERIFY2(!there.intersects(pressed),
             qPrintable(QStringLiteral("the character at %1 %2 %3x%4 covers the button at %5 %6")
                            .arg(there.x()).arg(there.y()).arg(there.width()).arg(there.height())
                            .arg(pressed.x()).arg(pressed.y())));
    QVERIFY(!there.intersects(frame));
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(there));
}

// A page taller than its view: the user scrolls it to reach its foot, and
// the button there comes into view at the view's bottom; scrolled down, the
// button at its head goes on counting where it shows at the top. Each
// counts wherever the scrolling may bring it, within the view only.
void TestStepAside::scrolledPageCountsWhereItScrolls()
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Scrolls"));
    auto *scroll = new QScrollArea(&window);
    scroll->setGeometry(0, 0, 300, 200);
    auto *page = new QWidget;
    page->resize(260, 400);
    auto *head = new QPushButton(QStringLiteral("Head"), page);
    head->setGeometry(10, 10, 100, 30);
    auto *foot = new QPushButton(QStringLiteral("Foot"), page);
    foot->setGeometry(150, 350, 100, 30);
    scroll->setWidget(page);
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QScrollBar *bar = scroll->verticalScrollBar();
    QVERIFY(bar->maximum() > 100);
    const QRect view(scroll->viewport()->mapToGlobal(QPoint(0, 0)), scroll->viewport()->size());
    const auto shownAt = [&](const QPushButton *b, int value) {
        bar->setValue(value);
        return QRect(b->mapToGlobal(QPoint(0, 0)), b->size()).intersected(view);
    };
    const QRect footAtEnd = shownAt(foot, bar->maximum());
    const QRect headAtStart = shownAt(head, 0);
    QVERIFY(!footAtEnd.isEmpty() && !headAtStart.isEmpty());
    QVERIFY(shownAt(foot, 0).isEmpty());

    for (int value : {0, bar->maximum()}) {
        bar->setValue(value);
        QRegion worked;
        for (const QRect &r : ScreenFollower::partsOf(&window).worked) {
            QVERIFY(QRect(window.mapToGlobal(QPoint(0, 0)), window.size()).contains(r));
            worked += r;
        }
        QVERIFY2(QRegion(footAtEnd).subtracted(worked).isEmpty(),
                 qPrintable(QStringLiteral("scrolled to %1: the foot's button is left out").arg(value)));
        QVERIFY2(QRegion(headAtStart).subtracted(worked).isEmpty(),
                 qPrintable(QStringLiteral("scrolled to %1: the head's button is left out").arg(value)));
    }
}

// Every pixel a label inks lies in what counts as its text, whatever the
// scale (these tests run at twice it) and however its lines wrap: the
// character's place is chosen by these rectangles, and a word left out of
// them is a word it may stand on.
void TestStepAside::labelCountsAllItDraws_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("indent");
    QTest::addColumn<int>("alignment");
    const QString note = QStringLiteral("This installation lacks its own helper for learning a voice "
                                        "(kestrova-voice-prep): reinstall the program.");
    const QString press = QStringLiteral("Press the listening key anywhere to talk to the character; press it "
                                         "again, or Escape, to stop. Listening also stops when nothing is typed or "
                                         "said for the time given.");
    // Every few pixels: where the lines break depends on the width.
    const int left = int(Qt::AlignLeft | Qt::AlignVCenter);
    for (int width = 200; width <= 500; width += 3) {
        QTest::addRow("note, %d wide", width) << note << true << width << 0 << -1 << left;
        QTest::addRow("help, %d wide", width) << press << true << width << 0 << -1 << left;
    }
    const QString pace = QStringLiteral("The rate is added to the character's own pace.");
    QTest::newRow("one line") << pace << false << 460 << 0 << -1 << left;
    // Where a label draws its text within its box: a margin, an indent,
    // the other side.
    QTest::newRow("margin") << note << true << 400 << 14 << -1 << left;
    QTest::newRow("indent") << pace << false << 460 << 0 << 40 << left;
    QTest::newRow("wrapped, indent") << press << true << 360 << 0 << 30 << left;
    QTest::newRow("right, indent") << press << true << 360 << 0 << 30 << int(Qt::AlignRight | Qt::AlignTop);
    QTest::newRow("centred, margin") << note << true << 330 << 10 << -1 << int(Qt::AlignCenter);
}

void TestStepAside::labelCountsAllItDraws()
{
    QFETCH(QString, text);
    QFETCH(bool, wrap);
    QFETCH(int, width);
    QFETCH(int, margin);
    QFETCH(int, indent);
    QFETCH(int, alignment);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Label"));
    auto *layout = new QVBoxLayout(&window);
    auto *label = new QLabel(text);
    label->setWordWrap(wrap);
    label->setMargin(margin);
    label->setIndent(indent);
    label->setAlignment(Qt::Alignment(alignment));
    layout->addWidget(label);
    layout->addStretch(1);
    window.resize(width, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(label->isVisible() && label->width() > 100);

    // What the label draws, as it draws it on the screen (at the screen's
    // pixel ratio), in the window's own units.
    const QPixmap drawn = label->grab();
    const QImage image = drawn.toImage().convertToFormat(QImage::Format_ARGB32);
    const qreal ratio = drawn.devicePixelRatio();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    QRegion counted;
    for (const QRect &r : ScreenFollower::partsOf(&window).read)
        counted += r;
    const QPoint labelAt = label->mapToGlobal(QPoint(0, 0));
    int inked = 0;
    QStringList missed;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == background)
                continue;
            ++inked;
            const QPoint at = labelAt + QPoint(int(x / ratio), int(y / ratio));
            if (!counted.contains(at) && missed.size() < 5)
                missed << QStringLiteral("%1 %2").arg(at.x()).arg(at.y());
        }
    }
    QVERIFY2(inked > 100, "the label draws its text");
    QVERIFY2(missed.isEmpty(), qPrintable(QStringLiteral("drawn but not counted (ratio %1): %2")
                                              .arg(ratio).arg(missed.join(QStringLiteral(", ")))));
}

KESTROVA_TEST_MAIN_1024X768(TestStepAside)

#include "test_step_aside.moc"
