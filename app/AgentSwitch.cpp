// The host window's switch of the character while the program runs: the
// chooser's "switch now". Kept apart from the start-up and the quit, which
// it uses but does not change.

#include "AgentForm.h"

#include "Application.h"
#include "Character.h"
#include "UserModel.h"

namespace kestrova {

using character::Request;

namespace {
// The ID the host window loads its character under.
const QString CharacterId = QStringLiteral("default");
} // namespace

void AgentForm::SwitchAgent(const QString &name)
{
    // The farewell of the quit is under way: the program ends with the
    // character it has.
    if (ending())
        return;
    character::CharacterService &service = m_app.characterService();
    QString why;
    if (!service.prepareSwitch(name, &why)) {
        // A switch already under way goes on with what it prepared; else
        // the running character stays, shown.
        if (!switching())
            AgentVisible();
        const QString stays = switching() ? QString() : Agent.Name();
        TellRefusal(stays.isEmpty() ? why : why + u' ' + tr("%1 stays.").arg(stays));
        return;
    }
    // A second choice during the farewell: the farewell under way ends in
    // the character just prepared.
    if (switching())
        return;
    if (!Agent.isLoaded()) {
        // Nobody to say goodbye (no character could be loaded at start).
        TakeSwitchedAgent();
        return;
    }
    // The requests the host keeps are the old character's: a tour offer or
    // a repeat prompt cut short below must not pop up the tour menu or ask
    // again.
    TourRequest = Request();
    SpeechInputRequest = Request();
    Agent.StopAll();
    Farewell();
    SwitchRequest = Agent.Hide();
}

void AgentForm::TakeSwitchedAgent()
{
    SwitchRequest = Request();
    // What was asked of the old character after its hide ends now, each
    // request reported as it is dropped, before the character goes.
    Agent.StopAll();
    character::CharacterService &service = m_app.characterService();
    if (!service.commitSwitch(CharacterId)) {
        AgentVisible();
        return;
    }
    Agent = service.character(CharacterId);
    SetUpAgent();
    // The options window's "Current Agent is:" follows.
    if (Agent.isLoaded())
        m_app.model().setCharacterName(Agent.Name());
    // As at start-up: to the rest position while hidden, then shown with
    // the greeting (never the first run's introduction again).
    m_app.movement().MoveToRest(Agent);
    Agent.Show();
    Greet();
}

void AgentForm::CancelSwitch()
{
    if (!switching())
        return;
    SwitchRequest = Request();
    m_app.characterService().cancelSwitch();
}

} // namespace kestrova
