#pragma once

#include "Request.h"

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <optional>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

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

    // For this long after the tour opens the character follows the window
    // where the window manager puts it (a tiling one floats and centres it
    // only after it is shown).
    static constexpr int PlacementWaitMs = 2000;
    // A place beside the window that differs from where the character was
    // sent by no more than this (the frame the window manager adds) is
    // where it goes already: it does not set off again.
    static constexpr int PlacementSlack = 48;
    // Whether the character still follows the window's placement.
    bool followsPlacement() const { return m_followPlacement; }

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
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // One thing the character does for the page shown, kept so that it can
    // be asked again.
    struct PageStep {
        enum Kind { Play, Speak } kind;
        QString what;
        character::Request request;
    };
    void showOnly(int page);
    void updateButtons();
    // Queues the step as part of the page shown.
    void forPage(PageStep::Kind kind, const QString &what);
    // The page changes: what the character has still to say of the page
    // left is not said.
    void leavePage();
    // Sends the character beside the window's frame as it is now.
    void aim();
    void placementChanged();
    // The window is somewhere else than it was when the character was sent:
    // the character goes beside it before doing what it still has to.
    void followPlacement();
    bool m_loaded = false;
    QList<PageStep> m_pageSteps; // queued for the page, not yet done
    character::Request m_aim;
    std::optional<QPoint> m_aimedAt;
    bool m_followPlacement = false;
    bool m_placementQueued = false;
    QTimer *m_placementWait = nullptr;
    QPointer<character::Character> m_watched;
    QMetaObject::Connection m_watch;
    Host &m_host;
};

} // namespace kestrova
