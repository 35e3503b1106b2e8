#include "FrmOpen.h"

#include "Execute.h"
#include "Forms.h"
#include "Host.h"
#include "OpenFileDialog.h"
#include "Shell.h"
#include "WindowKeys.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova {

FrmOpen::FrmOpen(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmOpen"));
    setWindowTitle(tr("Open/Run File"));
    LblTitle = new QLabel(tr("Open a file or Program."), this);
    LblTitle->setObjectName(QStringLiteral("LblTitle"));
    // The desktop's own face, larger.
    QFont heading = font();
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    heading.setBold(true);
    LblTitle->setFont(heading);
    LblDesc = new QLabel(tr("Enter the &path to the file or program or click browse to find it."), this);
    LblDesc->setObjectName(QStringLiteral("LblDesc"));
    LblDesc->setWordWrap(true);
    TxtOpen = new QLineEdit(this);
    TxtOpen->setObjectName(QStringLiteral("TxtOpen"));
    LblDesc->setBuddy(TxtOpen);
    static const char *const captions[3] = {QT_TR_NOOP("OK"), QT_TR_NOOP("&Browse"), QT_TR_NOOP("Cancel")};
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int k = 0; k < 3; ++k) {
        CmdButton[k] = new QPushButton(tr(captions[k]), this);
        CmdButton[k]->setObjectName(QStringLiteral("CmdButton%1").arg(k));
        connect(CmdButton[k], &QPushButton::clicked, this, [this, k] { CmdButton_Click(k); });
        buttons->addWidget(CmdButton[k]);
    }
    CmdButton[0]->setDefault(true);
    setTabOrder(TxtOpen, CmdButton[0]);
    setTabOrder(CmdButton[0], CmdButton[1]);
    setTabOrder(CmdButton[1], CmdButton[2]);
    LblMessage = new QLabel(this);
    LblMessage->setObjectName(QStringLiteral("LblMessage"));
    LblMessage->setWordWrap(true);
    LblMessage->setTextFormat(Qt::PlainText);
    LblMessage->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LblTitle);
    layout->addWidget(LblDesc);
    layout->addWidget(TxtOpen);
    layout->addWidget(LblMessage);
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
            tr("Select a file to open"),
            QStringLiteral("Executable Files (*.exe)|*.exe") + QStringLiteral("|All Files (*.*)|*.*"),
            QString());
        if (!chosen.isEmpty())
            TxtOpen->setText(chosen);
    } else if (index == 0) {
        // The whole text as typed is the target.
        const QString target = TxtOpen->text();
        Shell *shell = m_host.context().platform.shell;
        if (target.isEmpty() || (shell && shell->open(target))) {
            close();
            return;
        }
        // Not opened: the window stays with the text for the user to put
        // right, and says why.
        LblMessage->setText(whyNotOpened(target));
        LblMessage->show();
        layout()->activate();
        resize(width(), std::max({height(), sizeHint().height(), heightForWidth(width())}));
        layout()->activate();
        TxtOpen->setFocus(Qt::OtherFocusReason);
        Execute::ReportFailedLaunch(m_host, target, shell ? shell->lastFailure() : OpenFailure::NoProgram);
    }
}

QString FrmOpen::whyNotOpened(const QString &target)
{
    QString path = target;
    if (path == u"~" || path.startsWith(QStringLiteral("~/")))
        path.replace(0, 1, QDir::homePath());
    const QFileInfo file(path);
    // A long path is shown by its two ends, so the window keeps its width.
    const QString shown = target.size() <= 48 ? target : target.left(20) + QStringLiteral("\u2026") + target.right(27);
    if (path.contains(u'/') && !path.contains(QStringLiteral("://"))) {
        if (!file.exists())
            return tr("There is no file or folder at \u201c%1\u201d.").arg(shown);
        return tr("\u201c%1\u201d is there, but no program could open it.").arg(shown);
    }
    return tr("No file, folder, address or program called \u201c%1\u201d was found.").arg(shown);
}

void FrmOpen::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
}

} // namespace kestrova
