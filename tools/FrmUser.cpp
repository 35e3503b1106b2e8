#include "FrmUser.h"

#include "CharacterRef.h"
#include "Forms.h"
#include "UserModel.h"
#include "Host.h"
#include "SettingsStore.h"
#include "SpeechText.h"
#include "WindowKeys.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova {

FrmUser::FrmUser(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmUser"));
    setWindowTitle(tr("User"));

    LblName = new QLabel(tr("Change User"), this);
    LblName->setObjectName(QStringLiteral("LblName"));
    // The desktop's own face, larger.
    QFont heading = font();
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    heading.setBold(true);
    LblName->setFont(heading);
    LblDesc = new QLabel(tr("Enter your &name in the text field and click OK"), this);
    LblDesc->setObjectName(QStringLiteral("LblDesc"));
    TxtName = new QLineEdit(this);
    TxtName->setObjectName(QStringLiteral("TxtName"));
    LblDesc->setBuddy(TxtName);
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    CmdOK = new QPushButton(tr("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    CmdCancel = new QPushButton(tr("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    connect(CmdOK, &QPushButton::clicked, this, &FrmUser::CmdOK_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &FrmUser::CmdCancel_Click);
    // Enter presses "OK" (from the name box too), Escape "Cancel".
    WindowKeys::install(this, [this] { CmdCancel->click(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LblName);
    layout->addWidget(LblDesc);
    layout->addWidget(TxtName);
    layout->addWidget(Line1);
    layout->addLayout(buttons);
    resize(360, sizeHint().height());
}

void FrmUser::CmdOK_Click()
{
    // The name exactly as typed: blanks stay, an empty name is a name.
    const QString name = TxtName->text();
    // Kept for the run and stored; the options window follows.
    UserModel &model = m_host.model();
    model.setUserName(name);
    m_host.agent().Play(QStringLiteral("Greet"));
    m_host.agent().Speak(tr("Hello %1; my name is %2")
                             .arg(character::outsideText(model.userName()), m_host.agent().Name()));
    close();
}

void FrmUser::CmdCancel_Click()
{
    close();
}

void FrmUser::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
}

} // namespace kestrova
