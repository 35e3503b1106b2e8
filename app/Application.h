#pragma once

#include "AgentForm.h"
#include "Forms.h"
#include "Host.h"
#include "Jokes.h"
#include "Movement.h"
#include "PlatformServices.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

namespace kestrova {

class FrmMain;
class FrmMenus;
class FrmUser;

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
    void setJokeTimerEnabled(bool on) override;
    bool JokesStatus() const override { return m_jokes.JokesStatus; }
    void setJokesStatus(bool on) override { m_jokes.JokesStatus = on; }
    void setRestPosition(qint16 x, qint16 y) override;
    Movement &movement() { return m_movement; }
    Jokes &jokes() { return m_jokes; }

    // The start-up procedure: load the host window, greet, go on with the
    // tip of the day.
    void Main();

    // The hidden host window, loaded on first use.
    AgentForm *agentForm();
    bool agentLoaded() const { return !m_agent.isNull(); }

    FrmMain *frmMain() override;
    FrmMenus *frmMenus() override;
    FrmUser *frmUser() override;
    // Whether the window is loaded now (asking does not load it).
    bool frmMainLoaded() const;

Q_SIGNALS:
    // Every window has been unloaded: the program ends.
    void finished();

private:
    // Gives the window of the slot, creating it and running its load when
    // there is none or the one there has been unloaded.
    template <class W, class LoadFn>
    W *onFirstUse(QPointer<W> &slot, LoadFn load);

    AppContext m_context;
    Forms m_forms;
    Movement m_movement;
    Jokes m_jokes;
    QPointer<AgentForm> m_agent;
    QPointer<FrmMain> m_frmMain;
    QPointer<FrmMenus> m_frmMenus;
    QPointer<FrmUser> m_frmUser;
    // Windows whose load is running: asking for one of them during its own
    // load gives it, not a second one.
    QSet<QWidget *> m_loading;
};

} // namespace kestrova
