#include "FrmOpen.h"

#include "Execute.h"
#include "Forms.h"
#include "Host.h"
#include "OpenFileDialog.h"
#include "WindowKeys.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova {

FrmOpen::FrmOpen(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmOpen"));
    setWindowTitle(QStringLiteral("Open/Run File"));
    LblTitle = new QLabel(QStringLiteral("Open a file or Program."), this);
    LblTitle->setObjectName(QStringLiteral("LblTitle"));
    // The desktop's own face, larger.
    QFont heading = font();
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    heading.setBold(true);
    LblTitle->setFont(heading);
    LblDesc = new QLabel(QStringLiteral("Enter the &path to the file or program or click browse to find it."), this);
    LblDesc->setObjectName(QStringLiteral("LblDesc"));
    LblDesc->setWordWrap(true);
    TxtOpen = new QLineEdit(this);
    TxtOpen->setObjectName(QStringLiteral("TxtOpen"));
    LblDesc->setBuddy(TxtOpen);
    static const char *const captions[3] = {"OK", "&Browse", "Cancel"};
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int k = 0; k < 3; ++k) {
        CmdButton[k] = new QPushButton(QString::fromLatin1(captions[k]), this);
        CmdButton[k]->setObjectName(QStringLiteral("CmdButton%1").arg(k));
        connect(CmdButton[k], &QPushButton::clicked, this, [this, k] { CmdButton_Click(k); });
        buttons->addWidget(CmdButton[k]);
    }
    CmdButton[0]->setDefault(true);
    setTabOrder(TxtOpen, CmdButton[0]);
    setTabOrder(CmdButton[0], CmdButton[1]);
    setTabOrder(CmdButton[1], CmdButton[2]);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LblTitle);
    layout->addWidget(LblDesc);
    layout->addWidget(TxtOpen);
    layout->addLayout(buttons);
    resize(400, sizeHint().height());
    TxtOpen->setFocus();
    // Enter presses "OK", Escape "Cancel".
    WindowKeys::install(this, [this] { CmdButton[2]->click(); });
}

void FrmOpen::CmdButton_Click(int index)
{
    if (index == 2) {
        close();
    } else if (index == 1) {
        const QString chosen = m_host.context().platform.openFileDialog->getOpenFileName(
            QStringLiteral("Select a file to open"),
            QStringLiteral("Executable Files (*.exe)|*.exe") + QStringLiteral("|All Files (*.*)|*.*"),
            QString());
        if (!chosen.isEmpty())
            TxtOpen->setText(chosen);
    } else if (index == 0) {
        // The whole text as typed is the target.
        Execute::ShellOpen(m_host, TxtOpen->text());
        close();
    }
}

void FrmOpen::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
}

} // namespace kestrova
