#include "AgentForm.h"

#include "Application.h"
#include "Character.h"
#include "CommandTable.h"
#include "DateFunctions.h"
#include "Execute.h"
#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmMain.h"
#include "FrmOpen.h"
#include "FrmSearch.h"
#include "SpeechText.h"
#include "FrmTour.h"
#include "FrmMenus.h"
#include "HelpBook.h"
#include "IntegerText.h"
#include "MousePointer.h"
#include "Random.h"
#include "SettingsStore.h"
#include "WordControls.h"
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>

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
    // The quick toolbar loads hidden; its load fills the user's menus.
    m_app.frmQuick();

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
    if (const QString refusal = service.refusal(); !refusal.isEmpty())
        TellRefusal(refusal);
    Agent.setLanguageID(1033);
    Agent.setBalloonStyle(Agent.BalloonStyle() & ~character::Character::BalloonOn);
    SetCommands();
    if (character::Commands *commands = Agent.commands()) {
        commands->setCaption(QStringLiteral("Kestrova"));
        commands->setVoice(QStringLiteral("Kestrova"));
    }
}

void AgentForm::TellRefusal(const QString &text)
{
    // Not modal: the greeting goes on beside it, and the box stays until
    // the user has read it.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Kestrova"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("CharacterRefused"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
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
    // A mail check still running ends now, not after the farewell.
    m_app.mailWatch().stopForQuit();
    if (!Agent.isLoaded()) {
        // No character: no farewell can complete and end the program, so it
        // ends here, unless it is already ending.
        if (!m_unloading)
            UnloadForms();
        return;
    }
    // The program is ending: a tour offer or a repeat prompt cut short by
    // the StopAll below must not pop up the tour menu or ask again.
    TourRequest = Request();
    SpeechInputRequest = Request();
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
    m_app.wordControls().release();
    m_app.mailWatch().TmrMail.stop();
    TimerJoke.stop();
    // A ring after this would ask for the host window again and load it
    // anew, character and run count included.
    m_app.alarm().Timer1.stop();
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
    // The first office program and the favourite sites are named by the
    // options window's boxes, read when their turn comes: the first read
    // loads that window, whose load switches the accessory commands just
    // registered. The service refuses a command without a name.
    const QList<CommandEntry> table = commandTable(QString(), QStringList());
    for (int i = 0; i < table.size(); ++i) {
        CommandEntry c = table.at(i);
        if (i == FirstOfficeCommand)
            c = namedCommand(m_app.frmMain()->TxtOfficeName[0]->text());
        else if (i >= FirstSiteCommand && i < FirstSiteCommand + 10)
            c = namedCommand(m_app.frmMain()->TxtSiteName[i - FirstSiteCommand]->text());
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
    if (name == u"General") {
        m_app.frmMenus()->PopupMenu(m_app.frmMenus()->MnuGeneral);
    } else if (name == u"Accessories") {
        m_app.frmMenus()->PopupMenu(m_app.frmMenus()->MnuAccessories);
    } else if (name == u"My Office") {
        m_app.frmMenus()->PopupMenu(m_app.frmMenus()->MnuMyOffice);
    } else if (name == u"Internet") {
        m_app.frmMenus()->PopupMenu(m_app.frmMenus()->MnuWeb);
    } else if (name == u"Help") {
        HelpBook::Open(m_app);
    } else if (name == u"Quit") {
        AgentQuit();
    } else if (name == u"MovetoMouse") {
        m_app.movement().MoveToMouse(Agent, *m_app.context().platform.mousePointer);
    } else if (name == u"aco") {
        // Registered so it can be said; it does nothing.
    } else if (name == u"ChangeAgent") {
        m_app.frmMenus()->MnuChangeAgent_Click();
    } else if (name == u"ChangeUser") {
        m_app.frmMenus()->MnuChangeUser_Click();
    } else if (name == u"About") {
        m_app.frmMenus()->MnuAbout_Click();
    } else if (name == u"Options") {
        m_app.frmMenus()->MnuOptions_Click();
    } else if (name == u"Alarm") {
        m_app.frmAlarm()->show();
    } else if (name == u"Open File") {
        m_app.frmOpen()->show();
    } else if (name == u"Calender") {
        m_app.frmCalender()->show();
    } else if (name == u"Calculator") {
        m_app.frmMenus()->MnuCalc_Click();
    } else if (name == u"CD Player") {
        m_app.frmMenus()->MnuCDPlayer_Click();
    } else if (name == u"Notepad") {
        m_app.frmMenus()->MnuNotepad_Click();
    } else if (name == u"Wordpad") {
        m_app.frmMenus()->MnuWordpad_Click();
    } else if (name == u"Word") {
        m_app.wordControls().OpenWord();
    } else if (name == u"New Document") {
        m_app.wordControls().NewDocument();
    } else if (name == u"Read Selection") {
        m_app.wordControls().ReadSelection();
    } else if (name == u"Search the Internet") {
        m_app.frmSearch()->show();
    } else if (name == u"Check Mail") {
        m_app.frmMain()->CmdCheck_Click();
    } else if (name == u"NewMail") {
        m_app.frmMenus()->MnuEMail_Click();
    } else {
        // The user's own names, read from the options window now: a site
        // first, then an office program. No command is without a name, so
        // an empty name matches no empty slot.
        if (name.isEmpty())
            return;
        FrmMain *options = m_app.frmMain();
        for (int k = 0; k < 10; ++k) {
            if (name == options->TxtSiteName[k]->text()) {
                Execute::ShellOpen(m_app, options->TxtSiteURL[k]->text());
                return;
            }
        }
        for (int k = 0; k < 10; ++k) {
            if (name == options->TxtOfficeName[k]->text()) {
                Execute::ShellOpen(m_app, options->TxtOfficeCmd[k]->text());
                return;
            }
        }
    }
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
    m_app.frmTour()->show();
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
        // The lead-in is whatever the options window's box holds now.
        jokes.JokeSay = m_app.frmMain()->TxtJokeSay->text();
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
    return character::outsideText(m_app.frmMain()->LblUser->text());
}

} // namespace kestrova
