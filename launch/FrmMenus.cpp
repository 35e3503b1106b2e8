#include "FrmMenus.h"

#include "Addresses.h"
#include "Character.h"
#include "CharacterRef.h"
#include "Actions.h"
#include "Execute.h"
#include "Host.h"
#include "UserModel.h"
#include "desktop/CommandMenu.h"
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

    MnuGeneral = submenu(this, nullptr, "MnuGeneral", tr("General"));
    MnuAccessories = submenu(this, nullptr, "MnuAccessories", tr("Accessories"));
    // The fixed entries of the two menus: where each goes, its caption and
    // the registered action it runs.
    const struct {
        QMenu *FrmMenus::*menu;
        QAction *FrmMenus::*member;
        const char *name, *caption, *id;
    } fixed[] = {
        {&FrmMenus::MnuGeneral, &FrmMenus::MnuACo, "MnuACo", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "A.&C.O"), "A.C.O"},
        {&FrmMenus::MnuGeneral, &FrmMenus::MnuChangeAgent, "MnuChangeAgent", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "Change &Agent"), "ChangeAgent"},
        {&FrmMenus::MnuGeneral, &FrmMenus::MnuChangeUser, "MnuChangeUser", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "Change &User"), "ChangeUser"},
        {&FrmMenus::MnuGeneral, &FrmMenus::MnuAbout, "MnuAbout", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "A&bout"), "About"},
        {&FrmMenus::MnuGeneral, &FrmMenus::MnuOptions, "MnuOptions", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "&Options"), "Options"},
        {&FrmMenus::MnuGeneral, &FrmMenus::MnuTour, "MnuTour", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "&Tour"), "Tour"},
        {&FrmMenus::MnuGeneral, &FrmMenus::MnuVersion, "MnuVersion", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "&Version"), "Version"},
        {&FrmMenus::MnuAccessories, &FrmMenus::MnuAlarm, "MnuAlarm", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "&Alarm"), "Alarm"},
        {&FrmMenus::MnuAccessories, &FrmMenus::MnuOpen, "MnuOpen", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "&Open File"), "Open File"},
        {&FrmMenus::MnuAccessories, &FrmMenus::MnuCalender, "MnuCalender", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "Ca&lender"), "Calender"},
        {&FrmMenus::MnuAccessories, &FrmMenus::MnuCalc, "MnuCalc", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "Calc&ulator"), "Calculator"},
        {&FrmMenus::MnuAccessories, &FrmMenus::MnuCDPlayer, "MnuCDPlayer", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "C&D Player"), "CD Player"},
        {&FrmMenus::MnuAccessories, &FrmMenus::MnuWordpad, "MnuWordpad", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "&Wordpad"), "Wordpad"},
        {&FrmMenus::MnuAccessories, &FrmMenus::MnuNotepad, "MnuNotepad", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "&Notepad"), "Notepad"},
        {&FrmMenus::MnuAccessories, &FrmMenus::MnuAConfigure, "MnuAConfigure", QT_TRANSLATE_NOOP("kestrova::FrmMenus", "Con&figure"), "Configure Accessories"},
    };
    for (const auto &row : fixed) {
        this->*row.member = entry(this->*row.menu, row.name, tr(row.caption));
        runs(this->*row.member, QString::fromUtf8(row.id));
    }

    MnuMyOffice = submenu(this, nullptr, "MnuMyOffice", tr("My Office"));
    for (int k = 0; k < 10; ++k) {
        const QByteArray name = "MnuOffice" + QByteArray::number(k + 1);
        MnuOffice[k] = entry(MnuMyOffice, name.constData(), tr("Office %1").arg(k + 1));
        MnuOffice[k]->setVisible(false);
        runs(MnuOffice[k], QStringLiteral("office:%1").arg(k));
    }
    MnuOutlook = submenu(this, MnuMyOffice, "MnuOutlook", tr("Out&look"));
    // The two entries of "Outlook" do nothing.
    MnuUnreadMail = entry(MnuOutlook, "MnuUnreadMail", tr("&Unread mail"));
    MnuChkTasks = entry(MnuOutlook, "MnuChkTasks", tr("Check &Tasks Due"));
    MnuWord = submenu(this, MnuMyOffice, "MnuWord", tr("&Word"));
    MnuWordOpen = entry(MnuWord, "MnuWordOpen", tr("&Open"));
    MnuNewDoc = entry(MnuWord, "MnuNewDoc", tr("&New Document"));
    MnuReadSel = entry(MnuWord, "MnuReadSel", tr("&Read Selection"));
    MnuOfficeConfigure = entry(MnuMyOffice, "MnuOfficeConfigure", tr("Con&figure"));
    runs(MnuWordOpen, QStringLiteral("Word"));
    runs(MnuNewDoc, QStringLiteral("New Document"));
    runs(MnuReadSel, QStringLiteral("Read Selection"));
    runs(MnuOfficeConfigure, QStringLiteral("Configure Office"));

    MnuWeb = submenu(this, nullptr, "MnuWeb", tr("Internet"));
    MnuCheckMail = entry(MnuWeb, "MnuCheckMail", tr("Check &Mail"));
    MnuEMail = entry(MnuWeb, "MnuEMail", tr("New &E-Mail"));
    MnuSearch = entry(MnuWeb, "MnuSearch", tr("&Search"));
    MnuFavourites = submenu(this, MnuWeb, "MnuFavourites", tr("&Favourites"));
    MnuKestrova = entry(MnuFavourites, "MnuKestrova", tr("&Kestrova"));
    for (int k = 0; k < 10; ++k) {
        const QByteArray name = "MnuCustom" + QByteArray::number(k + 1);
        MnuCustom[k] = entry(MnuFavourites, name.constData(), tr("Custom %1").arg(k + 1));
        MnuCustom[k]->setVisible(false);
        runs(MnuCustom[k], QStringLiteral("favourite:%1").arg(k));
    }
    MnuConfigureFav = entry(MnuFavourites, "MnuConfigureFav", tr("&Configure Menu"));
    runs(MnuCheckMail, QStringLiteral("Check Mail"));
    runs(MnuEMail, QStringLiteral("NewMail"));
    runs(MnuSearch, QStringLiteral("Search the Internet"));
    runs(MnuKestrova, QStringLiteral("Kestrova"));
    runs(MnuConfigureFav, QStringLiteral("Configure Favourites"));
    followModel();
}

void FrmMenus::followModel()
{
    // The entries the user chooses follow the model: the accessories as
    // applied, the office programs and favourite sites as last shown.
    UserModel &model = m_host.model();
    const auto accessories = [this, &model] {
        QAction *const entries[] = {MnuCalc, MnuCDPlayer, MnuNotepad, MnuWordpad};
        for (int a = 0; a < UserModel::AccessoryCount; ++a)
            entries[a]->setVisible(model.accessoryShown(UserModel::Accessory(a)));
    };
    const auto list = [this, &model](UserModel::List which) {
        const bool office = which == UserModel::List::Office;
        QAction *const *entries = office ? MnuOffice : MnuCustom;
        QMenu &menu = *(office ? MnuMyOffice : MnuFavourites);
        const QStringList &names = model.shownNames(which);
        for (int k = 0; k < 10; ++k) {
            const QString name = names.value(k);
            if (!name.isEmpty())
                character::CommandMenu::showName(menu, entries[k], name);
            entries[k]->setVisible(!name.isEmpty());
        }
    };
    connect(&model, &UserModel::accessoriesApplied, this, accessories);
    connect(&model, &UserModel::listShown, this, list);
    // The names are cut to the screen the menu opens on.
    connect(MnuMyOffice, &QMenu::aboutToShow, this, [list] { list(UserModel::List::Office); });
    connect(MnuFavourites, &QMenu::aboutToShow, this, [list] { list(UserModel::List::Favourites); });
    // A menu made after the model was loaded shows what is loaded; the
    // accessory entries are visible until the choices are first applied.
    if (model.accessoriesLoaded())
        accessories();
    list(UserModel::List::Office);
    list(UserModel::List::Favourites);
}

void FrmMenus::runs(QAction *entry, const QString &id)
{
    connect(entry, &QAction::triggered, this, [this, id] { m_host.actions().run(id, Asked::FromMenu); });
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
    // Without a character the options window keeps what it shows.
    if (m_host.agent().isLoaded())
        m_host.model().setCharacterName(m_host.agent().Name());
}

QString FrmMenus::versionSentence(int major, int minor, int revision)
{
    const QString point = QStringLiteral("\\Map=\"point\"=\".\"\\");
    return tr("This is version %1 of Kestrova.")
        .arg(QString::number(major) + point + QString::number(minor) + point + QString::number(revision));
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
        Execute::ReportFailedLaunch(m_host, QStringLiteral("accessory ") + accessoryKey(accessory),
                                    OpenFailure::NoProgram);
    else
        Execute::ShellOpen(m_host, target);
}

void FrmMenus::MnuCalc_Click()
{
    m_host.agent().Speak(tr("Let's get that math done."));
    m_host.agent().Play(QStringLiteral("Process"));
    StartAccessory(Accessory::Calculator);
}

void FrmMenus::MnuCDPlayer_Click()
{
    m_host.agent().Speak(tr("How about some music?"));
    StartAccessory(Accessory::CDPlayer);
}

void FrmMenus::MnuWordpad_Click()
{
    m_host.agent().Play(QStringLiteral("Write"));
    m_host.agent().Speak(tr("How about a short story today?|A poem would be nice, don't you "
                                        "think?|What are we writing today?"));
    m_host.agent().Play(QStringLiteral("ReadReturn"));
    StartAccessory(Accessory::Wordpad);
}

void FrmMenus::MnuNotepad_Click()
{
    m_host.agent().Play(QStringLiteral("Write"));
    m_host.agent().Speak(tr("Ready to write some notes?"));
    m_host.agent().Play(QStringLiteral("ReadReturn"));
    StartAccessory(Accessory::Notepad);
}

} // namespace kestrova
