#include "Application.h"

#include "AgentForm.h"

namespace kestrova {

Application::Application(const AppContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    connect(&m_forms, &Forms::lastUnloaded, this, &Application::finished);
}

Application::~Application()
{
    delete m_agent.data();
}

void Application::Main()
{
    // Loading the host window runs its whole load first.
    agentForm();
    agentForm()->StartAgent();
    // The tip of the day follows here, and the quick toolbar after it.
}

character::CharacterRef &Application::agent()
{
    return agentForm()->Agent;
}

void Application::AgentQuit()
{
    agentForm()->AgentQuit();
}

void Application::AgentVisible()
{
    agentForm()->AgentVisible();
}

AgentForm *Application::agentForm()
{
    if (!m_agent) {
        m_agent = new AgentForm(*this);
        m_forms.loaded(m_agent);
        m_agent->Form_Load();
    }
    return m_agent;
}

} // namespace kestrova
