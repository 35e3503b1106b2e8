#include "FrmTour.h"

#include "CharacterRef.h"
#include "Forms.h"
#include "Actions.h"
#include "HelpBook.h"
#include "Host.h"
#include "Shell.h"
#include "WindowKeys.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMoveEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace kestrova {

namespace {

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setWordWrap(true);
    return l;
}

QLabel *heading(QWidget *parent, const char *name, const QString &text)
{
    QLabel *l = label(parent, name, text);
    // A flowing script face where one is installed.
    QFont font(QStringLiteral("URW Chancery L"));
    font.setStyleHint(QFont::Cursive);
    font.setPointSize(20);
    font.setItalic(true);
    l->setFont(font);
    // The palette's accent, which reads on light and dark windows alike.
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
    l->setPalette(palette);
    return l;
}

} // namespace

FrmTour::FrmTour(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmTour"));
    setWindowTitle(tr("Tour"));

    for (int k = 0; k < 4; ++k) {
        Framtour[k] = new QFrame(this);
        Framtour[k]->setObjectName(QStringLiteral("Framtour%1").arg(k));
    }
    // Page 0.
    Label1 = heading(Framtour[0], "Label1", tr("Welcome!"));
    Label2 = label(Framtour[0], "Label2", tr(
        "Kestrova is an exciting new programme for your computer.  It uses cool 'agents' "
        "to create a new method of interacting with your computer."));
    lblRead = label(Framtour[0], "lblRead", tr("Read E-Mail and the Clipboard"));
    LblJokes = label(Framtour[0], "LblJokes", tr("Tell Jokes"));
    lblNet = label(Framtour[0], "lblNet", tr("Surf the 'net with you."));
    LblOpen = label(Framtour[0], "LblOpen", tr("Open files and run programmes"));
    auto *p0 = new QVBoxLayout(Framtour[0]);
    p0->addWidget(Label1);
    p0->addWidget(Label2);
    for (QLabel *feature : {lblRead, LblJokes, lblNet, LblOpen}) {
        feature->setText(QStringLiteral("\u2022  ") + feature->text());
        feature->setIndent(24);
        p0->addWidget(feature);
    }
    p0->addStretch();
    // Page 1.
    Label8 = heading(Framtour[1], "Label8", tr("Controlling the programme"));
    LblInterface = label(Framtour[1], "LblInterface", tr(
        "Kestrova uses a combination of menus, dialogs, voice commands (if enabled) and the agent character "
        "to make using your computer faster, eaiser, and a lot more fun. Many features of Kestrova can be "
        "switched on or off. The \" My Office\" and \"Favourites\" menus can be set to your favourite "
        "programmes or websites. The favourites menu even creates voice commands so you can quickly go "
        "straight to the coolest sites on the web."));
    auto *p1 = new QVBoxLayout(Framtour[1]);
    p1->addWidget(Label8);
    p1->addWidget(LblInterface);
    p1->addStretch();
    // Page 2.
    Label4 = heading(Framtour[2], "Label4", tr("Setting up."));
    LblSettingUp = label(Framtour[2], "LblSettingUp", tr(
        "Now that you have the Kestrova \"up and running\" be sure to set it to your favourite programmes "
        "and websites, simply open the \"options\" window and you'll find the options for the office "
        "programmes, favourites, e-mail, and the agent character. Each set of settings has it's own tab "
        "just click the one you want."));
    CmdOptions = new QPushButton(tr("Show me the options window now."), Framtour[2]);
    CmdOptions->setObjectName(QStringLiteral("CmdOptions"));
    connect(CmdOptions, &QPushButton::clicked, this, &FrmTour::CmdOptions_Click);
    auto *p2 = new QVBoxLayout(Framtour[2]);
    p2->addWidget(Label4);
    p2->addWidget(LblSettingUp);
    p2->addWidget(CmdOptions, 0, Qt::AlignLeft);
    p2->addStretch();
    // Page 3.
    Label6 = heading(Framtour[3], "Label6", tr("Getting Help."));
    LblHelp = label(Framtour[3], "LblHelp", tr(
        "You can get help from the Kestrova help file. This file is an HTML Help file. Click to open "
        "Kestrova help now."));
    CmdHelp = new QPushButton(tr("View Kestrova Help"), Framtour[3]);
    CmdHelp->setObjectName(QStringLiteral("CmdHelp"));
    connect(CmdHelp, &QPushButton::clicked, this, &FrmTour::CmdHelp_Click);
    auto *p3 = new QVBoxLayout(Framtour[3]);
    p3->addWidget(Label6);
    p3->addWidget(LblHelp);
    p3->addWidget(CmdHelp, 0, Qt::AlignLeft);
    p3->addStretch();

    static const char *const captions[3] = {QT_TR_NOOP("&Back"), QT_TR_NOOP("&Next"), QT_TR_NOOP("Cancel")};
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int k = 0; k < 3; ++k) {
        CmdCollection[k] = new QPushButton(tr(captions[k]), this);
        CmdCollection[k]->setObjectName(QStringLiteral("CmdCollection%1").arg(k));
        connect(CmdCollection[k], &QPushButton::clicked, this, [this, k] { CmdCollection_Click(k); });
        buttons->addWidget(CmdCollection[k]);
        // On the last page "Finish" stands where "Next" was.
        if (k == 1) {
            CmdFinish = new QPushButton(tr("&Finish"), this);
            CmdFinish->setObjectName(QStringLiteral("CmdFinish"));
            CmdFinish->setDefault(true);
            connect(CmdFinish, &QPushButton::clicked, this, &QWidget::close);
            buttons->addWidget(CmdFinish);
        }
    }
    // Enter presses the default button ("Finish" on the last page), or the
    // button the keyboard is on; Escape presses "Cancel".
    WindowKeys::install(this, [this] { CmdCollection[2]->click(); });
    // All four pages share one place; one is shown at a time.
    auto *pages = new QStackedLayout;
    pages->setStackingMode(QStackedLayout::StackAll);
    for (QFrame *page : Framtour)
        pages->addWidget(page);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(pages, 1);
    layout->addLayout(buttons);
    showOnly(0);
    updateButtons();
    resize(440, 300);
    m_placementWait = new QTimer(this);
    m_placementWait->setSingleShot(true);
    connect(m_placementWait, &QTimer::timeout, this, [this] { m_followPlacement = false; });
    // Left of the screen's middle, so the character has room on its right.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        // On a narrow screen (or at a large scale) its left edge stays on it.
        // Its title bar takes about 32 px above it.
        move(std::max(area.x(), area.x() + area.width() / 2 - width() + 60),
             std::max(area.y(), std::min(area.y() + area.height() / 4, area.bottom() + 1 - height() - 32)));
    }
}

void FrmTour::showOnly(int page)
{
    for (int k = 0; k < 4; ++k)
        Framtour[k]->setVisible(k == page);
}

int FrmTour::currentPage() const
{
    for (int k = 0; k < 4; ++k)
        if (!Framtour[k]->isHidden())
            return k;
    return -1;
}

void FrmTour::Form_Load()
{
    aim();
    forPage(PageStep::Play, QStringLiteral("GestureRight"));
    forPage(PageStep::Speak, tr("Welcome to kestrova."));
    forPage(PageStep::Play, QStringLiteral("RestPose"));
    forPage(PageStep::Speak, Label2->text());
    forPage(PageStep::Play, QStringLiteral("Pleased"));
    forPage(PageStep::Speak, tr("Just look at everything I can do."));
    forPage(PageStep::Play, QStringLiteral("LookRight"));
    m_loaded = true;
    updateButtons();
    // The window manager may still move the window it was just shown:
    // for a while the character goes where the window ends up.
    m_followPlacement = true;
    m_placementWait->start(PlacementWaitMs);
}

void FrmTour::aim()
{
    const QRect frame = frameGeometry();
    m_aimedAt = m_host.targetBeside(frame);
    m_aim = m_host.MoveToTarget(frame);
}

void FrmTour::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    placementChanged();
}

void FrmTour::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placementChanged();
}

void FrmTour::placementChanged()
{
    // A window manager moves and sizes a window in a burst of changes: the
    // character is sent once, after the burst.
    if (!m_followPlacement || m_placementQueued)
        return;
    m_placementQueued = true;
    QMetaObject::invokeMethod(this, &FrmTour::followPlacement, Qt::QueuedConnection);
}

void FrmTour::followPlacement()
{
    m_placementQueued = false;
    if (!m_followPlacement || !isVisible())
        return;
    const std::optional<QPoint> target = m_host.targetBeside(frameGeometry());
    if (!target
        || (m_aimedAt && std::abs(target->x() - m_aimedAt->x()) <= PlacementSlack
            && std::abs(target->y() - m_aimedAt->y()) <= PlacementSlack))
        return;
    // The walk, and what follows it, is made again: where the character is
    // on its way still, it turns towards the new place; where it is there
    // already, what it was saying starts again beside the window.
    const QList<PageStep> pending = std::exchange(m_pageSteps, {});
    QList<character::Request> stopped;
    if (!m_aim.isNull())
        stopped << m_aim;
    for (const PageStep &step : pending)
        stopped << step.request;
    m_host.agent().StopRequests(stopped);
    aim();
    for (const PageStep &step : pending)
        forPage(step.kind, step.what);
}

void FrmTour::updateButtons()
{
    // Back wherever there is a page before, Next wherever there is one
    // after (once the welcome has been queued), in whatever order the user
    // goes.
    const int page = currentPage();
    CmdCollection[0]->setEnabled(page > 0);
    CmdCollection[1]->setEnabled(m_loaded && page < 3);
    CmdCollection[1]->setVisible(page < 3);
    CmdFinish->setVisible(page == 3);
}

void FrmTour::CmdCollection_Click(int index)
{
    const int page = currentPage();
    if (index == 1 && page < 3) {
        leavePage();
        if (page == 0) {
            showOnly(1);
            forPage(PageStep::Play, QStringLiteral("GestureRight"));
            forPage(PageStep::Speak, LblInterface->text());
            forPage(PageStep::Play, QStringLiteral("RestPose"));
        } else if (page == 1) {
            showOnly(2);
            forPage(PageStep::Speak, LblSettingUp->text());
        } else if (page == 2) {
            showOnly(3);
            forPage(PageStep::Speak, LblHelp->text());
        }
        updateButtons();
    } else if (index == 0 && page > 0) {
        // Going back says nothing.
        leavePage();
        showOnly(page - 1);
        updateButtons();
    } else if (index == 2) {
        close();
    }
}

void FrmTour::forPage(PageStep::Kind kind, const QString &what)
{
    character::CharacterRef &agent = m_host.agent();
    character::Character *character = agent.get();
    if (!character)
        return;
    const character::Request request = kind == PageStep::Play ? agent.Play(what) : agent.Speak(what);
    if (request.isNull())
        return;
    if (character != m_watched) {
        disconnect(m_watch);
        m_watched = character;
        m_watch = connect(character, &character::Character::requestComplete, this,
                          [this](character::Request done) {
                              m_pageSteps.removeIf([done](const PageStep &step) { return step.request == done; });
                          });
    }
    m_pageSteps.append(PageStep{kind, what, request});
}

void FrmTour::leavePage()
{
    // Only the page's own: whatever else the character has to do (an alarm,
    // the mail) goes on.
    if (m_pageSteps.isEmpty())
        return;
    QList<character::Request> requests;
    for (const PageStep &step : std::exchange(m_pageSteps, {}))
        requests << step.request;
    m_host.agent().StopRequests(requests);
}

void FrmTour::CmdOptions_Click()
{
    m_host.actions().run(QStringLiteral("Options"));
}

void FrmTour::CmdHelp_Click()
{
    HelpBook::Open(m_host);
}

void FrmTour::keyPressEvent(QKeyEvent *event)
{
    // Escape presses "Cancel".
    if (event->key() == Qt::Key_Escape)
        CmdCollection[2]->click();
    else
        QWidget::keyPressEvent(event);
}

void FrmTour::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_followPlacement = false;
    m_host.forms().unload(this);
    // Everything queued and playing stops, mid-sentence too.
    m_host.agent().StopAll();
    m_host.MoveToRest();
}

} // namespace kestrova
