#include "AgentForm.h"

#include "Actions.h"
#include "FrmMain.h"
#include "UserModel.h"

#include "Application.h"
#include "Character.h"
#include "CommandTable.h"
#include "DateFunctions.h"
#include "Execute.h"
#include "SpeechText.h"
#include "IntegerText.h"
#include "MainLoop.h"
#include "MousePointer.h"
#include "QuitWatchdog.h"
#include "Random.h"
#include "SettingsStore.h"
#include "WindowPlacement.h"
#include "WordControls.h"
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

namespace kestrova {

using character::Request;

namespace {
const QString App = QStringLiteral("Kestrova");
const QString CharacterId = QStringLiteral("default");
Q_LOGGING_CATEGORY(lcQuit, "kestrova.quit")
} // namespace

AgentForm::AgentForm(Application &app) : QWidget(nullptr), m_app(app)
{
    setObjectName(QStringLiteral("Agent"));
    setWindowTitle(tr("Kestrova"));
    character::CharacterService *service = &m_app.characterService();
    connect(service, &character::CharacterService::requestComplete, this,
            &AgentForm::AgentCtrl_RequestComplete);
    connect(service, &character::CharacterService::command, this, &AgentForm::AgentCtrl_Command);
    connect(service, &character::CharacterService::click, this, &AgentForm::AgentCtrl_Click);
    connect(service, &character::CharacterService::dblClick, this, &AgentForm::AgentCtrl_DblClick);
    connect(service, &character::CharacterService::switchRequested, this, &AgentForm::SwitchAgent);

    connect(&m_app.model(), &UserModel::accessoriesApplied, this, &AgentForm::ApplyAccessories);

    m_quitDeadline.setSingleShot(true);
    m_quitDeadline.setTimerType(Qt::PreciseTimer);
    connect(&m_quitDeadline, &QTimer::timeout, this, &AgentForm::QuitDeadline_Timer);

    m_tourMenuLater.setSingleShot(true);
    connect(&m_tourMenuLater, &QTimer::timeout, this, &AgentForm::PopupTourMenu);

    MnuTour = new QMenu(tr("Tour"), this);
    MnuTour->setObjectName(QStringLiteral("MnuTour"));
    MnuYes = MnuTour->addAction(tr("Yes"), this, &AgentForm::MnuYes_Click);
    MnuYes->setObjectName(QStringLiteral("MnuYes"));
    MnuNo = MnuTour->addAction(tr("No"), this, &AgentForm::MnuNo_Click);
    MnuNo->setObjectName(QStringLiteral("MnuNo"));
    // Answered or waved away, the question is over.
    connect(MnuTour, &QMenu::aboutToHide, this, &AgentForm::EndTourQuestion);
}

AgentForm::~AgentForm() = default;

void AgentForm::Form_Load()
{
    SpeechInputRequest = Request();
    QuitRequest = Request();
    m_app.jokeWatch().JokeTicks = 0;
    SetAgent();
    m_app.jokes().LoadJokes(m_app.model().files().jokesToRead());
    // Runs even when jokes are off; the switch keeps jokes from being told.
    m_app.jokeWatch().start();
    // The quick toolbar loads hidden; its load fills the user's menus.
    m_app.frmQuick();

    const SettingsStore &settings = m_app.settings();
    convertStoredInto(settings.read(App, QStringLiteral("Run"), QStringLiteral("Number")), &RunNumber,
                      QStringLiteral("Run/Number"));
    // A count of starts below zero counts no starts: this one is the first,
    // as with a count that cannot be read, rather than the first again some
    // starts later.
    if (RunNumber < 0) {
        qCWarning(lcSettings).noquote()
            << QStringLiteral("The setting Run/Number holds %1, which counts no starts; this start is counted as the first.")
                   .arg(RunNumber);
        RunNumber = 0;
    }
    incrementInt16(&RunNumber);
    settings.write(App, QStringLiteral("Run"), QStringLiteral("Number"), QString::number(RunNumber));

    m_app.movement().LoadRestPosition(settings);
}

void AgentForm::SetAgent()
{
    character::CharacterService &service = m_app.characterService();
    if (service.load(CharacterId))
        Agent = service.character(CharacterId);
    if (const QString refusal = service.refusal(); !refusal.isEmpty())
        TellRefusal(refusal);
    SetUpAgent();
}

void AgentForm::SetUpAgent()
{
    Agent.setLanguageID(1033);
    Agent.setBalloonStyle(Agent.BalloonStyle() & ~character::Character::BalloonOn);
    SetCommands();
    if (character::Commands *commands = Agent.commands()) {
        commands->setCaption(QStringLiteral("Kestrova"));
        commands->setVoice(QStringLiteral("Kestrova"));
    }
}

void AgentForm::TellRefusal(const QString &text)
{
    // Not modal: the greeting goes on beside it, and the box stays until
    // the user has read it.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Kestrova"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("CharacterRefused"));
    // The text quotes the character's files: shown as written, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void AgentForm::StartAgent()
{
    m_app.movement().MoveToRest(Agent);
    Agent.Show();

    if (m_app.settings().read(App, QStringLiteral("Run"), QStringLiteral("Number")) == u"1") {
        // The introduction and the question are shown in the balloon,
        // whatever its setting, and the question stays there until it is
        // answered: the Yes/No menu beside it makes sense only with it.
        m_styleBeforeQuestion = Agent.BalloonStyle();
        m_tourQuestionOpen = true;
        Agent.setBalloonStyle(m_styleBeforeQuestion | character::Character::BalloonOn);
        Agent.HoldBalloon(true);
        Agent.Play(QStringLiteral("Greet"));
        Agent.Speak(tr("Hi! my name is %1 I can help you get started if you would like me to").arg(Agent.Name()));
        TourRequest = Agent.Speak(tr("Would you like to tour the programme?"));
        return;
    }
    Greet();
}

void AgentForm::Greet()
{
    const QString name = Agent.Name();
    if (name == u"Genie") {
        Agent.Play(QStringLiteral("Greet"));
        Agent.Speak(tr("Hello master, how may I serve you today?"));
        Agent.Play(QStringLiteral("RestPose"));
    } else if (name == u"Merlin") {
        Agent.Play(QStringLiteral("Surprised"));
        Agent.Speak(tr("How did you get here?|Where am I now?"));
        Agent.Play(QStringLiteral("RestPose"));
    } else if (name == u"Robby") {
        Agent.Play(QStringLiteral("Wave"));
        Agent.Speak(tr("Hi! %1").arg(userName()));
        Agent.Play(QStringLiteral("RestPose"));
    } else if (name == u"Peedy") {
        Agent.Play(QStringLiteral("Wave"));
        Agent.Speak(tr("Hi %1, what are we going to do today?").arg(userName()));
        Agent.Play(QStringLiteral("RestPose"));
    } else {
        const Clock &clock = *m_app.context().platform.clock;
        Agent.Speak(tr("Good ") + DateFunctions::GetPartOfDay(clock) + u' ' + userName());
        Agent.Play(QStringLiteral("RestPose"));
        Agent.Speak(tr("The time is %1 on %2 %3")
                        .arg(DateFunctions::GetSpokenTime(clock), DateFunctions::GetDayName(clock),
                             DateFunctions::GetSpokenDate(clock)));
        Agent.Play(QStringLiteral("RestPose"));
    }
}

void AgentForm::AgentQuit()
{
    QuitWatchdog::arm();
    // Whatever waits for the user in an event loop of its own (a dialog, a
    // menu) is answered "Cancel" now, so that its loop has returned by the
    // time the windows go; see EndProgram.
    MainLoop::endWaits();
    // The windows are going already (a window closed by the unload may ask
    // to quit again).
    if (m_unloading)
        return;
    // A mail check still running ends now, not after the farewell.
    m_app.mailWatch().stopForQuit();
    CancelSwitch();
    if (!Agent.isLoaded()) {
        // No character: no farewell can complete and end the program, so it
        // ends here.
        EndProgram();
        return;
    }
    // The program is ending: a tour offer or a repeat prompt cut short by
    // the StopAll below must not pop up the tour menu or ask again.
    TourRequest = Request();
    SpeechInputRequest = Request();
    m_tourMenuLater.stop();
    EndTourQuestion();
    if (!m_quitDeadline.isActive())
        m_quitDeadline.start(std::max(0, QuitDeadlineMs - QuitWatchdog::sinceArmedMs()));
    Agent.StopAll();
    Farewell();
    QuitRequest = Agent.Hide();
}

void AgentForm::Farewell()
{
    const QString name = Agent.Name();
    if (name == u"Genie") {
        Agent.Play(QStringLiteral("Sad"));
        Agent.Speak(tr("Goodbye master."));
    } else if (name == u"Merlin") {
        Agent.Play(QStringLiteral("LookDown"));
        Agent.Speak(tr("Are we finished already?"));
    } else if (name == u"Robby") {
        Agent.Play(QStringLiteral("Sad"));
        Agent.Speak(tr("Goodbye %1").arg(userName()));
    } else if (name == u"Peedy") {
        Agent.Play(QStringLiteral("Sad"));
        Agent.Speak(tr("OK, bye %1").arg(userName()));
    } else {
        Agent.Speak(tr("Goodbye %1").arg(userName()));
    }
}

// The farewell or the hide has not ended in time: both are dropped (the
// service reports them as stopped), and the hide's end unloads everything.
void AgentForm::QuitDeadline_Timer()
{
    if (m_unloading)
        return;
    qCInfo(lcQuit).noquote() << QStringLiteral("The farewell took longer than %1 ms: it is cut short").arg(QuitDeadlineMs);
    if (Agent.isLoaded())
        Agent.StopAll();
    // Nothing reported the hide: the program ends all the same.
    EndProgram();
}

// The farewell is over: the character and every window go. A window goes by
// deleteLater(), and Qt runs a deferred delete as soon as control is back in
// the event loop it was asked from, or in an outer one. Asked from inside a
// dialog's exec() (the quit's signal, the hide's end and the deadline's
// timer may each come while a dialog waits), the dialog's own loop would
// delete the window that opened the dialog, or the dialog itself, while the
// exec() and its caller still run in them. So the dialogs are answered first
// (AgentQuit does that, and MainLoop::whenBack again for any opened since),
// and the character and the windows go only once control is back in the
// main loop: from there no deletion runs in a nested loop.
void AgentForm::EndProgram()
{
    if (m_unloading)
        return;
    m_unloading = true;
    StopWatches();
    MainLoop::whenBack(this, [this] {
        if (Agent.isLoaded())
            m_app.characterService().unload(CharacterId);
        Agent = character::CharacterRef();
        // The watches were stopped above, before the wait for the main loop.
        m_app.forms().unloadAll();
    });
}

void AgentForm::StopWatches()
{
    m_quitDeadline.stop();
    m_app.wordControls().release();
    m_app.mailWatch().stopTimer();
    m_app.jokeWatch().stop();
    // A ring after this would ask for the host window again and load it
    // anew, character and run count included.
    m_app.alarm().stop();
}

void AgentForm::UnloadForms()
{
    m_unloading = true;
    StopWatches();
    m_app.forms().unloadAll();
}

void AgentForm::AgentVisible()
{
    if (!Agent.Visible())
        Agent.Show();
}

void AgentForm::AgentCtrl_RequestComplete(const Request &request)
{
    if (request.isNull())
        return;
    if (request == SpeechInputRequest) {
        Agent.Speak(tr("Better try that again."));
    } else if (request == QuitRequest) {
        EndProgram();
    } else if (request == SwitchRequest) {
        TakeSwitchedAgent();
    } else if (request == TourRequest) {
        const MousePointer &pointer = *m_app.context().platform.mousePointer;
        m_app.movement().GestureAtMouse(Agent, pointer);
        // Cut short by a click, the offer's menu waits: the click may be
        // the first of a double click, whose second the menu would take.
        if (m_clickStopping)
            m_tourMenuLater.start(QApplication::doubleClickInterval());
        else
            PopupTourMenu();
    }
}

void AgentForm::PopupTourMenu()
{
    if (!Agent.isLoaded() || ending()) {
        EndTourQuestion();
        return;
    }
    MnuTour->popup(tourMenuPlace());
}

QPoint AgentForm::tourMenuPlace() const
{
    // Beside the character (and its balloon), over none of the program's
    // windows, on the character's screen.
    const QPoint pointer = m_app.context().platform.mousePointer->position();
    const std::optional<QRect> character = m_app.characterArea();
    if (!character)
        return pointer;
    const QScreen *screen = QGuiApplication::screenAt(character->center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return pointer;
    QList<QRect> avoid;
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (const QWidget *w : windows)
        if (w->isVisible() && w != MnuTour && w->objectName() != u"kestrovaCharacter")
            avoid << w->frameGeometry();
    return WindowPlacement::clearOf(MnuTour->sizeHint(), screen->availableGeometry(), *character, avoid);
}

void AgentForm::EndTourQuestion()
{
    if (!m_tourQuestionOpen)
        return;
    m_tourQuestionOpen = false;
    Agent.HoldBalloon(false);
    Agent.setBalloonStyle(m_styleBeforeQuestion);
}

void AgentForm::SetCommands()
{
    character::Commands *commands = Agent.commands();
    if (!commands)
        return;
    // The first office program and the favourite sites are named by the
    // stored lists, which the program has read into the model. The service
    // refuses a command without a name.
    const UserModel &model = m_app.model();
    QStringList sites;
    for (int k = 0; k < UserModel::Slots; ++k)
        sites << model.slot(UserModel::List::Favourites, k).name;
    const QList<CommandEntry> table =
        commandTable(m_app.actions(), model.slot(UserModel::List::Office, 0).name, sites);
    for (const CommandEntry &c : table) {
        if (!commands->add(c.name, c.caption, c.voice, true, c.inMenu))
            continue;
        commands->item(c.name)->strict = c.drastic;
        commands->item(c.name)->description = c.description;
        if (c.guarded) {
            character::Command *added = commands->item(c.name);
            added->confidenceText = GuardedConfidenceText;
            added->confidence = GuardedConfidence;
        }
    }
    ApplyAccessories();
    commands->setVisible(true);
}

void AgentForm::ApplyAccessories()
{
    // The four accessory commands are on while their menu entries are shown.
    character::Commands *commands = Agent.commands();
    const UserModel &model = m_app.model();
    if (!commands || !model.accessoriesLoaded())
        return;
    for (int a = 0; a < UserModel::AccessoryCount; ++a)
        if (character::Command *command = commands->item(UserModel::accessoryCommand(UserModel::Accessory(a))))
            command->enabled = model.accessoryShown(UserModel::Accessory(a));
}

void AgentForm::AgentCtrl_Command(const character::UserInput &input)
{
    if (input.confidence <= GuardedConfidence) {
        AgentNotUnderstood();
        return;
    }
    // The fixed commands first, by their registered id: a site named "Quit"
    // quits. Then the user's own names as they stand now: a site, then an
    // office program. No command is without a name, so an empty name
    // matches no empty slot.
    const QString &name = input.name;
    ActionRegistry &actions = m_app.actions();
    const Action *action = actions.find(name);
    if (action && !action->voice.isEmpty()) {
        actions.run(name, Asked::Spoken);
        return;
    }
    const UserModel &model = m_app.model();
    if (const int k = model.findName(UserModel::List::Favourites, name); k >= 0)
        actions.run(QStringLiteral("favourite:%1").arg(k), Asked::Spoken);
    else if (const int k = model.findName(UserModel::List::Office, name); k >= 0)
        actions.run(QStringLiteral("office:%1").arg(k), Asked::Spoken);
}

void AgentForm::AgentNotUnderstood()
{
    Agent.Listen(false);
    switch (RetryCount) {
    case 0:
        RetryCount = 1;
        Agent.Play(QStringLiteral("DontRecognize"));
        SpeechInputRequest = Agent.Speak(tr("Huh?|What?|Say Again?"));
        break;
    case 1:
        RetryCount = 2;
        Agent.Play(QStringLiteral("Decline"));
        SpeechInputRequest = Agent.Speak(tr("Can you say that again?|What was that?|once more please."));
        break;
    case 2:
        RetryCount = 3;
        Agent.Play(QStringLiteral("StartListening"));
        Agent.Listen(true);
        break;
    default:
        break;
    }
}

void AgentForm::AgentCtrl_Click(const QString &, int button, int, int, int)
{
    if (button == character::LeftButton) {
        // What the stop ends reports at once, within this call.
        m_clickStopping = true;
        Agent.StopAll();
        m_clickStopping = false;
    } else
        Agent.Play(QStringLiteral("Alert"));
}

void AgentForm::AgentCtrl_DblClick(const QString &, int button, int, int, int)
{
    if (button == character::LeftButton) {
        // The user chose to speak: the tour offer cut short by the first
        // click asks no more (the tour stays in the general menu).
        if (m_tourMenuLater.isActive()) {
            m_tourMenuLater.stop();
            EndTourQuestion();
        }
        Agent.Listen(true);
    }
}

void AgentForm::MnuYes_Click()
{
    m_app.actions().run(QStringLiteral("Tour"));
}

void AgentForm::MnuNo_Click()
{
    Agent.Play(QStringLiteral("Sad"));
    Agent.Speak(tr("You can see the tour anytime by selecting tour from my general menu."));
}

QString AgentForm::userName() const
{
    return character::outsideText(m_app.model().userName());
}

} // namespace kestrova
