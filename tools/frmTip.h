#pragma once

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace kestrova {

class Host;

// The window "Tip of the Day", shown once at start-up after the greeting:
// one tip from TIPOFDAY.TXT beside the program, the one after the tip shown
// last (at random the first time); "Next Tip" draws one at random. Every way it
// ends (OK, the close box, or its load when tips are switched off) shows
// the quick toolbar.
class frmTip : public QWidget {
    Q_OBJECT
public:
    explicit frmTip(Host &host);

    void Form_Load();
    // Returns whether the file was read.
    bool LoadTips(const QString &sFile);
    void DisplayCurrentTip();
    void DoNextTip();
    void cmdNextTip_Click();
    void cmdOK_Click();
    void chkLoadTipsAtStartup_Click();

    // Set by the load when tips are switched off: the window closes at once
    // and is never shown.
    bool closesAtOnce() const { return m_closeAtOnce; }
    const QStringList &tips() const { return m_tips; }

    // The setting's place: section "Options", under the program file's name.
    static QString settingApplication();
    static inline const QString SettingKey = QStringLiteral("Show Tips at Startup");
    // The number of the tip shown last (from 1), in the same section.
    static inline const QString LastTipKey = QStringLiteral("Last Tip");
    static inline const QString TipsFile = QStringLiteral("TIPOFDAY.TXT");

    int CurrentTip = 0;
    QCheckBox *chkLoadTipsAtStartup = nullptr;
    QPushButton *cmdNextTip = nullptr;
    QPushButton *cmdOK = nullptr;
    QLabel *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblTipText = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Host &m_host;
    QStringList m_tips;
    bool m_closeAtOnce = false;
};

} // namespace kestrova
