#include "AgentForm.h"

#include "Application.h"
#include "Character.h"
#include "CommandTable.h"
#include "DateFunctions.h"
#include "FileOperations.h"
#include "IntegerText.h"
#include "MousePointer.h"
#include "Random.h"
#include "SettingsStore.h"
#include "Shell.h"

#include <QMenu>

namespace kestrova {

using character::Request;

namespace {
const QString App = QStringLiteral("Kestrova");
const QString CharacterId = QStringLiteral("default");
} // namespace

AgentForm::AgentForm(Application &app) : QWidget(nullptr), m_app(app)
{
    setObjectName(QStringLiteral("Agent"));
    setWindowTitle(QStringLiteral("Kestrova"));
    character::CharacterService *service = &m_app.characterService();
    connect(service, &character::CharacterService::requestComplete, this,
            &AgentForm::AgentCtrl_RequestComplete);
    connect(service, &character::CharacterService::command, this, &AgentForm::AgentCtrl_Command);
    connect(service, &character::CharacterService::click, this, &AgentForm::AgentCtrl_Click);
    connect(service, &character::CharacterService::dblClick, this, &AgentForm::AgentCtrl_DblClick);

    TimerJoke.setObjectName(QStringLiteral("TimerJoke"));
    TimerJoke.setInterval(60000);
    connect(&TimerJoke, &QTimer::timeout, this, &AgentForm::TimerJoke_Timer);

    MnuTour = new QMenu(QStringLiteral("Tour"), this);
    MnuTour->setObjectName(QStringLiteral("MnuTour"));
    MnuYes = MnuTour->addAction(QStringLiteral("Yes"), this, &AgentForm::MnuYes_Click);
    MnuYes->setObjectName(QStringLiteral("MnuYes"));
    MnuNo = MnuTour->addAction(QStringLiteral("No"), this, &AgentForm::MnuNo_Click);
    MnuNo->setObjectName(QStringLiteral("MnuNo"));
}

AgentForm::~AgentForm() = default;

void AgentForm::Form_Load()
{
    SpeechInputRequest = Request();
    QuitRequest = Request();
    JokeTicks = 0;
    SetAgent();
    m_app.jokes().LoadJokes(m_app.context().programDir + QStringLiteral("/JOKES.TXT"));
    // Runs even when jokes are off; the switch keeps jokes from being told.
    TimerJoke.start();
    // The hidden quick toolbar loads here.

    const SettingsStore &settings = m_app.settings();
    convertInto(settings.read(App, QStringLiteral("Run"), QStringLiteral("Number")), &RunNumber);
    incrementInt16(&RunNumber);
    settings.write(App, QStringLiteral("Run"), QStringLiteral("Number"), QString::number(RunNumber));

    m_app.movement().LoadRestPosition(settings);
}

void AgentForm::SetAgent()
{
    character::CharacterService &service = m_app.characterService();
    if (service.load(CharacterId))
        Agent = service.character(CharacterId);
    Agent.setLanguageID(1033);
    Agent.setBalloonStyle(Agent.BalloonStyle() & ~character::Character::BalloonOn);
    SetCommands();
    if (character::Commands *commands = Agent.commands()) {
        commands->setCaption(QStringLiteral("Kestrova"));
        commands->setVoice(QStringLiteral("Kestrova"));
    }
}

void AgentForm::StartAgent()
{
    m_app.movement().MoveToRest(Agent);
    Agent.Show();

    if (m_app.settings().read(App, QStringLiteral("Run"), QStringLiteral("Number")) == u"1") {
        Agent.Play(QStringLiteral("Greet"));
        Agent.Speak(QStringLiteral("Hi! my name is ") + Agent.Name()
                    + QStringLiteral(" I can help you get started if you would like me to"));
        TourRequest = Agent.Speak(QStringLiteral("Would you like to tour the programme?"));
        return;
    }

    const QString name = Agent.Name();
    if (name == u"Genie") {
        Agent.Play(QStringLiteral("Greet"));
        Agent.Speak(QStringLiteral("Hello master, how may I serve you today?"));
        Agent.Play(QStringLiteral("RestPose"));
    } else if (name == u"Merlin") {
        Agent.Play(QStringLiteral("Surprised"));
        Agent.Speak(QStringLiteral("How did you get here?|Where am I now?"));
        Agent.Play(QStringLiteral("RestPose"));
    } else if (name == u"Robby") {
        Agent.Play(QStringLiteral("Wave"));
        Agent.Speak(QStringLiteral("Hi! ") + userName());
        Agent.Play(QStringLiteral("RestPose"));
    } else if (name == u"Peedy") {
        Agent.Play(QStringLiteral("Wave"));
        Agent.Speak(QStringLiteral("Hi ") + userName() + QStringLiteral(", what are we going to do today?"));
        Agent.Play(QStringLiteral("RestPose"));
    } else {
        const Clock &clock = *m_app.context().platform.clock;
        Agent.Speak(QStringLiteral("Good ") + DateFunctions::GetPartOfDay(clock) + u' ' + userName());
        Agent.Play(QStringLiteral("RestPose"));
        Agent.Speak(QStringLiteral("The time is ") + DateFunctions::GetSpokenTime(clock)
                    + QStringLiteral(" on ") + DateFunctions::GetDayName(clock) + u' '
                    + DateFunctions::GetSpokenDate(clock));
        Agent.Play(QStringLiteral("RestPose"));
    }
}

void AgentForm::AgentQuit()
{
    if (!Agent.isLoaded()) {
        // No character: no farewell can complete and end the program, so it
        // ends here, unless it is already ending.
        if (!m_unloading)
            UnloadForms();
        return;
    }
    Agent.StopAll();
    const QString name = Agent.Name();
    if (name == u"Genie") {
        Agent.Play(QStringLiteral("Sad"));
        Agent.Speak(QStringLiteral("Goodbye master."));
    } else if (name == u"Merlin") {
        Agent.Play(QStringLiteral("LookDown"));
        Agent.Speak(QStringLiteral("Are we finished already?"));
    } else if (name == u"Robby") {
        Agent.Play(QStringLiteral("Sad"));
        Agent.Speak(QStringLiteral("Goodbye ") + userName());
    } else if (name == u"Peedy") {
        Agent.Play(QStringLiteral("Sad"));
        Agent.Speak(QStringLiteral("OK, bye ") + userName());
    } else {
        Agent.Speak(QStringLiteral("Goodbye ") + userName());
    }
    QuitRequest = Agent.Hide();
}

void AgentForm::UnloadForms()
{
    m_unloading = true;
    // The word processor is released and the mail timer stops here.
    TimerJoke.stop();
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
        Agent.Speak(QStringLiteral("Better try that again."));
    } else if (request == QuitRequest) {
        m_app.characterService().unload(CharacterId);
        Agent = character::CharacterRef();
        UnloadForms();
    } else if (request == TourRequest) {
        const MousePointer &pointer = *m_app.context().platform.mousePointer;
        m_app.movement().GestureAtMouse(Agent, pointer);
        MnuTour->popup(pointer.position());
    }
}

void AgentForm::SetCommands()
{
    character::Commands *commands = Agent.commands();
    if (!commands)
        return;
    // The first office program and the favourite sites are the options
    // window's; until the user has named them they are empty, and the
    // service refuses a command without a name.
    const QString firstOffice;
    const QStringList sites;
    for (const CommandEntry &c : commandTable(firstOffice, sites)) {
        if (!commands->add(c.name, c.caption, c.voice, true, c.inMenu))
            continue;
        if (c.guarded) {
            character::Command *added = commands->item(c.name);
            added->confidenceText = GuardedConfidenceText;
            added->confidence = GuardedConfidence;
        }
    }
    commands->setVisible(true);
}

void AgentForm::AgentCtrl_Command(const character::UserInput &input)
{
    if (input.confidence <= GuardedConfidence) {
        AgentNotUnderstood();
        return;
    }
    const QString &name = input.name;
    if (name == u"General" || name == u"Accessories" || name == u"My Office" || name == u"Internet") {
        // The menus pop up at the mouse pointer once they are built.
    } else if (name == u"Help") {
        const QString help = m_app.context().programDir + QStringLiteral("/Kestrova_Help.chm");
        if (FileOperations::FileExists(help)) {
            m_app.context().platform.shell->open(help);
        } else {
            Agent.Play(QStringLiteral("Sad"));
            Agent.Speak(QStringLiteral("I could not find the help file. See the readme file for "
                                       "information on downloading the help file."));
        }
    } else if (name == u"Quit") {
        AgentQuit();
    } else if (name == u"MovetoMouse") {
        m_app.movement().MoveToMouse(Agent, *m_app.context().platform.mousePointer);
    } else if (name == u"aco") {
        // Registered so it can be said; it does nothing.
    }
    // The other commands reach their windows and programs as those are built.
}

void AgentForm::AgentNotUnderstood()
{
    Agent.Listen(false);
    switch (RetryCount) {
    case 0:
        RetryCount = 1;
        Agent.Play(QStringLiteral("DontRecognize"));
        SpeechInputRequest = Agent.Speak(QStringLiteral("Huh?|What?|Say Again?"));
        break;
    case 1:
        RetryCount = 2;
        Agent.Play(QStringLiteral("Decline"));
        SpeechInputRequest = Agent.Speak(QStringLiteral("Can you say that again?|What was that?|once more please."));
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
    if (button == character::LeftButton)
        Agent.StopAll();
    else
        Agent.Play(QStringLiteral("Alert"));
}

void AgentForm::AgentCtrl_DblClick(const QString &, int button, int, int, int)
{
    if (button == character::LeftButton)
        Agent.Listen(true);
}

void AgentForm::MnuYes_Click()
{
    // The tour window opens here once it is built.
}

void AgentForm::MnuNo_Click()
{
    Agent.Play(QStringLiteral("Sad"));
    Agent.Speak(QStringLiteral("You can see the tour anytime by selecting tour from my general menu."));
}

void AgentForm::TimerJoke_Timer()
{
    Jokes &jokes = m_app.jokes();
    if (JokeTicks == 4 && jokes.JokesStatus) {
        jokes.TellJoke(Agent, *m_app.context().platform.random);
        JokeTicks = 0;
    } else if (JokeTicks < 4) {
        ++JokeTicks;
    }
    // At 4 with jokes off the count waits there, so the next tick after
    // jokes are switched on tells one.
}

QString AgentForm::userName() const
{
    return QString();
}

} // namespace kestrova
