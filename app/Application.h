#pragma once

#include "Forms.h"
#include "Host.h"
#include "Jokes.h"
#include "Movement.h"
#include "PlatformServices.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace kestrova {

class AgentForm;

// The program: its windows, created on first use, and the modules that
// outlive them. One per run.
class Application : public QObject, public Host {
    Q_OBJECT
public:
    explicit Application(const AppContext &context, QObject *parent = nullptr);
    ~Application() override;

    const AppContext &context() const override { return m_context; }
    SettingsStore &settings() const { return *m_context.settings; }
    character::CharacterService &characterService() const { return *m_context.characterService; }
    Forms &forms() override { return m_forms; }
    character::CharacterRef &agent() override;
    void AgentQuit() override;
    void AgentVisible() override;
    Movement &movement() { return m_movement; }
    Jokes &jokes() { return m_jokes; }

    // The start-up procedure: load the host window, greet, go on with the
    // tip of the day.
    void Main();

    // The hidden host window, loaded on first use.
    AgentForm *agentForm();
    bool agentLoaded() const { return !m_agent.isNull(); }

Q_SIGNALS:
    // Every window has been unloaded: the program ends.
    void finished();

private:
    AppContext m_context;
    Forms m_forms;
    Movement m_movement;
    Jokes m_jokes;
    QPointer<AgentForm> m_agent;
};

} // namespace kestrova
