// The options window: its frame, the tab strip, and five of its six pages
// with their buttons (the mail page, the largest, is FrmMainMail.cpp). It
// runs past 700 lines, and stays one file on purpose: the pages share the
// widget helpers below and the window's load, apply and close, and each
// page is short; split by page, every file would repeat those.
#include "FrmMain.h"

#include "Actions.h"
#include "AlarmWatch.h"
#include "CharacterRef.h"
#include "Commands.h"
#include "desktop/CommandMenu.h"
#include "DialUpConnection.h"
#include "Execute.h"
#include "FileOperations.h"
#include "UserFiles.h"
#include "UserModel.h"
#include "Forms.h"
#include "Host.h"
#include "MailChecker.h"
#include "MailWatch.h"
#include "MessageBox.h"
#include "OpenFileDialog.h"
#include "SettingsStore.h"
#include "SpeechText.h"
#include "WindowKeys.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

namespace kestrova {

namespace {

// Less room either side of each tab's caption, for a tab strip that would
// otherwise need scroll arrows (a large scale on a small screen).
class CompactTabs final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        const int base = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? base / 3 : base;
    }
};

// A status bar whose message wraps onto the lines it needs: a mail check's
// failure (a refused certificate, a server with no encryption) is read
// whole, however narrow the window. The bar keeps its message as before
// (currentMessage, timeouts); a label filling the bar draws it.
class WrappingStatusBar final : public QStatusBar {
public:
    explicit WrappingStatusBar(QWidget *parent) : QStatusBar(parent), m_text(new QLabel(this))
    {
        m_text->setObjectName(QStringLiteral("StatusText"));
        m_text->setTextFormat(Qt::PlainText);
        m_text->setWordWrap(true);
        m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        addPermanentWidget(m_text, 1);
        connect(this, &QStatusBar::messageChanged, m_text, &QLabel::setText);
    }

protected:
    // The label draws the message; the bar's own one-line drawing of it
    // would show under it, cut at the edge.
    void paintEvent(QPaintEvent *) override {}

private:
    QLabel *m_text;
};

const QString App = QStringLiteral("Kestrova");
const QString Sel = QStringLiteral("Sel");

QLabel *label(QWidget *parent, const QString &text, bool wrap = false)
{
    auto *l = new QLabel(text, parent);
    l->setWordWrap(wrap);
    return l;
}

// A label whose mnemonic takes the keyboard to its box.
QLabel *label(QWidget *parent, const QString &text, QWidget *buddy)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

template <class W>
W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    return named(new QPushButton(caption, parent), name);
}

struct TabInfo {
    const char *caption;
    const char *key;
    const char *toolTip;
    int page;
};

const TabInfo Tabs[] = {
    {QT_TRANSLATE_NOOP("kestrova::FrmMain", "A&gent"), "agent", QT_TRANSLATE_NOOP("kestrova::FrmMain", "Change the Agent Character options"), FrmMain::AgentPage},
    {QT_TRANSLATE_NOOP("kestrova::FrmMain", "&Mail"), "mail", QT_TRANSLATE_NOOP("kestrova::FrmMain", "Change your E-Mail options"), FrmMain::MailPage},
    {QT_TRANSLATE_NOOP("kestrova::FrmMain", "A&ccessories"), "accessories", QT_TRANSLATE_NOOP("kestrova::FrmMain", "Set the accessories menu"), FrmMain::AccessoriesPage},
    {QT_TRANSLATE_NOOP("kestrova::FrmMain", "My &Office"), "office", QT_TRANSLATE_NOOP("kestrova::FrmMain", "Set up the \"My Office\" menu"), FrmMain::OfficePage},
    {QT_TRANSLATE_NOOP("kestrova::FrmMain", "&Favourites"), "favourites", nullptr, FrmMain::FavouritesPage},
    {QT_TRANSLATE_NOOP("kestrova::FrmMain", "&Jokes"), "joke", nullptr, FrmMain::JokesPage},
};

} // namespace

FrmMain::FrmMain(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(tr("Kestrova"));

    LblWelcome = named(label(this, tr("Welcome")), QStringLiteral("LblWelcome"));
    LblUser = named(label(this, QString()), QStringLiteral("LblUser"));
    LblUser->setTextFormat(Qt::PlainText);
    QFont big = LblUser->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    LblUser->setFont(big);
    // Its row (a tall one, in that font) is there only while there is a
    // name to show: empty, it would take the pages' room for nothing.
    LblUser->hide();
    LblClock = named(label(this, QStringLiteral("Time")), QStringLiteral("LblClock"));
    LblClock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    TabStrip1 = named(new QTabBar(this), QStringLiteral("TabStrip1"));
    for (const TabInfo &tab : Tabs) {
        const int i = TabStrip1->addTab(tr(tab.caption));
        TabStrip1->setTabData(i, QString::fromLatin1(tab.key));
        if (tab.toolTip)
            TabStrip1->setTabToolTip(i, tr(tab.toolTip));
    }
    TabStrip1->setCurrentIndex(0);

    // The pages scroll inside the window where the screen is too small for
    // them (a large scale on a small screen); the window never outgrows it.
    auto *pageScroll = named(new QScrollArea(this), QStringLiteral("PageScroll"));
    pageScroll->setFrameShape(QFrame::NoFrame);
    pageScroll->setWidgetResizable(true);
    auto *pageHost = new QWidget(pageScroll);
    auto *pages = new QGridLayout(pageHost);
    pages->setContentsMargins(0, 0, 0, 0);
    for (int k = 0; k < PageCount; ++k) {
        FrameOptions[k] = named(new QFrame(pageHost), QStringLiteral("FrameOptions%1").arg(k));
        FrameOptions[k]->setFrameShape(QFrame::StyledPanel);
        // One place for all six; only the visible page takes it.
        pages->addWidget(FrameOptions[k], 0, 0);
        FrameOptions[k]->setVisible(k == AgentPage);
    }
    buildAccessoriesPage(FrameOptions[AccessoriesPage]);
    buildFavouritesPage(FrameOptions[FavouritesPage]);
    buildMailPage(FrameOptions[MailPage]);
    buildAgentPage(FrameOptions[AgentPage]);
    buildOfficePage(FrameOptions[OfficePage]);
    buildJokesPage(FrameOptions[JokesPage]);

    StatusMain = named(new WrappingStatusBar(this), QStringLiteral("StatusMain"));
    StatusMain->setSizeGripEnabled(false);
    StatusMain->showMessage(tr("Kestrova"));

    auto *heading = new QGridLayout;
    heading->addWidget(LblWelcome, 0, 0);
    heading->addWidget(LblClock, 0, 1);
    heading->addWidget(LblUser, 1, 0, 1, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(TabStrip1);
    pageScroll->setWidget(pageHost);
    layout->addWidget(pageScroll, 1);
    layout->addWidget(StatusMain);
    layout->setSpacing(4);
    fitToScreen();

    // Escape closes the window, as its close box does; Enter presses the
    // shown page's own button.
    WindowKeys::install(this, [this] { close(); });

    connect(TabStrip1, &QTabBar::currentChanged, this, &FrmMain::TabStrip1_Click);
    // The selected tab may stand over another page (one shown by a
    // "Configure"); a click on it shows its own.
    connect(TabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == TabStrip1->currentIndex())
            TabStrip1_Click();
    });
    followModel();
}

FrmMain::~FrmMain()
{
    if (m_showsClock)
        m_host.alarm().setClockShown(false);
}

void FrmMain::followModel()
{
    // A view of the user's things: what is typed reaches the model at once
    // (a menu entry or a spoken name uses an edited address straight away),
    // and what the model loads or is told shows here.
    UserModel &model = m_host.model();
    using List = UserModel::List;
    for (int k = 0; k < 10; ++k) {
        connect(TxtSiteName[k], &QLineEdit::textChanged, this,
                [&model, k](const QString &text) { model.setSlotName(List::Favourites, k, text); });
        connect(TxtSiteURL[k], &QLineEdit::textChanged, this,
                [&model, k](const QString &text) { model.setSlotTarget(List::Favourites, k, text); });
        connect(TxtOfficeName[k], &QLineEdit::textChanged, this,
                [&model, k](const QString &text) { model.setSlotName(List::Office, k, text); });
        connect(TxtOfficeCmd[k], &QLineEdit::textChanged, this,
                [&model, k](const QString &text) { model.setSlotTarget(List::Office, k, text); });
    }
    for (int k = 0; k < 10; ++k) {
        connect(TxtSiteName[k], &QLineEdit::textChanged, this,
                [this, k] { nameListItem(int(List::Favourites), k); });
        connect(TxtOfficeName[k], &QLineEdit::textChanged, this, [this, k] { nameListItem(int(List::Office), k); });
        TxtSiteName[k]->setPlaceholderText(tr("The name in the menu, e.g. News"));
        TxtSiteURL[k]->setPlaceholderText(tr("The address, e.g. news.example.org"));
        TxtOfficeName[k]->setPlaceholderText(tr("The name in the menu, e.g. Spreadsheet"));
        TxtOfficeCmd[k]->setPlaceholderText(tr("The program to run; Browse finds one"));
    }
    connect(TxtJokeSay, &QLineEdit::textChanged, this, [&model](const QString &text) { model.setJokeLeadIn(text); });
    connect(TxtServer, &QLineEdit::textChanged, this, [&model](const QString &text) { model.setMailServer(text); });
    connect(&model, &UserModel::listLoaded, this, [this](UserModel::List list) { showList(int(list)); });
    connect(&model, &UserModel::userNameChanged, this, &FrmMain::showUserName);
    connect(&model, &UserModel::characterNameChanged, this,
            [this](const QString &name) { LblCurrent[1]->setText(character::cleanOutsideText(name)); });
}

void FrmMain::buildAgentPage(QFrame *page)
{
    auto *grid = new QGridLayout(page);
    grid->addWidget(label(page, tr("Set the Agent's \"Rest Position\" by draging the agent to the "
                                               "screen position you want it to \"rest\" at and click the "
                                               "\"Rest\" button."), true),
                    0, 0, 1, 3);
    CmdRest = button(page, QStringLiteral("CmdRest"), tr("Set &Rest Position"));
    grid->addWidget(CmdRest, 1, 0, 1, 3, Qt::AlignLeft);
    const char *captions[4] = {QT_TR_NOOP("Current Agent is:"), QT_TR_NOOP("Default"), QT_TR_NOOP("Current User is:"), QT_TR_NOOP("User")};
    for (int i = 0; i < 4; ++i) {
        LblCurrent[i] = named(label(page, tr(captions[i])), QStringLiteral("LblCurrent%1").arg(i));
        LblCurrent[i]->setTextFormat(Qt::PlainText);
        grid->addWidget(LblCurrent[i], 2 + i / 2, i % 2);
    }
    for (int i = 0; i < 2; ++i) {
        CmdChangeAgent[i] = button(page, QStringLiteral("CmdChangeAgent%1").arg(i),
                                   i == 0 ? tr("C&hange") : tr("Cha&nge"));
        grid->addWidget(CmdChangeAgent[i], 2 + i, 2);
        connect(CmdChangeAgent[i], &QPushButton::clicked, this, [this, i] { CmdChangeAgent_Click(i); });
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    connect(CmdRest, &QPushButton::clicked, this, &FrmMain::CmdRest_Click);
}

void FrmMain::buildJokesPage(QFrame *page)
{
    auto *grid = new QGridLayout(page);
    grid->addWidget(label(page, tr("You can edit the \"Kestrovas\" joke collection here. TIP: you can "
                                               "change the jokes to quotes or tips in the file as long as you "
                                               "only have 1 item per line and do not change the file name."),
                          true),
                    0, 0, 1, 3);
    ChkJokesOff = named(new QCheckBox(tr("&Turn the Jokes off."), page), QStringLiteral("ChkJokesOff"));
    grid->addWidget(ChkJokesOff, 1, 0, 1, 3);
    TxtJokeSay = named(new QLineEdit(page), QStringLiteral("TxtJokeSay"));
    grid->addWidget(label(page, tr("&Say this before each joke:"), TxtJokeSay), 2, 0, 1, 3);
    grid->addWidget(TxtJokeSay, 3, 0, 1, 3);
    CmdJSave = button(page, QStringLiteral("CmdJSave"), tr("Sa&ve"));
    CmdJSave->setDefault(true);
    CmdJokes = button(page, QStringLiteral("CmdJokes"), tr("&Edit Jokes"));
    grid->addWidget(CmdJSave, 4, 0);
    grid->addWidget(CmdJokes, 4, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);
    connect(ChkJokesOff, &QCheckBox::toggled, this, &FrmMain::ChkJokesOff_Click);
    connect(CmdJSave, &QPushButton::clicked, this, &FrmMain::CmdJSave_Click);
    connect(CmdJokes, &QPushButton::clicked, this, &FrmMain::CmdJokes_Click);
}

void FrmMain::buildAccessoriesPage(QFrame *page)
{
    auto *grid = new QGridLayout(page);
    grid->addWidget(label(page, tr("Click the programs you want to show on the accessories menu"), true),
                    0, 0, 1, 4);
    ChkCalc = named(new QCheckBox(tr("Ca&lculator"), page), QStringLiteral("ChkCalc"));
    ChkCD = named(new QCheckBox(tr("C&D Player"), page), QStringLiteral("ChkCD"));
    ChkNotePad = named(new QCheckBox(tr("&Notepad"), page), QStringLiteral("ChkNotePad"));
    ChkWordpad = named(new QCheckBox(tr("&WordPad"), page), QStringLiteral("ChkWordpad"));
    grid->addWidget(ChkCalc, 1, 0, 1, 2);
    grid->addWidget(ChkCD, 1, 2, 1, 2);
    grid->addWidget(ChkNotePad, 2, 0, 1, 2);
    grid->addWidget(ChkWordpad, 2, 2, 1, 2);
    grid->setRowStretch(3, 1);
    BtnOK = button(page, QStringLiteral("BtnOK"), tr("OK"));
    BtnOK->setDefault(true);
    BtnApply = button(page, QStringLiteral("BtnApply"), tr("&Apply"));
    BtnCancel = button(page, QStringLiteral("BtnCancel"), tr("Cancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnOK);
    buttons->addWidget(BtnApply);
    buttons->addWidget(BtnCancel);
    grid->addLayout(buttons, 4, 0, 1, 4);
    connect(ChkCalc, &QCheckBox::toggled, this, &FrmMain::ChkCalc_Click);
    connect(ChkCD, &QCheckBox::toggled, this, &FrmMain::ChkCD_Click);
    connect(ChkNotePad, &QCheckBox::toggled, this, &FrmMain::ChkNotePad_Click);
    connect(ChkWordpad, &QCheckBox::toggled, this, &FrmMain::ChkWordpad_Click);
    connect(BtnOK, &QPushButton::clicked, this, &FrmMain::BtnOK_Click);
    connect(BtnApply, &QPushButton::clicked, this, &FrmMain::BtnApply_Click);
    connect(BtnCancel, &QPushButton::clicked, this, &FrmMain::BtnCancel_Click);
}

void FrmMain::buildFavouritesPage(QFrame *page)
{
    auto *grid = new QGridLayout(page);
    grid->addWidget(label(page, tr("Change the settings for the internet favourites menu by selecting "
                                               "a menu item from the drop down box."),
                          true),
                    0, 0, 1, 2);
    ComboFav = named(new QComboBox(page), QStringLiteral("ComboFav"));
    ComboFav->setPlaceholderText(tr("Chose Link:"));
    grid->addWidget(ComboFav, 1, 0, 1, 2, Qt::AlignLeft);
    LblName[0] = named(label(page, tr("&Name:")), QStringLiteral("LblName0"));
    LblName[1] = named(label(page, tr("&URL:")), QStringLiteral("LblName1"));
    grid->addWidget(LblName[0], 2, 0);
    grid->addWidget(LblName[1], 3, 0);
    for (int k = 0; k < 10; ++k) {
        TxtSiteName[k] = named(new QLineEdit(page), QStringLiteral("TxtSiteName%1").arg(k));
        TxtSiteURL[k] = named(new QLineEdit(page), QStringLiteral("TxtSiteURL%1").arg(k));
        TxtSiteName[k]->hide();
        TxtSiteURL[k]->hide();
        grid->addWidget(TxtSiteName[k], 2, 1);
        grid->addWidget(TxtSiteURL[k], 3, 1);
    }
    // Until an item is picked the boxes are hidden: the labels' keys lead
    // to the list, and a label never shows its "&".
    LblName[0]->setBuddy(ComboFav);
    LblName[1]->setBuddy(ComboFav);
    CmdUpdate = button(page, QStringLiteral("CmdUpdate"), tr("U&pdate"));
    CmdUpdate->setDefault(true);
    CmdUpdate->setEnabled(false);
    grid->addWidget(CmdUpdate, 4, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    connect(ComboFav, &QComboBox::activated, this, &FrmMain::ComboFav_Click);
    connect(CmdUpdate, &QPushButton::clicked, this, &FrmMain::CmdUpdate_Click);
}

void FrmMain::buildOfficePage(QFrame *page)
{
    auto *grid = new QGridLayout(page);
    grid->addWidget(label(page, tr("Select an item from the drop down box to edit."), true), 0, 0, 1, 3);
    ComCustom = named(new QComboBox(page), QStringLiteral("ComCustom"));
    ComCustom->addItems({tr("Item 1"), tr("Item 2"), tr("Item 3"), tr("Item 4"), tr("Item 5"), tr("Item 6"), tr("Item7"), tr("Item 8"),
                         tr("Item 9"), tr("Item 10")});
    ComCustom->setPlaceholderText(tr("Office Items"));
    ComCustom->setCurrentIndex(-1);
    grid->addWidget(ComCustom, 1, 0, 1, 3, Qt::AlignLeft);
    Label5[0] = named(label(page, tr("Programme &Name:")), QStringLiteral("Label50"));
    Label5[1] = named(label(page, tr("Command &Line:")), QStringLiteral("Label51"));
    grid->addWidget(Label5[0], 2, 0);
    grid->addWidget(Label5[1], 3, 0);
    for (int k = 0; k < 10; ++k) {
        TxtOfficeName[k] = named(new QLineEdit(page), QStringLiteral("TxtOfficeName%1").arg(k));
        TxtOfficeCmd[k] = named(new QLineEdit(page), QStringLiteral("TxtOfficeCmd%1").arg(k));
        CmdOfficeBrowse[k] = button(page, QStringLiteral("CmdOfficeBrowse%1").arg(k), tr("&Browse"));
        TxtOfficeName[k]->hide();
        TxtOfficeCmd[k]->hide();
        CmdOfficeBrowse[k]->hide();
        grid->addWidget(TxtOfficeName[k], 2, 1, 1, 2);
        grid->addWidget(TxtOfficeCmd[k], 3, 1);
        grid->addWidget(CmdOfficeBrowse[k], 3, 2);
        connect(CmdOfficeBrowse[k], &QPushButton::clicked, this, [this, k] { CmdOfficeBrowse_Click(k); });
    }
    Label5[0]->setBuddy(ComCustom);
    Label5[1]->setBuddy(ComCustom);
    CmdCustomSave = button(page, QStringLiteral("CmdCustomSave"), tr("Sa&ve"));
    CmdCustomSave->setDefault(true);
    grid->addWidget(CmdCustomSave, 4, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    connect(ComCustom, &QComboBox::activated, this, &FrmMain::ComCustom_Click);
    connect(CmdCustomSave, &QPushButton::clicked, this, &FrmMain::CmdCustomSave_Click);
}

QString FrmMain::readSetting(const QString &section, const QString &key) const
{
    return m_host.context().settings->read(App, section, key);
}

bool FrmMain::writeSetting(const QString &section, const QString &key, const QString &text) const
{
    return m_host.context().settings->write(App, section, key, text);
}

void FrmMain::showUserName(const QString &name)
{
    // The user's name and the character's come from files anyone may have
    // edited: shown as letters, never as markup or control characters.
    const QString shown = character::cleanOutsideText(name);
    LblUser->setText(shown);
    LblUser->setVisible(!shown.isEmpty());
    LblCurrent[3]->setText(shown);
}

void FrmMain::Form_Load()
{
    // 1. The character and the user.
    UserModel &model = m_host.model();
    model.loadUserName();
    if (m_host.agent().isLoaded())
        LblCurrent[1]->setText(character::cleanOutsideText(m_host.agent().Name()));
    showUserName(model.userName());
    // 2. The clock: the alarm's watch runs for the whole program and the
    // label shows its time while this window exists. Loading this window
    // does not disarm the alarm.
    AlarmWatch &alarm = m_host.alarm();
    LblClock->setText(alarm.clockText().isEmpty() ? alarm.ShowClock() : alarm.clockText());
    connect(&alarm, &AlarmWatch::clockShown, LblClock, &QLabel::setText);
    // 3.
    LoadMailSettings();

    // 4. The jokes switch: "Off" stored switches them off again (stored
    // once more, the joke timer stops) and ticks the box.
    const std::optional<bool> stored = model.loadJokesSwitch();
    {
        const QSignalBlocker quiet(ChkJokesOff);
        ChkJokesOff->setChecked(stored == false);
    }
    // 5.
    model.loadJokeLeadIn();
    TxtJokeSay->setText(model.jokeLeadIn());
    // 6. Not waited for: this window loads during start-up, and the
    // network manager may be slow to answer. A message shown meanwhile (a
    // mail check's) stays.
    DialUpConnection::AskIsOnline(m_host.context().platform, StatusMain,
                                  [status = StatusMain, shown = StatusMain->currentMessage()](bool online) {
                                      if (status->currentMessage() == shown)
                                          status->showMessage(online ? tr("Online")
                                                                     : tr("Offline"));
                                  });
    // 7.
    SetAccessoriesMnu();
    QCheckBox *const boxes[] = {ChkCalc, ChkCD, ChkNotePad, ChkWordpad};
    for (int a = 0; a < UserModel::AccessoryCount; ++a)
        if (model.accessoryFlag(UserModel::Accessory(a)) == Sel)
            boxes[a]->setChecked(true);
    // 8.
    for (int k = 1; k <= 10; ++k)
        ComboFav->addItem(tr("Link ") + QString::number(k));
    ComboFav->setCurrentIndex(-1);
    // 9.
    LoadFavourites();
    LoadOffice();
    showList(int(UserModel::List::Favourites));
    showList(int(UserModel::List::Office));
    for (int k = 0; k < 10; ++k) {
        nameListItem(int(UserModel::List::Favourites), k);
        nameListItem(int(UserModel::List::Office), k);
    }
    // Every field of the two lists' pages is on show from the start: the
    // first slot's, until another is picked.
    ComboFav->setCurrentIndex(0);
    ComboFav_Click();
    ComCustom->setCurrentIndex(0);
    ComCustom_Click();
}

void FrmMain::nameListItem(int list, int k)
{
    // The lists read the names the user gave; a slot without one keeps its
    // number.
    const bool favourites = UserModel::List(list) == UserModel::List::Favourites;
    QComboBox *combo = favourites ? ComboFav : ComCustom;
    if (k < 0 || k >= combo->count())
        return;
    const QString name = (favourites ? TxtSiteName : TxtOfficeName)[k]->text().trimmed();
    const QString numbered = favourites ? tr("Link %1").arg(k + 1)
                                        : k == 6 ? tr("Item7") : tr("Item %1").arg(k + 1);
    combo->setItemText(k, name.isEmpty() ? numbered : name);
}

void FrmMain::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_showsClock) {
        m_showsClock = false;
        m_host.alarm().setClockShown(false);
    }
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
    // What was edited here and not stored goes with the window: the lists,
    // the lead-in, the accessory ticks and the mail account are the stored
    // ones again for the menus, the jokes, the commands and the next check.
    m_host.model().loadAll();
    m_host.mailChecker().forgetTyped();
}

void FrmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The clock ticks each second while it is on the screen.
    if (!m_showsClock) {
        m_showsClock = true;
        m_host.alarm().setClockShown(true);
    }
    m_host.mailChecker().ensurePassword();
    showMailSecurity();
}

void FrmMain::fitToScreen()
{
    // One size for every page: wide enough for the widest page's least
    // width, tall enough for the tallest page at that width; within the
    // screen, where the pages scroll if they must.
    const auto *scroll = findChild<QScrollArea *>(QStringLiteral("PageScroll"));
    layout()->activate();
    const QSize chrome = layout()->totalSizeHint() - scroll->sizeHint();
    int leastPages = 0;
    for (const QFrame *page : FrameOptions)
        leastPages = qMax(leastPages, page->minimumSizeHint().width());
    int pagesWidth = qMax(560 - chrome.width(), leastPages);
    QRect area(QPoint(0, 0), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    if (const QScreen *where = screen())
        area = where->availableGeometry().adjusted(0, 0, -8, -32); // room for the frame and title
    pagesWidth = qMin(pagesWidth, area.width() - chrome.width());
    int pagesHeight = 0;
    for (const QFrame *page : FrameOptions)
        pagesHeight = qMax(pagesHeight, page->hasHeightForWidth() ? page->heightForWidth(pagesWidth)
                                                                  : page->sizeHint().height());
    // The least width: every page without scrolling sideways, the tabs
    // whole (closer together). The window may be narrowed to it, to stand
    // beside the character on a small screen; its pages then scroll down
    // rather than across.
    if (!m_compactTabs) {
        m_compactTabs = new CompactTabs(style()->name());
        m_compactTabs->setParent(TabStrip1);
    }
    // (Measured with the compact style, then back to the application's
    // own: a style set on the strip by name would outlive a change of it.)
    TabStrip1->setStyle(m_compactTabs);
    const int compactTabs = TabStrip1->sizeHint().width();
    TabStrip1->setStyle(nullptr);
    const QMargins margins = layout()->contentsMargins();
    const int across = margins.left() + margins.right();
    const int scrollBar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
    setMinimumWidth(qMin(area.width(), across + qMax(leastPages + scrollBar, compactTabs)));
    TabStrip1->setProperty(WindowPlacement::WholeTabsWidth, compactTabs);
    const QSize wanted = (chrome + QSize(pagesWidth, pagesHeight)).boundedTo(area.size());
    resize(wanted);
    fitTabs();
    QRect placed(pos(), wanted);
    if (!area.contains(placed)) {
        placed.moveLeft(qBound(area.left(), placed.left(), area.right() - wanted.width()));
        placed.moveTop(qBound(area.top(), placed.top(), area.bottom() - wanted.height()));
        move(placed.topLeft());
    }
}

void FrmMain::fitTabs()
{
    if (!m_compactTabs)
        return;
    const QMargins margins = layout()->contentsMargins();
    const int room = width() - margins.left() - margins.right();
    const bool compact = TabStrip1->style() == m_compactTabs;
    if (compact) {
        // Spaced as usual again where that fits.
        TabStrip1->setStyle(nullptr);
        if (TabStrip1->sizeHint().width() > room)
            TabStrip1->setStyle(m_compactTabs);
    } else if (TabStrip1->sizeHint().width() > room) {
        TabStrip1->setStyle(m_compactTabs);
    }
}

void FrmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitTabs();
}

void FrmMain::ShowPage(int page)
{
    for (int k = 0; k < PageCount; ++k)
        FrameOptions[k]->setVisible(k == page);
}

void FrmMain::TabStrip1_Click()
{
    const QString key = TabStrip1->tabData(TabStrip1->currentIndex()).toString();
    for (const TabInfo &tab : Tabs) {
        if (key == QLatin1String(tab.key)) {
            ShowPage(tab.page);
            return;
        }
    }
}

void FrmMain::CmdChangeAgent_Click(int index)
{
    if (index == 0)
        m_host.actions().run(QStringLiteral("ChangeAgent"));
    else if (index == 1)
        m_host.actions().run(QStringLiteral("ChangeUser"));
}

void FrmMain::CmdRest_Click()
{
    const qint16 x = qint16(m_host.agent().Left());
    const qint16 y = qint16(m_host.agent().Top());
    m_host.setRestPosition(x, y);
    m_host.model().storeRestPosition(x, y);
    if (MessageBox *box = m_host.context().platform.messageBox)
        box->show(tr("Rest position set at: ") + QString::number(x) + u' ' + QString::number(y),
                  QStringLiteral("Kestrova"));
}

void FrmMain::ChkJokesOff_Click()
{
    // Stored at once; the joke timer follows the model.
    m_host.model().switchJokes(!ChkJokesOff->isChecked());
}

void FrmMain::CmdJSave_Click()
{
    m_host.model().setJokeLeadIn(TxtJokeSay->text());
    m_host.model().saveJokeLeadIn();
}

void FrmMain::CmdJokes_Click()
{
    // The user's own copy, made from the shipped file the first time: the
    // shipped one is replaced by every build or update.
    const QString jokes = m_host.model().files().jokesToEdit();
    if (!jokes.isEmpty())
        Execute::ShellOpen(m_host, jokes);
}

void FrmMain::SetAccessoriesMnu()
{
    // The menu entries and the spoken commands follow the model.
    m_host.model().loadAccessories();
}

void FrmMain::ChkCalc_Click()
{
    m_host.model().setAccessoryFlag(UserModel::Calculator, ChkCalc->isChecked() ? Sel : QString());
}

void FrmMain::ChkCD_Click()
{
    m_host.model().setAccessoryFlag(UserModel::CDPlayer, ChkCD->isChecked() ? Sel : QString());
}

void FrmMain::ChkNotePad_Click()
{
    m_host.model().setAccessoryFlag(UserModel::Notepad, ChkNotePad->isChecked() ? Sel : QString());
}

void FrmMain::ChkWordpad_Click()
{
    m_host.model().setAccessoryFlag(UserModel::Wordpad, ChkWordpad->isChecked() ? Sel : QString());
}

void FrmMain::BtnApply_Click()
{
    m_host.model().saveAccessories();
    SetAccessoriesMnu();
}

void FrmMain::BtnOK_Click()
{
    BtnApply_Click();
    m_host.agent().Play(QStringLiteral("Write"));
    m_host.agent().Speak(tr("I have updated the accessories menu."));
    m_host.agent().Play(QStringLiteral("WriteReturn"));
    close();
}

void FrmMain::BtnCancel_Click()
{
    close();
}

QString FrmMain::favouritesPlace() const
{
    return m_host.model().listPlace(UserModel::List::Favourites);
}

QString FrmMain::officePlace() const
{
    return m_host.model().listPlace(UserModel::List::Office);
}

void FrmMain::showList(int list)
{
    const UserModel &model = m_host.model();
    const auto which = UserModel::List(list);
    QLineEdit *const *names = which == UserModel::List::Favourites ? TxtSiteName : TxtOfficeName;
    QLineEdit *const *targets = which == UserModel::List::Favourites ? TxtSiteURL : TxtOfficeCmd;
    for (int k = 0; k < 10; ++k) {
        names[k]->setText(model.slot(which, k).name);
        targets[k]->setText(model.slot(which, k).target);
    }
}

void FrmMain::LoadFavourites()
{
    // The boxes follow the model when it has read the file.
    m_host.model().loadList(UserModel::List::Favourites);
}

namespace {

// A name or target pasted with line breaks is kept as the single line the
// list file will hold, so the box, the menu and the file agree.
void singleLineBoxes(QLineEdit *const *names, QLineEdit *const *targets)
{
    for (int k = 0; k < 10; ++k) {
        for (QLineEdit *box : {names[k], targets[k]}) {
            const QString line = FileOperations::SingleLine(box->text());
            if (line != box->text())
                box->setText(line);
        }
    }
}

} // namespace

bool FrmMain::SaveFavourites()
{
    singleLineBoxes(TxtSiteName, TxtSiteURL);
    // Stored as it will be opened: a site typed without a scheme is a web
    // address.
    for (QLineEdit *box : TxtSiteURL) {
        const QString address = FileOperations::WebAddress(box->text());
        if (address != box->text())
            box->setText(address);
    }
    return m_host.model().saveList(UserModel::List::Favourites);
}

void FrmMain::SetFavouritesMenu()
{
    m_host.model().showList(UserModel::List::Favourites);
}

void FrmMain::ComboFav_Click()
{
    for (int k = 0; k < 10; ++k) {
        TxtSiteName[k]->hide();
        TxtSiteURL[k]->hide();
    }
    const int k = ComboFav->currentIndex();
    if (k >= 0 && k <= 9) {
        TxtSiteName[k]->show();
        TxtSiteURL[k]->show();
        // The labels lead to the boxes of the chosen link.
        LblName[0]->setBuddy(TxtSiteName[k]);
        LblName[1]->setBuddy(TxtSiteURL[k]);
        CmdUpdate->setEnabled(true);
    }
}

void FrmMain::CmdUpdate_Click()
{
    const bool saved = SaveFavourites();
    SetFavouritesMenu();
    m_host.agent().Play(QStringLiteral("Write"));
    // A save that failed is told as such; the menu is rebuilt either way.
    m_host.agent().Speak(saved ? tr("I have saved your favourites.")
                               : tr("I could not save your favourites."));
    m_host.agent().Play(QStringLiteral("RestPose"));
}

void FrmMain::LoadOffice()
{
    m_host.model().loadList(UserModel::List::Office);
}

bool FrmMain::SaveOffice()
{
    singleLineBoxes(TxtOfficeName, TxtOfficeCmd);
    return m_host.model().saveList(UserModel::List::Office);
}

void FrmMain::SetOfficeMenu()
{
    m_host.model().showList(UserModel::List::Office);
}

void FrmMain::ComCustom_Click()
{
    const int chosen = ComCustom->currentIndex();
    for (int k = 0; k < 10; ++k) {
        const bool show = k == chosen;
        TxtOfficeName[k]->setVisible(show);
        TxtOfficeCmd[k]->setVisible(show);
        CmdOfficeBrowse[k]->setVisible(show);
        if (show) {
            Label5[0]->setBuddy(TxtOfficeName[k]);
            Label5[1]->setBuddy(TxtOfficeCmd[k]);
        }
    }
}

void FrmMain::CmdOfficeBrowse_Click(int index)
{
    if (index < 0 || index > 9)
        return;
    OpenFileDialog *dialog = m_host.context().platform.openFileDialog;
    if (!dialog)
        return;
    const QString file = dialog->getOpenFileName(
        tr("Select a programme to add:"),
        QStringLiteral("Programme files (*.exe)|*.exe") + QStringLiteral("|All Files (*.*)|*.*"),
        m_browseFileName);
    // A cancelled dialog leaves the slot and the offered name as they were.
    if (file.isEmpty())
        return;
    m_browseFileName = file;
    // A file name may hold a line break; the slot holds one line.
    TxtOfficeCmd[index]->setText(FileOperations::SingleLine(file));
}

void FrmMain::CmdCustomSave_Click()
{
    const bool saved = SaveOffice();
    SetOfficeMenu();
    m_host.agent().Play(QStringLiteral("Write"));
    m_host.agent().Speak(saved ? tr("I have updated your office menu.")
                               : tr("I could not save your office menu."));
    m_host.agent().Play(QStringLiteral("Restpose"));
}

} // namespace kestrova
