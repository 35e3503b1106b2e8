#include "frmAbout.h"

#include "Accessories.h"
#include "Addresses.h"
#include "Execute.h"
#include "FileOperations.h"
#include "Forms.h"
#include "Host.h"
#include "MessageBox.h"
#include "Shell.h"
#include "WindowKeys.h"

#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVersionNumber>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace kestrova {

namespace {

const QString AppTitle = QStringLiteral("Kestrova");

QFrame *divider(QWidget *parent, int k)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1_%1").arg(k));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

#ifdef Q_OS_WIN
// Reads one value under HKEY_LOCAL_MACHINE. The key is opened for reading
// only: an ordinary user may not open these keys with full access.
std::optional<QString> GetKeyValue(const QString &keyName, const QString &valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(keyName.utf16()), 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    QByteArray buffer(2048, '\0');
    DWORD size = DWORD(buffer.size());
    const LONG rc = RegQueryValueExA(key, valueName.toLocal8Bit().constData(), nullptr, &type,
                                     reinterpret_cast<BYTE *>(buffer.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return std::nullopt;
    return frmAbout::registryValueText(type, buffer.left(int(size)));
}
#endif

} // namespace

std::optional<QString> frmAbout::registryValueText(unsigned long type, const QByteArray &data)
{
    QByteArray bytes = data;
    if (type == 1) {
        // Up to the terminating zero, when the data carries one.
        if (bytes.endsWith('\0'))
            bytes.chop(1);
        return QString::fromLocal8Bit(bytes);
    }
    if (type == 4) {
        QString text = QStringLiteral("&h");
        for (qsizetype k = bytes.size() - 1; k >= 0; --k)
            text += QString::number(quint8(bytes.at(k)), 16);
        return text;
    }
    return std::nullopt;
}

QStringList frmAbout::sysInfoDesktopEntries()
{
    return {QStringLiteral("hardinfo.desktop"), QStringLiteral("org.kde.kinfocenter.desktop"),
            QStringLiteral("kinfocenter.desktop"), QStringLiteral("gnome-info-overview-panel.desktop"),
            QStringLiteral("gnome-system-monitor.desktop"), QStringLiteral("org.gnome.SystemMonitor.desktop"),
            QStringLiteral("xfce4-taskmanager.desktop"), QStringLiteral("lxtask.desktop")};
}

QString frmAbout::findSysInfo(const QStringList &applicationDirs)
{
#ifdef Q_OS_WIN
    Q_UNUSED(applicationDirs);
    if (const auto path = GetKeyValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                                      QStringLiteral("PATH")))
        return *path;
    if (const auto folder = GetKeyValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                                        QStringLiteral("MSINFO"))) {
        const QString path = *folder + QStringLiteral("\\MSINFO32.EXE");
        if (FileOperations::FileExists(path))
            return path;
    }
    return QString();
#else
    for (const QString &entry : sysInfoDesktopEntries())
        for (const QString &dir : applicationDirs) {
            const QString path = dir + u'/' + entry;
            if (FileOperations::FileExists(path))
                return path;
        }
    return QString();
#endif
}

frmAbout::frmAbout(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("frmAbout"));
    lblTitle = new QLabel(tr("Application Title"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    // The desktop's own face, larger.
    QFont title = font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    lblTitle->setFont(title);
    lblVersion = new QLabel(tr("Version"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(tr(
        "Kestrova puts a friendly character on your desktop that greets you, reads you your mail, "
        "reminds you of the time and opens your programs, files and web sites for you."), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDisclaimer = new QLabel(tr(
        "Copyright \u00a9 2026 the Kestrova developers. This program is provided as it is, without "
        "warranty of any kind; you use it at your own risk. Names of other products belong to their owners."),
        this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    QFont small = lblDisclaimer->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    lblDisclaimer->setFont(small);
    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    CmdEMail = new QPushButton(tr("&E-mail"), this);
    CmdEMail->setObjectName(QStringLiteral("CmdEMail"));
    cmdSysInfo = new QPushButton(tr("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(CmdEMail, &QPushButton::clicked, this, &frmAbout::CmdEMail_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    Line1[0] = divider(this, 0);
    Line1[1] = divider(this, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(CmdEMail);
    buttons->addWidget(cmdSysInfo);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(lblVersion);
    layout->addWidget(Line1[0]);
    layout->addWidget(lblDescription);
    layout->addWidget(Line1[1]);
    layout->addLayout(bottom);
    resize(440, sizeHint().height());
    WindowKeys::install(this, [this] { close(); });
}

void frmAbout::Form_Load()
{
    setWindowTitle(tr("About ") + AppTitle);
    const QVersionNumber version = QVersionNumber::fromString(QStringLiteral(KESTROVA_VERSION));
    lblVersion->setText(tr("Version ") + QString::number(version.majorVersion()) + u'.'
                        + QString::number(version.minorVersion()) + u'.'
                        + QString::number(version.microVersion()));
    lblTitle->setText(AppTitle);
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::CmdEMail_Click()
{
    Execute::ShellOpen(m_host, SupportAddress + QStringLiteral("?subject=Kestrova"));
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    const PlatformServices &platform = m_host.context().platform;
    const QString tool = findSysInfo(installedApplicationDirs());
    if (tool.isEmpty() || !platform.shell->open(tool))
        platform.messageBox->show(Unavailable, AppTitle);
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
}

} // namespace kestrova
