#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>

class QFrame;
class QLabel;
class QPushButton;

namespace kestrova {

class Host;

// The window "About Kestrova": title, version, a description and the legal
// notice, with buttons to write to support and to start the system's
// information tool.
class frmAbout : public QWidget {
    Q_OBJECT
public:
    explicit frmAbout(Host &host);

    void Form_Load();
    void cmdOK_Click();
    void CmdEMail_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    // Where the system information tool is: on Windows read from the
    // registry, elsewhere the first installed desktop entry of
    // sysInfoDesktopEntries() in the given folders. Empty when none.
    static QString findSysInfo(const QStringList &applicationDirs);
    static QStringList sysInfoDesktopEntries();

    // A registry value's data as text: a string (type 1) up to its end, a
    // double word (type 4) as "&h" and the hexadecimal digits of its bytes
    // from the last to the first. Nothing for any other type.
    static std::optional<QString> registryValueText(unsigned long type, const QByteArray &data);

    static inline const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *CmdEMail = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QFrame *Line1[2] = {};

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Host &m_host;
};

} // namespace kestrova
