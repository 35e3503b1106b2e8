#include "AgentForm.h"

#include "Application.h"
#include "Character.h"
#include "DateFunctions.h"
#include "IntegerText.h"
#include "SettingsStore.h"

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
    connect(&m_app.characterService(), &character::CharacterService::requestComplete, this,
            &AgentForm::AgentCtrl_RequestComplete);
}

AgentForm::~AgentForm() = default;

void AgentForm::Form_Load()
{
    SpeechInputRequest = Request();
    QuitRequest = Request();
    JokeTicks = 0;
    SetAgent();
    // The jokes file, the joke timer and the hidden quick toolbar load here.

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
    // The command table is registered here.
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
    // The word processor is released and the mail and joke timers stop here.
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
        m_app.movement().GestureAtMouse(Agent, *m_app.context().platform.mousePointer);
        // The tour menu pops up here.
    }
}

QString AgentForm::userName() const
{
    return QString();
}

} // namespace kestrova
