#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrova {

class Host;

// The window "User": the user types their name, the options window shows
// it, the settings keep it, and the character greets them by it at once.
// It keeps nothing itself; closing it destroys it.
class FrmUser : public QWidget {
    Q_OBJECT
public:
    explicit FrmUser(Host &host);

    void CmdOK_Click();
    void CmdCancel_Click();

    QLabel *LblName = nullptr;
    QLabel *LblDesc = nullptr;
    QLineEdit *TxtName = nullptr;
    QFrame *Line1 = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *CmdCancel = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Host &m_host;
};

} // namespace kestrova
