// Commands reaching the desktop character: the popup menu of a right click,
// the commands window, and the listening prompt that matches typed phrases
// against the commands' voice grammars.

#include "desktop/ClearPlacement.h"
#include "desktop/CommandMenu.h"
#include "desktop/CommandsWindow.h"
#include "desktop/DesktopCharacter.h"
#include "desktop/ListeningPrompt.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace kestrova::character;

namespace {

const QString TestbotFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/tests/data/characters/testbot");


std::unique_ptr<DesktopCharacter> makeBot(const QHash<QString, QString> &extraStates = {})
{
    QString error;
    std::optional<CharacterModel> model = CharacterModel::load(TestbotFolder, &error);
    if (!model)
        qFatal("testbot does not load: %s", qPrintable(error));
    for (auto it = extraStates.begin(); it != extraStates.end(); ++it)
        model->states.insert(it.key(), QStringList{it.value()});
    auto bot = std::make_unique<DesktopCharacter>(std::move(*model), std::make_unique<SilentVoice>());
    Commands &c = bot->commands();
    c.setCaption(QStringLiteral("Kestrova"));
    c.setVisible(true);
    // Menu commands and voice-only ones, mixed as the program registers them.
    c.add(QStringLiteral("General"), QStringLiteral("General"), QStringLiteral("[...]general[...]"), true, true);
    c.add(QStringLiteral("Secret"), QStringLiteral("Secret"), QStringLiteral("secret"), false, true);
    c.add(QStringLiteral("Check Mail"), QStringLiteral("Check Mail"), QStringLiteral("[check][e]mail"), true, false);
    c.add(QStringLiteral("Quit"), QStringLiteral("Quit"), QStringLiteral("quit[program|application]"), true, true);
    c.add(QStringLiteral("Help"), QStringLiteral("Help & Hints"), QStringLiteral("[show|open|run|get]help"), true, true);
    return bot;
}

bool showBot(DesktopCharacter &bot)
{
    bot.show();
    return QTest::qWaitFor([&] { return bot.visible() && !bot.isBusy(); }, 3000);
}

void rightClick(QWidget *w)
{
    const QPoint local(w->width() / 2, w->height() / 2);
    const QPointF global = w->mapToGlobal(QPointF(local));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(local), global, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(local), global, Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

QStringList actionTexts(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("---") : a->text());
    return out;
}

QAction *menuAction(const QMenu *menu, const QString &objectName)
{
    for (QAction *a : menu->actions())
        if (a->objectName() == objectName)
            return a;
    return nullptr;
}

QStringList column(const QTreeWidget *list, int c)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(c);
    return out;
}

// Opens the prompt, types the phrase and presses Enter; the command raised.
std::optional<UserInput> say(DesktopCharacter &bot, const QString &phrase)
{
    QSignalSpy commands(&bot, &Character::command);
    bot.listen(true);
    ListeningPrompt *prompt = bot.listeningPrompt();
    if (!prompt || !prompt->isVisible())
        return std::nullopt;
    QTest::keyClicks(prompt->line(), phrase);
    QTest::keyClick(prompt->line(), Qt::Key_Return);
    if (commands.isEmpty())
        commands.wait(2000);
    if (commands.size() != 1)
        return std::nullopt;
    return commands.at(0).at(0).value<UserInput>();
}

} // namespace

Q_DECLARE_METATYPE(kestrova::character::UserInput)

class TestCommandInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<UserInput>(); }

    void rightClickMenuOffersMenuCommandsInOrder();
    void menuHideAndCommandsWindow();
    void commandsWindowListsEnabledCommands();
    void commandsWindowAsTallAsTheScreenAllows();
    void grammarsReadAsWritten();
    void typedPhrasesAreMatched();
    void listeningEndsWithoutACommand();
    void characterGoesWhileACommandWaits();
    void promptSitsBesideTheCharacterOnScreen();
    void listeningWhileHiddenDoesNothing();
    void weakMatchShowsTheConfidenceText();
    void unparseableGrammarIsMenuOnly();
    void listeningAnimationPlaysOnceThenRests();
};

void TestCommandInput::rightClickMenuOffersMenuCommandsInOrder()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    QSignalSpy clicks(bot.get(), &Character::click);
    QSignalSpy commands(bot.get(), &Character::command);

    rightClick(bot->window());
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks.at(0).at(0).toInt(), int(RightButton));
    CommandMenu *menu = bot->commandMenu();
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), QStringLiteral("kestrovaCommandMenu"));
    QTRY_VERIFY(menu->isVisible());
    // Disabled and voice-only commands are absent; an ampersand in a caption
    // is shown, not taken for a shortcut. Every entry has a key of its own,
    // the service's entries first.
    QCOMPARE(actionTexts(menu), (QStringList{QStringLiteral("&General"), QStringLiteral("&Quit"),
                                             QStringLiteral("H&elp && Hints"), QStringLiteral("---"),
                                             QStringLiteral("&Hide"), QStringLiteral("&Open Commands Window"),
                                             QStringLiteral("&Character Options...")}));

    // Enabling a command shows it next time, in its place.
    menu->hide();
    bot->commands().item(QStringLiteral("Secret"))->enabled = true;
    rightClick(bot->window());
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(actionTexts(menu).mid(0, 3),
             (QStringList{QStringLiteral("&General"), QStringLiteral("&Secret"), QStringLiteral("&Quit")}));
    // The key chooses the entry.
    QSignalSpy chosen(menu, &CommandMenu::commandChosen);
    QTest::keyClick(menu, Qt::Key_S);
    QTRY_COMPARE(chosen.size(), 1);
    QCOMPARE(chosen.at(0).at(0).toString(), QStringLiteral("Secret"));
    QTRY_COMPARE(commands.size(), 1);
    commands.clear();
    rightClick(bot->window());
    QTRY_VERIFY(menu->isVisible());

    QAction *quit = menuAction(menu, QStringLiteral("command:Quit"));
    QVERIFY(quit);
    quit->trigger();
    QVERIFY(commands.wait(2000));
    QCOMPARE(commands.size(), 1);
    const UserInput input = commands.at(0).at(0).value<UserInput>();
    QCOMPARE(input.name, QStringLiteral("Quit"));
    QCOMPARE(input.confidence, 100);
    QCOMPARE(input.voice, QStringLiteral("Quit"));

    // A left click opens no menu.
    menu->hide();
    QTest::mouseClick(bot->window(), Qt::LeftButton);
    QTest::qWait(50);
    QVERIFY(!menu->isVisible());
}

void TestCommandInput::menuHideAndCommandsWindow()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    QSignalSpy commands(bot.get(), &Character::command);
    rightClick(bot->window());
    CommandMenu *menu = bot->commandMenu();
    QVERIFY(menu);

    menuAction(menu, QStringLiteral("kestrovaOpenCommandsWindow"))->trigger();
    QVERIFY(bot->commandsWindow());
    QTRY_VERIFY(bot->commandsWindow()->isVisible());

    menuAction(menu, QStringLiteral("kestrovaHide"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!bot->visible(), 3000);
    QTest::qWait(50);
    QCOMPARE(commands.size(), 0);
}

void TestCommandInput::commandsWindowListsEnabledCommands()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    QSignalSpy commands(bot.get(), &Character::command);
    bot->showCommandsWindow();
    CommandsWindow *window = bot->commandsWindow();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("Kestrova Commands"));
    QTreeWidget *list = window->list();
    // Every enabled command, menu or not, in the order added.
    QCOMPARE(column(list, 0), (QStringList{QStringLiteral("General"), QStringLiteral("Check Mail"),
                                           QStringLiteral("Quit"), QStringLiteral("Help & Hints")}));
    QCOMPARE(column(list, 1).at(2), QStringLiteral("quit, quit program, quit application"));

    // Changes to the set show when the window is shown again.
    bot->commands().item(QStringLiteral("General"))->enabled = false;
    bot->commands().add(QStringLiteral("Notepad"), QStringLiteral("Notepad"), QStringLiteral("notepad"), true, false);
    window->hide();
    bot->showCommandsWindow();
    QCOMPARE(column(list, 0), (QStringList{QStringLiteral("Check Mail"), QStringLiteral("Quit"),
                                           QStringLiteral("Help & Hints"), QStringLiteral("Notepad")}));

    // Enter on an entry chooses it; the window stays.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(commands.size(), 1);
    UserInput input = commands.at(0).at(0).value<UserInput>();
    QCOMPARE(input.name, QStringLiteral("Quit"));
    QCOMPARE(input.confidence, 100);
    QVERIFY(window->isVisible());

    // So does a double-click.
    // (QTest::mouseDClick leaves out the second press item views look for.)
    QWidget *viewport = list->viewport();
    const QPoint row = list->visualItemRect(list->topLevelItem(0)).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, row);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, row);
    QTest::mousePress(viewport, Qt::LeftButton, {}, row);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(row), QPointF(viewport->mapToGlobal(row)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &dbl);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, row);
    QTRY_COMPARE(commands.size(), 2);
    input = commands.at(1).at(0).value<UserInput>();
    QCOMPARE(input.name, QStringLiteral("Check Mail"));
    QCOMPARE(input.confidence, 100);
}

// On a screen shorter than the window likes to be (this test runs at
// scale 1 and 2), it stands beside the character from the top of the
// screen to its foot, its frame included, to show every row it can.
void TestCommandInput::commandsWindowAsTallAsTheScreenAllows()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    bot->showCommandsWindow();
    CommandsWindow *window = bot->commandsWindow();
    QVERIFY(window);
    QTRY_VERIFY(window->isVisible());
    const QRect area = window->screen()->availableGeometry();
    // No window manager frames it here: the usual frame is reckoned.
    const QRect framed(window->frameGeometry().topLeft(), window->size() + FrameAllowance);
    QVERIFY2(area.contains(framed), qPrintable(QStringLiteral("%1 %2 %3x%4 on %5x%6").arg(framed.x()).arg(framed.y())
                                                   .arg(framed.width()).arg(framed.height()).arg(area.width())
                                                   .arg(area.height())));
    if (area.height() < CommandsWindow::Comfortable.height() + FrameAllowance.height())
        QCOMPARE(window->height() + FrameAllowance.height(), area.height());
    else
        QCOMPARE(window->height(), CommandsWindow::Comfortable.height());
    QVERIFY(!window->geometry().intersects(bot->window()->geometry()));
}

void TestCommandInput::grammarsReadAsWritten()
{
    QCOMPARE(readableGrammar(QStringLiteral("quit[program|application]")), QStringLiteral("quit [program | application]"));
    QCOMPARE(readableGrammar(QStringLiteral("[...](inter net|internet|net|web) menu[...]")),
             QStringLiteral("[...] (inter net | internet | net | web) menu [...]"));
    QCOMPARE(readableGrammar(QStringLiteral("yes|no")), QStringLiteral("yes | no"));
    // Not a grammar: shown as written.
    QCOMPARE(readableGrammar(QStringLiteral("open (menu")), QStringLiteral("open (menu"));
}

void TestCommandInput::typedPhrasesAreMatched()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));

    bot->listen(true);
    ListeningPrompt *prompt = bot->listeningPrompt();
    QVERIFY(prompt);
    QVERIFY(prompt->isVisible());
    QCOMPARE(prompt->line()->placeholderText(), QStringLiteral("Say or type a command"));
    QTRY_VERIFY(prompt->line()->hasFocus());
    bot->listen(false);

    std::optional<UserInput> heard = say(*bot, QStringLiteral("check mail"));
    QVERIFY(heard);
    QCOMPARE(heard->name, QStringLiteral("Check Mail"));
    QCOMPARE(heard->confidence, 100);
    QCOMPARE(heard->voice, QStringLiteral("check mail"));
    // The phrase ends listening.
    QVERIFY(!prompt->isVisible());
    QVERIFY(!bot->isListening());

    heard = say(*bot, QStringLiteral("chek mail"));
    QVERIFY(heard);
    QCOMPARE(heard->name, QStringLiteral("Check Mail"));
    QVERIFY2(heard->confidence > 0 && heard->confidence < 100, qPrintable(QString::number(heard->confidence)));

    heard = say(*bot, QStringLiteral("xyzzy"));
    QVERIFY(heard);
    QCOMPARE(heard->name, QString());
    QCOMPARE(heard->confidence, -100);
    QCOMPARE(heard->voice, QStringLiteral("xyzzy"));

    // Disabled commands are not heard.
    heard = say(*bot, QStringLiteral("secret"));
    QVERIFY(heard);
    QVERIFY(heard->name != QStringLiteral("Secret"));
    bot->commands().item(QStringLiteral("Secret"))->enabled = true;
    heard = say(*bot, QStringLiteral("secret"));
    QVERIFY(heard);
    QCOMPARE(heard->name, QStringLiteral("Secret"));
}

// The command typed in the prompt opens a dialog that waits in an event
// loop of its own, and a quit unloads the character meanwhile: the prompt
// goes with the character. So the command is heard once the Enter's key
// press is done with; the line edit's own handling of it would otherwise go
// on in a deleted widget.
void TestCommandInput::characterGoesWhileACommandWaits()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    const QPointer<DesktopCharacter> alive(bot.get());
    bool pressDone = false;
    QList<bool> heardAfterThePress;
    connect(bot.get(), &Character::command, this, [&] {
        heardAfterThePress << pressDone;
        QEventLoop dialog;
        // As the quit's deferred deletes run in the dialog's loop.
        QTimer::singleShot(0, &dialog, [&] { bot.reset(); });
        QTimer::singleShot(200, &dialog, &QEventLoop::quit);
        dialog.exec();
    });
    bot->listen(true);
    ListeningPrompt *prompt = bot->listeningPrompt();
    QVERIFY(prompt && prompt->isVisible());
    QTest::keyClicks(prompt->line(), QStringLiteral("check mail"));
    QTest::keyClick(prompt->line(), Qt::Key_Return);
    pressDone = true;
    QTRY_COMPARE(heardAfterThePress, QList<bool>{true});
    QTRY_VERIFY(alive.isNull());
}

void TestCommandInput::listeningEndsWithoutACommand()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    QSignalSpy commands(bot.get(), &Character::command);

    bot->listen(true);
    ListeningPrompt *prompt = bot->listeningPrompt();
    QTest::keyClicks(prompt->line(), QStringLiteral("quit"));
    QTest::keyClick(prompt->line(), Qt::Key_Escape);
    QVERIFY(!prompt->isVisible());
    QVERIFY(!bot->isListening());

    bot->listen(true);
    QVERIFY(prompt->isVisible());
    QVERIFY(prompt->line()->text().isEmpty()); // a fresh line each time
    bot->listen(false);
    QVERIFY(!prompt->isVisible());

    // The time-out counts from the last keystroke.
    prompt->setIdleTimeout(300);
    bot->listen(true);
    for (int i = 0; i < 4; ++i) {
        QTest::qWait(150);
        QTest::keyClick(prompt->line(), Qt::Key_Q);
    }
    QVERIFY(prompt->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!prompt->isVisible(), 2000);
    QVERIFY(!bot->isListening());

    // Hiding the character ends listening too.
    prompt->setIdleTimeout(ListeningPrompt::IdleTimeoutMs);
    bot->listen(true);
    bot->hide();
    QTRY_VERIFY_WITH_TIMEOUT(!bot->visible(), 3000);
    QVERIFY(!prompt->isVisible());
    QVERIFY(!bot->isListening());

    QTest::qWait(50);
    QCOMPARE(commands.size(), 0);
}

void TestCommandInput::promptSitsBesideTheCharacterOnScreen()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QPoint at : {QPoint(area.right() - 120, area.bottom() - 120), QPoint(area.left(), area.top())}) {
        bot->window()->place(at);
        bot->listen(true);
        const QRect prompt = bot->listeningPrompt()->geometry();
        const QRect character = bot->window()->geometry();
        QVERIFY2(area.contains(prompt), qPrintable(QStringLiteral("prompt at %1,%2").arg(prompt.x()).arg(prompt.y())));
        QVERIFY(!prompt.intersects(character));
        QVERIFY(prompt.top() <= character.bottom() && prompt.bottom() >= character.top());
        bot->listen(false);
    }
}

void TestCommandInput::listeningWhileHiddenDoesNothing()
{
    auto bot = makeBot();
    bot->listen(true);
    QVERIFY(!bot->isListening());
    QVERIFY(!bot->listeningPrompt() || !bot->listeningPrompt()->isVisible());
    QVERIFY(!bot->isBusy());
}

void TestCommandInput::weakMatchShowsTheConfidenceText()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    Command *mail = bot->commands().item(QStringLiteral("Check Mail"));
    mail->confidence = 90;
    mail->confidenceText = QStringLiteral("Did you mean the mail?");

    std::optional<UserInput> heard = say(*bot, QStringLiteral("check mail"));
    QVERIFY(heard);
    QCOMPARE(heard->confidence, 100);
    QTest::qWait(100);
    QVERIFY(!bot->balloon()->isVisible());

    heard = say(*bot, QStringLiteral("chek mail"));
    QVERIFY(heard);
    QCOMPARE(heard->name, QStringLiteral("Check Mail"));
    QVERIFY(heard->confidence < 90);
    QTRY_VERIFY(bot->balloon()->isVisible());
    QCOMPARE(bot->balloon()->text(), QStringLiteral("Did you mean the mail?"));
    QCOMPARE(bot->balloon()->style(), Balloon::Style::Thought);
}

void TestCommandInput::unparseableGrammarIsMenuOnly()
{
    auto bot = makeBot();
    QVERIFY(showBot(*bot));
    bot->commands().add(QStringLiteral("Broken"), QStringLiteral("Broken"), QStringLiteral("open (menu"), true, true);

    const QRegularExpression warning(QStringLiteral("\"Broken\".*does not parse"));
    QTest::ignoreMessage(QtWarningMsg, warning);
    bot->listen(true);
    bot->listen(false);
    // Said once only.
    QTest::failOnWarning(warning);
    std::optional<UserInput> heard = say(*bot, QStringLiteral("open menu"));
    QVERIFY(heard);
    QVERIFY(heard->name != QStringLiteral("Broken"));

    rightClick(bot->window());
    QVERIFY(bot->commandMenu());
    QVERIFY(menuAction(bot->commandMenu(), QStringLiteral("command:Broken")));
    bot->commandMenu()->hide();
}

void TestCommandInput::listeningAnimationPlaysOnceThenRests()
{
    // Processing loops until told to stop, like a listening animation.
    auto bot = makeBot({{QStringLiteral("listening"), QStringLiteral("Processing")}});
    QVERIFY(showBot(*bot));
    QTest::qWait(300);
    bot->listen(true);
    QCOMPARE(bot->currentAnimation(), QStringLiteral("Processing"));
    // One pass, its exit, back to rest: then nothing is drawn while the
    // prompt waits.
    QTest::qWait(800);
    const int paints = bot->window()->paintCount();
    QTest::qWait(600);
    QVERIFY(bot->isListening());
    QCOMPARE(bot->window()->paintCount(), paints);
    bot->listen(false);
}

QTEST_MAIN(TestCommandInput)
#include "test_command_input.moc"
