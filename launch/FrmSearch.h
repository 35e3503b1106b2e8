#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrova {

class Host;

// The window "Search": a phrase, one of eight engines, and "Search", which
// opens the engine's results in the web browser. Each opening chooses the
// first engine again.
class FrmSearch : public QWidget {
    Q_OBJECT
public:
    explicit FrmSearch(Host &host);

    void Form_Load();
    void OptEngine_Click(int index);
    void CmdSearch_Click(int index);

    QLabel *LblTitle = nullptr;
    QLabel *LblCaption = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *TxtQuery = nullptr;
    QRadioButton *OptEngine[8] = {};
    // The chosen engine's prefix field, as text; never shown.
    QLineEdit *TxtEngine = nullptr;
    QPushButton *CmdSearch[2] = {};

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Host &m_host;
};

} // namespace kestrova
