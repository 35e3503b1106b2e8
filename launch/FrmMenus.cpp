#include "FrmMenus.h"

#include "Addresses.h"
#include "Character.h"
#include "CharacterRef.h"
#include "Execute.h"
#include "FrmMain.h"
#include "FrmUser.h"
#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmOpen.h"
#include "FrmSearch.h"
#include "FrmTour.h"
#include "frmAbout.h"
#include "Host.h"
#include "MousePointer.h"
#include "WordControls.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QVersionNumber>

namespace kestrova {

namespace {

QAction *entry(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenu *submenu(QWidget *owner, QMenu *parent, const char *name, const QString &caption)
{
    QMenu *menu = parent ? parent->addMenu(caption) : new QMenu(caption, owner);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

} // namespace

FrmMenus::FrmMenus(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmMenus"));

    MnuGeneral = submenu(this, nullptr, "MnuGeneral", QStringLiteral("General"));
    MnuACo = entry(MnuGeneral, "MnuACo", QStringLiteral("A.&C.O"));
    MnuChangeAgent = entry(MnuGeneral, "MnuChangeAgent", QStringLiteral("Change &Agent"));
    MnuChangeUser = entry(MnuGeneral, "MnuChangeUser", QStringLiteral("Change &User"));
    MnuAbout = entry(MnuGeneral, "MnuAbout", QStringLiteral("A&bout"));
    MnuOptions = entry(MnuGeneral, "MnuOptions", QStringLiteral("&Options"));
    MnuTour = entry(MnuGeneral, "MnuTour", QStringLiteral("&Tour"));
    MnuVersion = entry(MnuGeneral, "MnuVersion", QStringLiteral("&Version"));
    connect(MnuACo, &QAction::triggered, this, &FrmMenus::MnuACo_Click);
    connect(MnuChangeAgent, &QAction::triggered, this, &FrmMenus::MnuChangeAgent_Click);
    connect(MnuChangeUser, &QAction::triggered, this, &FrmMenus::MnuChangeUser_Click);
    connect(MnuAbout, &QAction::triggered, this, &FrmMenus::MnuAbout_Click);
    connect(MnuTour, &QAction::triggered, this, &FrmMenus::MnuTour_Click);
    connect(MnuOptions, &QAction::triggered, this, &FrmMenus::MnuOptions_Click);
    connect(MnuVersion, &QAction::triggered, this, &FrmMenus::MnuVersion_Click);

    MnuAccessories = submenu(this, nullptr, "MnuAccessories", QStringLiteral("Accessories"));
    MnuAlarm = entry(MnuAccessories, "MnuAlarm", QStringLiteral("&Alarm"));
    MnuOpen = entry(MnuAccessories, "MnuOpen", QStringLiteral("&Open File"));
    MnuCalender = entry(MnuAccessories, "MnuCalender", QStringLiteral("Ca&lender"));
    MnuCalc = entry(MnuAccessories, "MnuCalc", QStringLiteral("Calc&ulator"));
    MnuCDPlayer = entry(MnuAccessories, "MnuCDPlayer", QStringLiteral("C&D Player"));
    MnuWordpad = entry(MnuAccessories, "MnuWordpad", QStringLiteral("&Wordpad"));
    MnuNotepad = entry(MnuAccessories, "MnuNotepad", QStringLiteral("&Notepad"));
    MnuAConfigure = entry(MnuAccessories, "MnuAConfigure", QStringLiteral("Con&figure"));
    connect(MnuAlarm, &QAction::triggered, this, &FrmMenus::MnuAlarm_Click);
    connect(MnuOpen, &QAction::triggered, this, &FrmMenus::MnuOpen_Click);
    connect(MnuCalender, &QAction::triggered, this, &FrmMenus::MnuCalender_Click);
    connect(MnuCalc, &QAction::triggered, this, &FrmMenus::MnuCalc_Click);
    connect(MnuCDPlayer, &QAction::triggered, this, &FrmMenus::MnuCDPlayer_Click);
    connect(MnuWordpad, &QAction::triggered, this, &FrmMenus::MnuWordpad_Click);
    connect(MnuNotepad, &QAction::triggered, this, &FrmMenus::MnuNotepad_Click);
    connect(MnuAConfigure, &QAction::triggered, this, &FrmMenus::MnuAConfigure_Click);

    MnuMyOffice = submenu(this, nullptr, "MnuMyOffice", QStringLiteral("My Office"));
    for (int k = 0; k < 10; ++k) {
        const QByteArray name = "MnuOffice" + QByteArray::number(k + 1);
        MnuOffice[k] = entry(MnuMyOffice, name.constData(), QStringLiteral("Office %1").arg(k + 1));
        MnuOffice[k]->setVisible(false);
        connect(MnuOffice[k], &QAction::triggered, this, [this, k] { MnuOffice_Click(k + 1); });
    }
    MnuOutlook = submenu(this, MnuMyOffice, "MnuOutlook", QStringLiteral("Out&look"));
    // The two entries of "Outlook" do nothing.
    MnuUnreadMail = entry(MnuOutlook, "MnuUnreadMail", QStringLiteral("&Unread mail"));
    MnuChkTasks = entry(MnuOutlook, "MnuChkTasks", QStringLiteral("Check &Tasks Due"));
    MnuWord = submenu(this, MnuMyOffice, "MnuWord", QStringLiteral("&Word"));
    MnuWordOpen = entry(MnuWord, "MnuWordOpen", QStringLiteral("&Open"));
    MnuNewDoc = entry(MnuWord, "MnuNewDoc", QStringLiteral("&New Document"));
    MnuReadSel = entry(MnuWord, "MnuReadSel", QStringLiteral("&Read Selection"));
    MnuOfficeConfigure = entry(MnuMyOffice, "MnuOfficeConfigure", QStringLiteral("Con&figure"));
    connect(MnuWordOpen, &QAction::triggered, this, &FrmMenus::MnuWordOpen_Click);
    connect(MnuNewDoc, &QAction::triggered, this, &FrmMenus::MnuNewDoc_Click);
    connect(MnuReadSel, &QAction::triggered, this, &FrmMenus::MnuReadSel_Click);
    connect(MnuOfficeConfigure, &QAction::triggered, this, &FrmMenus::MnuOfficeConfigure_Click);

    MnuWeb = submenu(this, nullptr, "MnuWeb", QStringLiteral("Internet"));
    MnuCheckMail = entry(MnuWeb, "MnuCheckMail", QStringLiteral("Check &Mail"));
    MnuEMail = entry(MnuWeb, "MnuEMail", QStringLiteral("New &E-Mail"));
    MnuSearch = entry(MnuWeb, "MnuSearch", QStringLiteral("&Search"));
    MnuFavourites = submenu(this, MnuWeb, "MnuFavourites", QStringLiteral("&Favourites"));
    MnuKestrova = entry(MnuFavourites, "MnuKestrova", QStringLiteral("&Kestrova"));
    for (int k = 0; k < 10; ++k) {
        const QByteArray name = "MnuCustom" + QByteArray::number(k + 1);
        MnuCustom[k] = entry(MnuFavourites, name.constData(), QStringLiteral("Custom %1").arg(k + 1));
        MnuCustom[k]->setVisible(false);
        connect(MnuCustom[k], &QAction::triggered, this, [this, k] { MnuCustom_Click(k + 1); });
    }
    MnuConfigureFav = entry(MnuFavourites, "MnuConfigureFav", QStringLiteral("&Configure Menu"));
    connect(MnuCheckMail, &QAction::triggered, this, &FrmMenus::MnuCheckMail_Click);
    connect(MnuEMail, &QAction::triggered, this, &FrmMenus::MnuEMail_Click);
    connect(MnuSearch, &QAction::triggered, this, &FrmMenus::MnuSearch_Click);
    connect(MnuKestrova, &QAction::triggered, this, &FrmMenus::MnuKestrova_Click);
    connect(MnuConfigureFav, &QAction::triggered, this, &FrmMenus::MnuConfigureFav_Click);
}

FrmMenus::~FrmMenus()
{
    // The top-level menus have this window as parent and go with it.
}

void FrmMenus::PopupMenu(QMenu *menu)
{
    if (menu)
        menu->popup(m_host.context().platform.mousePointer->position());
}

void FrmMenus::MnuACo_Click()
{
    if (character::CharacterService *service = m_host.context().characterService)
        service->showPropertySheet();
}

void FrmMenus::MnuChangeAgent_Click()
{
    if (character::CharacterService *service = m_host.context().characterService)
        service->showDefaultCharacterProperties();
    // Without a character the label keeps what it shows.
    if (m_host.agent().isLoaded())
        m_host.frmMain()->LblCurrent[1]->setText(m_host.agent().Name());
}

void FrmMenus::MnuChangeUser_Click()
{
    m_host.frmUser()->show();
}

void FrmMenus::MnuAbout_Click()
{
    m_host.aboutBox()->show();
}

void FrmMenus::MnuTour_Click()
{
    m_host.frmTour()->show();
}

void FrmMenus::MnuAlarm_Click()
{
    m_host.frmAlarm()->show();
}

void FrmMenus::MnuOpen_Click()
{
    m_host.frmOpen()->show();
}

void FrmMenus::MnuCalender_Click()
{
    m_host.frmCalender()->show();
}

void FrmMenus::MnuSearch_Click()
{
    m_host.frmSearch()->show();
}

void FrmMenus::MnuOptions_Click()
{
    FrmMain *options = m_host.frmMain();
    options->show();
    options->raise();
}

QString FrmMenus::versionSentence(int major, int minor, int revision)
{
    const QString point = QStringLiteral("\\Map=\"point\"=\".\"\\");
    return QStringLiteral("This is version ") + QString::number(major) + point + QString::number(minor)
           + point + QString::number(revision) + QStringLiteral(" of Kestrova.");
}

void FrmMenus::MnuVersion_Click()
{
    const QVersionNumber version = QVersionNumber::fromString(QStringLiteral(KESTROVA_VERSION));
    m_host.agent().Speak(versionSentence(version.majorVersion(), version.minorVersion(),
                                         version.microVersion()));
}

void FrmMenus::StartAccessory(Accessory accessory)
{
    const QString target = accessoryTarget(accessory, *m_host.context().settings,
                                           installedApplicationDirs());
    if (target.isEmpty())
        Execute::ReportFailedLaunch(m_host, QStringLiteral("accessory ") + accessoryKey(accessory));
    else
        Execute::ShellOpen(m_host, target);
}

void FrmMenus::MnuCalc_Click()
{
    m_host.agent().Speak(QStringLiteral("Let's get that math done."));
    m_host.agent().Play(QStringLiteral("Process"));
    StartAccessory(Accessory::Calculator);
}

void FrmMenus::MnuCDPlayer_Click()
{
    m_host.agent().Speak(QStringLiteral("How about some music?"));
    StartAccessory(Accessory::CDPlayer);
}

void FrmMenus::MnuWordpad_Click()
{
    m_host.agent().Play(QStringLiteral("Write"));
    m_host.agent().Speak(QStringLiteral("How about a short story today?|A poem would be nice, don't you "
                                        "think?|What are we writing today?"));
    m_host.agent().Play(QStringLiteral("ReadReturn"));
    StartAccessory(Accessory::Wordpad);
}

void FrmMenus::MnuNotepad_Click()
{
    m_host.agent().Play(QStringLiteral("Write"));
    m_host.agent().Speak(QStringLiteral("Ready to write some notes?"));
    m_host.agent().Play(QStringLiteral("ReadReturn"));
    StartAccessory(Accessory::Notepad);
}

void FrmMenus::OpenOptionsOnPage(int page)
{
    FrmMain *options = m_host.frmMain();
    options->show();
    options->raise();
    options->ShowPage(page);
}

void FrmMenus::MnuAConfigure_Click()
{
    OpenOptionsOnPage(FrmMain::AccessoriesPage);
}

void FrmMenus::MnuOffice_Click(int number)
{
    if (number < 1 || number > 10)
        return;
    Execute::ShellOpen(m_host, m_host.frmMain()->TxtOfficeCmd[number - 1]->text());
}

void FrmMenus::MnuWordOpen_Click()
{
    m_host.wordControls().OpenWord();
}

void FrmMenus::MnuNewDoc_Click()
{
    m_host.wordControls().NewDocument();
}

void FrmMenus::MnuReadSel_Click()
{
    m_host.wordControls().ReadSelection();
}

void FrmMenus::MnuOfficeConfigure_Click()
{
    OpenOptionsOnPage(FrmMain::OfficePage);
}

void FrmMenus::MnuCheckMail_Click()
{
    // Only the server box is looked at; a missing user name or password
    // goes on to the check, which then fails at the log-on.
    FrmMain *options = m_host.frmMain();
    if (options->TxtServer->text().isEmpty()) {
        m_host.agent().Play(QStringLiteral("Sad"));
        m_host.agent().Speak(QStringLiteral("I was unable to find your e-mail settings."));
        options->show();
        options->raise();
        return;
    }
    options->CmdCheck_Click();
}

void FrmMenus::MnuEMail_Click()
{
    Execute::ShellOpen(m_host, QStringLiteral("mailto:"));
}

void FrmMenus::MnuKestrova_Click()
{
    Execute::ShellOpen(m_host, HomePageAddress);
}

void FrmMenus::MnuCustom_Click(int number)
{
    if (number < 1 || number > 10)
        return;
    Execute::ShellOpen(m_host, m_host.frmMain()->TxtSiteURL[number - 1]->text());
}

void FrmMenus::MnuConfigureFav_Click()
{
    OpenOptionsOnPage(FrmMain::FavouritesPage);
}

} // namespace kestrova
