#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrova {

class Host;

// The window "Open/Run File": a path typed or found by browsing, opened
// through the shell with "OK" (a program starts, a document opens in its
// program). Nothing is kept: each opening starts with an empty box. What
// cannot be opened keeps the window and its text, with the reason below.
class FrmOpen : public QWidget {
    Q_OBJECT
public:
    explicit FrmOpen(Host &host);

    // 0 "OK", 1 "Browse", 2 "Cancel".
    void CmdButton_Click(int index);

    QLabel *LblTitle = nullptr;
    QLabel *LblDesc = nullptr;
    QLineEdit *TxtOpen = nullptr;
    QPushButton *CmdButton[3] = {};
    // Why the text could not be opened; hidden until then.
    QLabel *LblMessage = nullptr;

    // What the user is told when the text could not be opened.
    static QString whyNotOpened(const QString &target);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Host &m_host;
};

} // namespace kestrova
