#pragma once

#include "Actions.h"
#include "AgentForm.h"
#include "Forms.h"
#include "Host.h"
#include "CharacterSink.h"
#include "JokeWatch.h"
#include "Jokes.h"
#include "MailChecker.h"
#include "MailWatch.h"
#include "Movement.h"
#include "AlarmWatch.h"
#include "PlatformServices.h"
#include "UserModel.h"
#include "WordControls.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace kestrova {

class FrmMain;
class FrmMenus;
class FrmUser;
class frmTip;
class Application;

// The character as the watches see it: the host window's character, as it
// stands at each request.
class AgentSink final : public CharacterSink {
public:
    explicit AgentSink(Application &app) : m_app(app) {}
    void show() override;
    void play(const QString &animation) override;
    void say(const QString &text) override;
    void think(const QString &text) override;
    bool shown() const override;
    void notify(const QString &summary, const QString &body) override;

private:
    Application &m_app;
};

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
    // Another start of the program asked for it: the character is shown
    // again. False while the program is ending (or before it has started).
    bool showForAnotherStart();
    UserModel &model() override { return *m_model; }
    ActionRegistry &actions() override { return m_actions; }
    void setRestPosition(qint16 x, qint16 y) override;
    Movement &movement() { return m_movement; }
    Jokes &jokes() { return m_jokes; }
    // The joke watch, kept for the whole run; its timer ticks from the host
    // window's load to its unload.
    JokeWatch &jokeWatch() { return *m_jokeWatch; }
    CharacterSink &sink() override { return m_sink; }

    // The start-up procedure: load the host window, greet, go on with the
    // tip of the day.
    void Main();

    // The hidden host window, loaded on first use.
    AgentForm *agentForm();
    bool agentLoaded() const { return !m_agent.isNull(); }

    FrmMain *frmMain() override;
    FrmMenus *frmMenus() override;
    FrmUser *frmUser() override;
    FrmQuick *frmQuick() override;
    FrmCalender *frmCalender() override;
    FrmAlarm *frmAlarm() override;
    FrmSearch *frmSearch() override;
    FrmOpen *frmOpen() override;
    FrmTour *frmTour() override;
    frmAbout *aboutBox() override;
    // The tip of the day, shown once by Main.
    frmTip *tipWindow();
    AlarmWatch &alarm() override { return m_alarm; }
    WordControls &wordControls() override { return m_wordControls; }
    character::Request MoveToTarget(const QRect &windowFrame) override;
    std::optional<QPoint> targetBeside(const QRect &windowFrame) const override;
    void MoveToRest() override;
    MailWatch &mailWatch() override { return m_mailWatch; }
    MailChecker &mailChecker() override { return m_mailChecker; }
    // Whether the window is loaded now (asking does not load it).
    bool frmMainLoaded() const;
    // A point of the character on the desktop, or nothing while it is not
    // shown: the screen windows appear on.
    std::optional<QPoint> characterPoint();
    // The character's rectangle on the desktop (where it will stand while
    // it is not shown yet), or nothing without a character.
    std::optional<QRect> characterArea();

Q_SIGNALS:
    // Every window has been unloaded: the program ends.
    void finished();

private:
    // Gives the window of the slot, creating it and running its load when
    // there is none or the one there has been unloaded.
    template <class W, class LoadFn>
    W *onFirstUse(QPointer<W> &slot, LoadFn load);

    AppContext m_context;
    std::unique_ptr<UserModel> m_model;
    ActionRegistry m_actions;
    Forms m_forms;
    Movement m_movement;
    Jokes m_jokes;
    AgentSink m_sink{*this};
    std::unique_ptr<JokeWatch> m_jokeWatch;
    MailWatch m_mailWatch{m_context.platform, m_sink,
                          m_context.mailTimers ? *m_context.mailTimers : Timers::system()};
    MailChecker m_mailChecker{*this, m_sink};
    QPointer<AgentForm> m_agent;
    QPointer<FrmMain> m_frmMain;
    QPointer<FrmMenus> m_frmMenus;
    QPointer<FrmUser> m_frmUser;
    QPointer<FrmQuick> m_frmQuick;
    QPointer<frmTip> m_frmTip;
    QPointer<FrmCalender> m_frmCalender;
    QPointer<FrmAlarm> m_frmAlarm;
    QPointer<FrmSearch> m_frmSearch;
    QPointer<FrmOpen> m_frmOpen;
    QPointer<FrmTour> m_frmTour;
    QPointer<frmAbout> m_frmAbout;
    AlarmWatch m_alarm{*m_context.platform.clock, m_sink};
    WordControls m_wordControls{*this};
    // Windows whose load is running: asking for one of them during its own
    // load gives it, not a second one.
    QSet<QWidget *> m_loading;
    class ScreenFollower *m_screenFollower = nullptr;
    // The character's step aside from under a window that had no clear
    // place: back where it came from when that window goes, unless the
    // character has been moved meanwhile.
    struct Aside {
        QPointer<QWidget> window;
        QPoint from;
        QPoint to;
        character::Request move;
        bool arrived = false;
    };
    std::optional<Aside> m_aside;
    QMetaObject::Connection m_asideArrival;
    void stepAside(QWidget *window, QPoint to);
    void stepBack(QWidget *window);
};

} // namespace kestrova
