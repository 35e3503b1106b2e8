#include "Application.h"

#include "HelpBook.h"
#include "Notifier.h"

#include "AgentForm.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmUser.h"
#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmOpen.h"
#include "FrmQuick.h"
#include "FrmSearch.h"
#include "FrmTour.h"
#include "frmAbout.h"
#include "frmTip.h"

#include "LaunchActions.h"
#include "SettingsActions.h"
#include "ToolsActions.h"
#include "UserFiles.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QScreen>

#include <QStandardPaths>

#include <utility>

namespace kestrova {

Application::Application(const AppContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    if (m_context.userDataDir.isEmpty())
        m_context.userDataDir = UserFiles::defaultDataDir();
    m_model = std::make_unique<UserModel>(*m_context.settings, UserFiles(m_context.programDir, m_context.userDataDir));
    m_jokeWatch = std::make_unique<JokeWatch>(*m_model, m_jokes, *m_context.platform.random, m_sink);
    // The joke timer follows the user's switch while the host window is
    // there; a switch once it is gone (at the end) starts nothing.
    connect(m_model.get(), &UserModel::jokesSwitched, this, [this](bool on) {
        if (!m_agent)
            return;
        if (on)
            m_jokeWatch->start();
        else
            m_jokeWatch->stop();
    });
    // Each module registers the actions it owns, once.
    registerSettingsActions(m_actions, *this);
    registerLaunchActions(m_actions, *this);
    registerToolsActions(m_actions, *this);
    m_actions.add(drastic({"Quit", QT_TRANSLATE_NOOP("kestrova::Actions", "Quit"), "quit[program|application]", true, true, [this] { AgentQuit(); }}));
    m_actions.add({"MovetoMouse", QT_TRANSLATE_NOOP("kestrova::Actions", "MovetoMouse"), "(move to|go to|follow)mouse[pointer|cursor]", false, true, [this] {
                       m_movement.MoveToMouse(agent(), *m_context.platform.mousePointer);
                   }});
    connect(&m_forms, &Forms::lastUnloaded, this, &Application::finished);
    // Timed mail checks go on for the whole run, whether the options window
    // is open or not; neither a tick nor a due check makes a window.
    m_mailWatch.timedCheck = [this] { m_mailChecker.check(false); };
    // Every window the program shows, its own and the message boxes and
    // file dialogs too, appears on the character's screen.
    m_screenFollower = new ScreenFollower([this]() -> std::optional<QPoint> { return characterPoint(); }, this);
    m_screenFollower->setCharacterArea([this] { return characterArea(); });
    m_screenFollower->setStepAside([this](QWidget *window, QPoint to) { stepAside(window, to); },
                                   [this](QWidget *window) { stepBack(window); });
    qApp->installEventFilter(m_screenFollower);
    // F1 in any window opens its help page.
    qApp->installEventFilter(new HelpBook::HelpKey(*this, this));
}

namespace {

// The character's own window, while it is shown on the desktop.
const QWidget *shownCharacterWindow()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (const QWidget *w : windows)
        if (w->isVisible() && w->objectName() == u"kestrovaCharacter")
            return w;
    return nullptr;
}

} // namespace

std::optional<QPoint> Application::characterPoint()
{
    // The character's own window where there is one on the desktop, else
    // the character's place as it reports it.
    if (const QWidget *character = shownCharacterWindow())
        return character->frameGeometry().center();
    if (!m_agent || !agent().isLoaded())
        return std::nullopt;
    // Not shown (yet, at start-up, or hidden): it comes back at its rest
    // position, which its move there may not have reached yet.
    if (!agent().Visible())
        return QPoint(m_movement.RestX + 64, m_movement.RestY + 64);
    return QPoint(agent().Left() + 64, agent().Top() + 64);
}

std::optional<QRect> Application::characterArea()
{
    if (const QWidget *character = shownCharacterWindow())
        return character->frameGeometry();
    // Not on the desktop yet (or hidden): where it will stand.
    const std::optional<QPoint> at = characterPoint();
    if (!at)
        return std::nullopt;
    return QRect(*at - QPoint(64, 64), QSize(128, 128));
}

Application::~Application()
{
    m_forms.disconnect(this);
    // The windows closing now send the character nowhere.
    m_screenFollower->setStepAside({}, {});
    // From the last made to the first; the host window holds the character.
    delete m_frmAbout.data();
    delete m_frmTour.data();
    delete m_frmOpen.data();
    delete m_frmSearch.data();
    delete m_frmAlarm.data();
    delete m_frmCalender.data();
    delete m_frmTip.data();
    delete m_frmQuick.data();
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
    // The alarm set in an earlier run, then watched to the end of this one.
    const UserModel::Alarm kept = m_model->loadAlarm();
    m_alarm.AlarmSay = kept.say;
    m_alarm.AlarmEvent = kept.event;
    m_alarm.AlarmSilent = kept.silent;
    if (kept.time)
        m_alarm.restore(*kept.time);
    m_alarm.watch();
    // The tip of the day; however it ends, the quick toolbar is shown. With
    // tips switched off it closes at once, never seen.
    frmTip *tip = tipWindow();
    if (tip->closesAtOnce())
        tip->close();
    else
        tip->show();
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

bool Application::showForAnotherStart()
{
    // Not agentForm(): asking must never load the host window anew.
    if (!m_agent || m_agent->ending())
        return false;
    m_agent->AgentVisible();
    return true;
}

void AgentSink::show()
{
    m_app.AgentVisible();
}

void AgentSink::play(const QString &animation)
{
    m_app.agent().Play(animation);
}

void AgentSink::say(const QString &text)
{
    m_app.agent().Speak(text);
}

void AgentSink::think(const QString &text)
{
    m_app.agent().Think(text);
}

bool AgentSink::shown() const
{
    // Asking must not load the host window.
    return m_app.agentLoaded() && m_app.agent().Visible();
}

void AgentSink::notify(const QString &summary, const QString &body)
{
    if (Notifier *notifier = m_app.context().platform.notifier)
        notifier->notify(summary, body);
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
        // The user's things, read as the options window's load reads them
        // (the command table names the stored lists), and the mail timer
        // switched from the stored interval; no window is made for it.
        m_model->loadAll();
        m_mailWatch.loadInterval(m_model->storedMailInterval());
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
    WindowPlacement::floatsOnTilingDesktop(window, QProcessEnvironment::systemEnvironment());
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

FrmQuick *Application::frmQuick()
{
    return onFirstUse(m_frmQuick, [](FrmQuick *w) { w->Form_Load(); });
}

frmTip *Application::tipWindow()
{
    return onFirstUse(m_frmTip, [](frmTip *w) { w->Form_Load(); });
}

FrmCalender *Application::frmCalender()
{
    return onFirstUse(m_frmCalender, [](FrmCalender *w) { w->Form_Load(); });
}

FrmAlarm *Application::frmAlarm()
{
    return onFirstUse(m_frmAlarm, [](FrmAlarm *) {});
}

FrmSearch *Application::frmSearch()
{
    return onFirstUse(m_frmSearch, [](FrmSearch *w) { w->Form_Load(); });
}

FrmOpen *Application::frmOpen()
{
    return onFirstUse(m_frmOpen, [](FrmOpen *) {});
}

FrmTour *Application::frmTour()
{
    // Shown before its load, so the character is placed beside the window
    // where it really is.
    return onFirstUse(m_frmTour, [](FrmTour *w) {
        w->show();
        w->Form_Load();
    });
}

frmAbout *Application::aboutBox()
{
    return onFirstUse(m_frmAbout, [](frmAbout *w) { w->Form_Load(); });
}

namespace {

// The character's frame is about this size on the desktop.
const QSize CharacterSize(128, 128);

// What the character takes on the desktop: its own window as shown (as big
// as the loaded character's frames, with the window manager's frame where
// it has one), else about CharacterSize.
QSize characterSizeOnDesktop()
{
    const QWidget *character = shownCharacterWindow();
    return character && !character->frameGeometry().isEmpty() ? character->frameGeometry().size() : CharacterSize;
}

QRect screenAreaOf(const QRect &windowFrame)
{
    const QScreen *screen = QGuiApplication::screenAt(windowFrame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

character::Request Application::MoveToTarget(const QRect &windowFrame)
{
    return m_movement.MoveToTarget(agent(), windowFrame, screenAreaOf(windowFrame), characterSizeOnDesktop(),
                                   ScreenFollower::partsOfOpenWindows());
}

std::optional<QPoint> Application::targetBeside(const QRect &windowFrame) const
{
    return Movement::besideWindow(windowFrame, screenAreaOf(windowFrame), characterSizeOnDesktop(),
                                  ScreenFollower::partsOfOpenWindows());
}

void Application::stepAside(QWidget *window, QPoint to)
{
    // Only a character on the desktop steps aside. Idle, it walks there;
    // busy (saying something, say), it is put there at once and goes on
    // with what it was doing: the window the user opened is wanted now,
    // not after the sentence.
    if (!m_agent || !agent().isLoaded() || !agent().Visible())
        return;
    QPoint from(agent().Left(), agent().Top());
    // Aside already (or on its way) for another window and not moved
    // since: it goes back to where it stood first.
    if (m_aside && (!m_aside->arrived || from == m_aside->to))
        from = m_aside->from;
    disconnect(m_asideArrival);
    // A walk aside still waiting in the queue would take it off the new place.
    if (m_aside && !m_aside->arrived)
        agent().StopRequests({m_aside->move});
    if (agent().Busy()) {
        agent().PlaceAt(to.x(), to.y());
        m_aside = Aside{window, from, to, character::Request(), true};
        return;
    }
    const character::Request move = agent().MoveTo(to.x(), to.y());
    m_aside = Aside{window, from, to, move, false};
    m_asideArrival = connect(agent().get(), &character::Character::requestComplete, this,
                             [this, move](character::Request done) {
                                 if (m_aside && m_aside->move == done)
                                     m_aside->arrived = true;
                             });
}

void Application::stepBack(QWidget *window)
{
    if (!m_aside || m_aside->window != window)
        return;
    const Aside aside = *std::exchange(m_aside, std::nullopt);
    disconnect(m_asideArrival);
    if (!m_agent || !agent().isLoaded())
        return;
    if (!aside.arrived) {
        // Closed before the character got there: it does not go on.
        agent().StopRequests({aside.move});
    } else if (QPoint(agent().Left(), agent().Top()) != aside.to) {
        // The user (or a command) has moved it since: it stays there.
        return;
    }
    if (agent().Busy())
        agent().PlaceAt(aside.from.x(), aside.from.y());
    else
        agent().MoveTo(aside.from.x(), aside.from.y());
}

void Application::MoveToRest()
{
    m_movement.MoveToRest(agent());
}

} // namespace kestrova
