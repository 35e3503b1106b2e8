#include "frmTip.h"

#include "Clock.h"
#include "FileOperations.h"
#include "Forms.h"
#include "FrmQuick.h"
#include "Host.h"
#include "Random.h"
#include "SettingsStore.h"
#include "TextLines.h"
#include "WindowKeys.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSvgRenderer>
#include <QPainter>
#include <QVBoxLayout>

namespace kestrova {

namespace {
const QString Options = QStringLiteral("Options");
}

QString frmTip::settingApplication()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

frmTip::frmTip(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(tr("Tip of the Day"));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    const QString bulbFile = m_host.context().programDir + QStringLiteral("/icons/tip.svg");
    QSvgRenderer bulb;
    if (QFileInfo::exists(bulbFile) && bulb.load(bulbFile)) {
        const qreal ratio = devicePixelRatioF();
        QPixmap pixmap(QSize(40, 40) * ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        bulb.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(ratio);
        Picture1->setPixmap(pixmap);
    }
    Picture1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    Picture1->setFixedWidth(56);

    Label1 = new QLabel(tr("Did you know..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPointSize(heading.pointSize() + 3);
    Label1->setFont(heading);
    lblTipText = new QLabel(this);
    lblTipText->setObjectName(QStringLiteral("lblTipText"));
    lblTipText->setWordWrap(true);
    lblTipText->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    lblTipText->setMinimumHeight(110);

    chkLoadTipsAtStartup = new QCheckBox(tr("&Show Tips at Startup"), this);
    chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    cmdNextTip = new QPushButton(tr("&Next Tip"), this);
    cmdNextTip->setObjectName(QStringLiteral("cmdNextTip"));
    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(chkLoadTipsAtStartup, &QCheckBox::toggled, this, &frmTip::chkLoadTipsAtStartup_Click);
    connect(cmdNextTip, &QPushButton::clicked, this, &frmTip::cmdNextTip_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmTip::cmdOK_Click);

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("TipPanel"));
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    // The note's paper: the palette's own colour for tips, so it is light
    // on a light desktop and dark on a dark one, with its text to match.
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
    panel->setPalette(pal);
    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addWidget(lblTipText, 1);
    auto *inner = new QHBoxLayout(panel);
    inner->addWidget(Picture1);
    inner->addLayout(text, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdNextTip);
    buttons->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(panel, 1);
    top->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(chkLoadTipsAtStartup);
    resize(460, 220);
    // Down the buttons, then the box below them.
    setTabOrder(cmdOK, cmdNextTip);
    setTabOrder(cmdNextTip, chkLoadTipsAtStartup);
    WindowKeys::install(this, [this] { close(); });
}

void frmTip::Form_Load()
{
    const QString stored = m_host.context().settings->read(settingApplication(), Options, SettingKey,
                                                           QStringLiteral("1"));
    // A text that is no number leaves the default: tips are shown.
    bool isNumber = false;
    const int show = stored.trimmed().toInt(&isNumber);
    if (isNumber && show == 0) {
        m_closeAtOnce = true;
        return;
    }
    // Ticking the box writes the setting, so it reads "1" after every start
    // that shows tips. setChecked does not signal when already ticked.
    if (chkLoadTipsAtStartup->isChecked())
        chkLoadTipsAtStartup_Click();
    else
        chkLoadTipsAtStartup->setChecked(true);
    m_host.context().platform.random->seed(unsigned(m_host.context().platform.clock->now().toSecsSinceEpoch()));
    if (!LoadTips(m_host.context().programDir + u'/' + TipsFile)) {
        lblTipText->setText(tr("That the %1 file was not found? \r\n\r\nCreate a text file named %1 using NotePad "
                               "with 1 tip per line. Then place it in the same directory as the application. ")
                                .arg(TipsFile));
    }
}

bool frmTip::LoadTips(const QString &sFile)
{
    if (sFile.isEmpty() || !FileOperations::FileExists(sFile))
        return false;
    const auto lines = readTextLines(sFile);
    if (!lines)
        return false;
    m_tips.append(*lines);
    // The tip after the one last shown, so each start brings another one;
    // drawn at random the first time (or when the file has changed).
    bool isNumber = false;
    const int last = m_host.context().settings->read(settingApplication(), Options, LastTipKey).toInt(&isNumber);
    if (isNumber && last >= 1 && last <= m_tips.size()) {
        CurrentTip = last % int(m_tips.size()) + 1;
        DisplayCurrentTip();
    } else {
        DoNextTip();
    }
    return true;
}

void frmTip::DoNextTip()
{
    CurrentTip = int(m_host.context().platform.random->next() * m_tips.size() + 1);
    DisplayCurrentTip();
}

void frmTip::DisplayCurrentTip()
{
    if (m_tips.isEmpty() || CurrentTip < 1 || CurrentTip > m_tips.size())
        return;
    lblTipText->setText(m_tips.at(CurrentTip - 1));
    m_host.context().settings->write(settingApplication(), Options, LastTipKey, QString::number(CurrentTip));
}

void frmTip::cmdNextTip_Click()
{
    DoNextTip();
}

void frmTip::cmdOK_Click()
{
    close();
}

void frmTip::chkLoadTipsAtStartup_Click()
{
    m_host.context().settings->write(settingApplication(), Options, SettingKey,
                                     chkLoadTipsAtStartup->isChecked() ? QStringLiteral("1")
                                                                       : QStringLiteral("0"));
}

void frmTip::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
    FrmQuick *quick = m_host.frmQuick();
    quick->show();
    quick->raise();
}

} // namespace kestrova
