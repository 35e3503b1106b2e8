#pragma once

#include "Accessories.h"

#include <QWidget>

class QAction;
class QMenu;

namespace kestrova {

class Host;

// The character's popup menus: a window of their own, never shown, that owns
// the menu tree. Every entry runs a registered action by its id (the same
// handler the spoken command and the toolbar run); the handlers of the
// entries this module owns are here. The four top-level menus pop up at the
// mouse pointer; the user's entries follow the user's model.
class FrmMenus : public QWidget {
    Q_OBJECT
public:
    explicit FrmMenus(Host &host);
    ~FrmMenus() override;

    // Pops one of the four top-level menus up at the mouse pointer.
    void PopupMenu(QMenu *menu);

    void MnuACo_Click();
    void MnuChangeAgent_Click();
    void MnuVersion_Click();
    void MnuCalc_Click();
    void MnuCDPlayer_Click();
    void MnuWordpad_Click();
    void MnuNotepad_Click();

    // The spoken version: "point" is said between the numbers while the
    // balloon shows ".".
    static QString versionSentence(int major, int minor, int revision);

    QMenu *MnuGeneral = nullptr;
    QAction *MnuACo = nullptr;
    QAction *MnuChangeAgent = nullptr;
    QAction *MnuChangeUser = nullptr;
    QAction *MnuAbout = nullptr;
    QAction *MnuOptions = nullptr;
    QAction *MnuTour = nullptr;
    QAction *MnuVersion = nullptr;

    QMenu *MnuAccessories = nullptr;
    QAction *MnuAlarm = nullptr;
    QAction *MnuOpen = nullptr;
    QAction *MnuCalender = nullptr;
    QAction *MnuCalc = nullptr;
    QAction *MnuCDPlayer = nullptr;
    QAction *MnuWordpad = nullptr;
    QAction *MnuNotepad = nullptr;
    QAction *MnuAConfigure = nullptr;

    QMenu *MnuMyOffice = nullptr;
    // MnuOffice1 .. MnuOffice10 (element k is MnuOffice k+1).
    QAction *MnuOffice[10] = {};
    QMenu *MnuOutlook = nullptr;
    QAction *MnuUnreadMail = nullptr;
    QAction *MnuChkTasks = nullptr;
    QMenu *MnuWord = nullptr;
    QAction *MnuWordOpen = nullptr;
    QAction *MnuNewDoc = nullptr;
    QAction *MnuReadSel = nullptr;
    QAction *MnuOfficeConfigure = nullptr;

    QMenu *MnuWeb = nullptr;
    QAction *MnuCheckMail = nullptr;
    QAction *MnuEMail = nullptr;
    QAction *MnuSearch = nullptr;
    QMenu *MnuFavourites = nullptr;
    QAction *MnuKestrova = nullptr;
    // MnuCustom1 .. MnuCustom10 (element k is MnuCustom k+1).
    QAction *MnuCustom[10] = {};
    QAction *MnuConfigureFav = nullptr;

private:
    void StartAccessory(Accessory accessory);
    // The entry runs the registered action of that id.
    void runs(QAction *entry, const QString &id);
    void followModel();

    Host &m_host;
};

} // namespace kestrova
