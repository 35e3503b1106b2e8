#include "Application.h"

#include "AgentForm.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmUser.h"

#include <QStandardPaths>

namespace kestrova {

Application::Application(const AppContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    if (m_context.userDataDir.isEmpty())
        m_context.userDataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    connect(&m_forms, &Forms::lastUnloaded, this, &Application::finished);
}

Application::~Application()
{
    m_forms.disconnect(this);
    // From the last made to the first; the host window holds the character.
    delete m_frmUser.data();
    delete m_frmMain.data();
    delete m_frmMenus.data();
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

void Application::setJokeTimerEnabled(bool on)
{
    if (on)
        agentForm()->TimerJoke.start();
    else
        agentForm()->TimerJoke.stop();
}

void Application::setRestPosition(qint16 x, qint16 y)
{
    m_movement.RestX = x;
    m_movement.RestY = y;
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

template <class W, class LoadFn>
W *Application::onFirstUse(QPointer<W> &slot, LoadFn load)
{
    if (slot && (m_forms.isLoaded(slot) || m_loading.contains(slot)))
        return slot;
    // An unloaded window may still wait for its deletion; it is not used
    // again.
    slot = new W(*this);
    W *window = slot;
    m_loading.insert(window);
    load(window);
    m_loading.remove(window);
    m_forms.loaded(window);
    return window;
}

FrmMain *Application::frmMain()
{
    return onFirstUse(m_frmMain, [](FrmMain *w) { w->Form_Load(); });
}

bool Application::frmMainLoaded() const
{
    return m_frmMain && m_forms.isLoaded(m_frmMain);
}

FrmMenus *Application::frmMenus()
{
    return onFirstUse(m_frmMenus, [](FrmMenus *) {});
}

FrmUser *Application::frmUser()
{
    return onFirstUse(m_frmUser, [](FrmUser *) {});
}

} // namespace kestrova
