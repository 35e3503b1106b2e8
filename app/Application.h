#pragma once

#include "Forms.h"
#include "Jokes.h"
#include "Movement.h"
#include "PlatformServices.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace kestrova {

class SettingsStore;
class AgentForm;
namespace character { class CharacterService; }

// What the program is handed from outside: where it lives, where its
// settings are, the platform services and the character service. Not owned.
struct AppContext {
    QString programDir;
    SettingsStore *settings = nullptr;
    PlatformServices platform;
    character::CharacterService *characterService = nullptr;
};

// The program: its windows, created on first use, and the modules that
// outlive them. One per run.
class Application : public QObject {
    Q_OBJECT
public:
    explicit Application(const AppContext &context, QObject *parent = nullptr);
    ~Application() override;

    const AppContext &context() const { return m_context; }
    SettingsStore &settings() const { return *m_context.settings; }
    character::CharacterService &characterService() const { return *m_context.characterService; }
    Forms &forms() { return m_forms; }
    Movement &movement() { return m_movement; }
    Jokes &jokes() { return m_jokes; }

    // The start-up procedure: load the host window, greet, go on with the
    // tip of the day.
    void Main();

    // The hidden host window, loaded on first use.
    AgentForm *agent();
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
