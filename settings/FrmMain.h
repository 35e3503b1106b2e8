#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QStyle;
class QTabBar;

namespace kestrova {

class Host;

// The options window "Kestrova": six pages chosen by a tab strip, for the
// character, mail, accessories, office programs, favourites and jokes. A
// view of the user's things (UserModel): its load reads them from the store
// and the list files, its boxes edit the model's working copies, and its
// buttons store them. Nothing else reads its widgets. Created on first use,
// destroyed when closed; closing it sets the model back to what is stored.
class FrmMain : public QWidget {
    Q_OBJECT
public:
    explicit FrmMain(Host &host);
    ~FrmMain() override;

    // Pages, the elements of FrameOptions.
    enum Page { AccessoriesPage = 0, FavouritesPage = 1, MailPage = 2, AgentPage = 3,
                OfficePage = 4, JokesPage = 5, PageCount = 6 };

    void Form_Load();

    // Shows the page of the selected tab.
    void TabStrip1_Click();
    // Shows page k and hides the others; the tab strip is left as it is.
    void ShowPage(int page);

    // Character page.
    void CmdChangeAgent_Click(int index);
    void CmdRest_Click();
    // Jokes page.
    void ChkJokesOff_Click();
    void CmdJSave_Click();
    void CmdJokes_Click();

    // Accessories page.
    void SetAccessoriesMnu();
    void ChkCalc_Click();
    void ChkCD_Click();
    void ChkNotePad_Click();
    void ChkWordpad_Click();
    void BtnApply_Click();
    void BtnOK_Click();
    void BtnCancel_Click();

    // Favourites page.
    void LoadFavourites();
    // Returns whether the file was written.
    bool SaveFavourites();
    void SetFavouritesMenu();
    void ComboFav_Click();
    void CmdUpdate_Click();

    // Office page.
    void LoadOffice();
    bool SaveOffice();
    void SetOfficeMenu();
    void ComCustom_Click();
    void CmdOfficeBrowse_Click(int index);
    void CmdCustomSave_Click();

    // Mail page.
    // Runs one mail check with the account as the page shows it (the
    // program's mail checker, which the timer and the menus use too).
    void CmdCheck_Click();
    void CmdSave_Click();
    // Trusts the certificate the server last presented, or forgets the one
    // trusted; both for the server text as it stands.
    void CmdTrustCert_Click();
    void LoadMailSettings();

    // Where the two list files are read and written.
    QString favouritesPlace() const;
    QString officePlace() const;

    QTabBar *TabStrip1 = nullptr;
    QFrame *FrameOptions[PageCount] = {};
    QLabel *LblWelcome = nullptr;
    QLabel *LblUser = nullptr;
    QLabel *LblClock = nullptr;
    QStatusBar *StatusMain = nullptr;

    QPushButton *CmdRest = nullptr;
    QLabel *LblCurrent[4] = {};
    QPushButton *CmdChangeAgent[2] = {};

    QCheckBox *ChkJokesOff = nullptr;
    QLineEdit *TxtJokeSay = nullptr;
    QPushButton *CmdJSave = nullptr;
    QPushButton *CmdJokes = nullptr;

    QCheckBox *ChkCalc = nullptr;
    QCheckBox *ChkCD = nullptr;
    QCheckBox *ChkNotePad = nullptr;
    QCheckBox *ChkWordpad = nullptr;
    QPushButton *BtnOK = nullptr;
    QPushButton *BtnApply = nullptr;
    QPushButton *BtnCancel = nullptr;

    QComboBox *ComboFav = nullptr;
    QLabel *LblName[2] = {};
    QLineEdit *TxtSiteName[10] = {};
    QLineEdit *TxtSiteURL[10] = {};
    QPushButton *CmdUpdate = nullptr;

    QComboBox *ComCustom = nullptr;
    QLabel *Label5[2] = {};
    QLineEdit *TxtOfficeName[10] = {};
    QLineEdit *TxtOfficeCmd[10] = {};
    QPushButton *CmdOfficeBrowse[10] = {};
    QPushButton *CmdCustomSave = nullptr;

    QLabel *LblServer[3] = {};
    QLineEdit *TxtServer = nullptr;
    QLineEdit *TxtUser = nullptr;
    QLineEdit *TxtPass = nullptr;
    // Where the password is kept: the secret store, or the settings file.
    QLabel *LblPassStore = nullptr;
    // Plain-text log-on allowed for this server.
    QCheckBox *ChkPlainLogOn = nullptr;
    // The certificate the server presented and was refused, or the one
    // trusted, with the button that trusts or forgets it.
    QLabel *LblCertificate = nullptr;
    QPushButton *CmdTrustCert = nullptr;
    QLineEdit *TxtChkInterval = nullptr;
    QPushButton *CmdCheck = nullptr;
    QPushButton *CmdSave = nullptr;

    // Its height does not follow its width: the pages scroll in a view as
    // tall as the window gives it. (The wrapping status line would
    // otherwise have the window kept as tall as every part of it wants,
    // and it could not be made shorter to stand above or below the
    // character.)
    bool hasHeightForWidth() const override { return false; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showMailSecurity();
    void showUserName(const QString &name);
    // Sizes the window for its largest page, within the screen.
    void fitToScreen();
    // The tabs closer together while the window is too narrow for them
    // spaced as usual, so that they stay whole.
    void fitTabs();
    // Connects the boxes and labels to the user's model.
    void followModel();
    // Fills the boxes of a list (UserModel::List) from the model.
    void showList(int list);
    // The list's item k reads the slot's name, or its number when unnamed.
    void nameListItem(int list, int k);
    void buildAgentPage(QFrame *page);
    void buildJokesPage(QFrame *page);
    void buildAccessoriesPage(QFrame *page);
    void buildFavouritesPage(QFrame *page);
    void buildOfficePage(QFrame *page);
    void buildMailPage(QFrame *page);
    QString readSetting(const QString &section, const QString &key) const;
    bool writeSetting(const QString &section, const QString &key, const QString &text) const;

    Host &m_host;
    bool m_showsClock = false;
    // The tab strip's style with less room either side of each caption.
    QStyle *m_compactTabs = nullptr;
    // The open-file dialog offers the last pick of this window again.
    QString m_browseFileName;
};

} // namespace kestrova
