#pragma once

#include <QWidget>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrova {

class Host;

// The window "Set Alarm": edits the daily alarm, which the program's watch
// holds and rings. Each opening starts with empty fields; "Options" widens
// the window to reveal the words said before the event and "Test". What OK
// sets is kept in the settings for the next run; a time that is not one
// keeps the window open with the entries and says why.
class FrmAlarm : public QWidget {
    Q_OBJECT
public:
    explicit FrmAlarm(Host &host);

    void CmdOK_Click();
    void CmdCancel_Click();
    void ChkSilent_Click();
    void CmdOptions_Click();
    void CmdTest_Click();

    // The narrow width, and the least width that shows the options area
    // (4480 twips: 4480 / 1440 inch at 96 pixels an inch); wider when the
    // desktop's font needs it (wideWidth()).
    static constexpr int NarrowWidth = 200;
    static constexpr int BaseHeight = 206;
    static constexpr int WideWidth = 4480 * 96 / 1440;
    int wideWidth() const { return m_wideWidth; }

    QLabel *LblTime = nullptr;
    QLineEdit *TxtAlarmTime = nullptr;
    QLineEdit *TxtAlarmEvent = nullptr;
    QCheckBox *ChkSilent = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *CmdCancel = nullptr;
    QPushButton *CmdOptions = nullptr;
    QFrame *Line1 = nullptr;
    QGroupBox *FrmOptions = nullptr;
    QLineEdit *TxtAlarmSay = nullptr;
    QPushButton *CmdTest = nullptr;
    // Why the entry was refused; hidden until one is.
    QLabel *LblMessage = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void store();
    void refuse(const QString &why);
    Host &m_host;
    int m_wideWidth = WideWidth;
};

} // namespace kestrova
