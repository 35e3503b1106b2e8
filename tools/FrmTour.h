#pragma once

#include "Request.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

namespace kestrova {

class Host;
namespace character {
class Character;
}

// The window "Tour": four pages introducing the program, read aloud by the
// character standing beside the window. Closing it silences the character
// and sends it home. What the character says of a page belongs to it: it
// stops when another page is shown.
class FrmTour : public QWidget {
    Q_OBJECT
public:
    explicit FrmTour(Host &host);

    void Form_Load();
    // 0 "Back", 1 "Next", 2 "Cancel".
    void CmdCollection_Click(int index);
    void CmdOptions_Click();
    void CmdHelp_Click();

    // The page shown now, 0 to 3.
    int currentPage() const;

    QFrame *Framtour[4] = {};
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lblRead = nullptr;
    QLabel *LblJokes = nullptr;
    QLabel *lblNet = nullptr;
    QLabel *LblOpen = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *LblInterface = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *LblSettingUp = nullptr;
    QPushButton *CmdOptions = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *LblHelp = nullptr;
    QPushButton *CmdHelp = nullptr;
    QPushButton *CmdCollection[3] = {};
    // Shown on the last page in place of "Next": ends the tour.
    QPushButton *CmdFinish = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showOnly(int page);
    void updateButtons();
    // Queues the request as part of the page shown.
    void forPage(character::Request request);
    // The page changes: what the character has still to say of the page
    // left is not said.
    void leavePage();
    bool m_loaded = false;
    QList<character::Request> m_pageRequests; // queued for the page, not yet done
    QPointer<character::Character> m_watched;
    QMetaObject::Connection m_watch;
    Host &m_host;
};

} // namespace kestrova
