#pragma once

// The program's own windows, each opened through a run of the program the
// way the user opens it, one case per state worth looking at (each page of
// the options, the alarm with its options shown, the tour's pages).

#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmMain.h"
#include "FrmOpen.h"
#include "FrmQuick.h"
#include "FrmSearch.h"
#include "FrmTour.h"
#include "FrmUser.h"
#include "TestRun.h"
#include "frmAbout.h"
#include "frmTip.h"

#include <QComboBox>
#include <QList>
#include <QTabBar>

#include <functional>

namespace kestrova::test {

struct WindowCase {
    QString name;
    // Opens the window (loaded through the program where it is the
    // program's) and brings it to the state looked at.
    std::function<QWidget *(TestRun &)> open;
    // Escape: closes it (true) or leaves it open (false).
    bool escapeCloses = true;
    // Whether it has a default button Enter presses.
    bool hasDefault = false;
};

inline QWidget *optionsOn(TestRun &run, int tab, std::function<void(FrmMain *)> then = {})
{
    FrmMain *w = run.app->frmMain();
    w->show();
    w->TabStrip1->setCurrentIndex(tab);
    if (then)
        then(w);
    return w;
}

inline QList<WindowCase> cases()
{
    QList<WindowCase> out;
    // The options window, one case per page (tab order: Agent, Mail,
    // Accessories, My Office, Favourites, Jokes).
    out << WindowCase{"options: agent", [](TestRun &r) { return optionsOn(r, 0); }, true, false};
    out << WindowCase{"options: mail", [](TestRun &r) { return optionsOn(r, 1); }, true, true};
    out << WindowCase{"options: accessories", [](TestRun &r) { return optionsOn(r, 2); }, true, true};
    // Before an item is picked the first slot's boxes are on show, with
    // hints, and Update is the default for that slot.
    out << WindowCase{"options: office, nothing chosen", [](TestRun &r) { return optionsOn(r, 3); }, true, true};
    out << WindowCase{"options: favourites, nothing chosen", [](TestRun &r) { return optionsOn(r, 4); }, true, true};
    out << WindowCase{"options: office, an item chosen", [](TestRun &r) {
                    return optionsOn(r, 3, [](FrmMain *w) {
                        w->ComCustom->setCurrentIndex(2);
                        w->ComCustom_Click();
                    });
                }, true, true};
    out << WindowCase{"options: favourites, a link chosen", [](TestRun &r) {
                    return optionsOn(r, 4, [](FrmMain *w) {
                        w->ComboFav->setCurrentIndex(1);
                        w->ComboFav_Click();
                    });
                }, true, true};
    out << WindowCase{"options: jokes", [](TestRun &r) { return optionsOn(r, 5); }, true, true};
    out << WindowCase{"alarm", [](TestRun &r) {
                    FrmAlarm *w = r.app->frmAlarm();
                    w->show();
                    return static_cast<QWidget *>(w);
                }, true, true};
    out << WindowCase{"alarm with its options", [](TestRun &r) {
                    FrmAlarm *w = r.app->frmAlarm();
                    w->show();
                    w->CmdOptions_Click();
                    return static_cast<QWidget *>(w);
                }, true, true};
    out << WindowCase{"calendar", [](TestRun &r) {
                    QWidget *w = r.app->frmCalender();
                    w->show();
                    return w;
                }, true, false};
    out << WindowCase{"user", [](TestRun &r) {
                    QWidget *w = r.app->frmUser();
                    w->show();
                    return w;
                }, true, true};
    out << WindowCase{"open", [](TestRun &r) {
                    QWidget *w = r.app->frmOpen();
                    w->show();
                    return w;
                }, true, true};
    out << WindowCase{"search", [](TestRun &r) {
                    QWidget *w = r.app->frmSearch();
                    w->show();
                    return w;
                }, true, true};
    out << WindowCase{"tip of the day", [](TestRun &r) {
                    QWidget *w = r.app->tipWindow();
                    w->show();
                    return w;
                }, true, true};
    out << WindowCase{"about", [](TestRun &r) {
                    QWidget *w = r.app->aboutBox();
                    w->show();
                    return w;
                }, true, true};
    // Enter presses the button the keyboard is on ("Next" at first).
    out << WindowCase{"tour, first page", [](TestRun &r) { return static_cast<QWidget *>(r.app->frmTour()); }, true,
                true};
    out << WindowCase{"tour, setting up", [](TestRun &r) {
                    FrmTour *w = r.app->frmTour();
                    w->CmdCollection_Click(1);
                    w->CmdCollection_Click(1);
                    return static_cast<QWidget *>(w);
                }, true, true};
    // Closing the toolbar ends the program; a stray Escape must not.
    out << WindowCase{"quick launch", [](TestRun &r) {
                    QWidget *w = r.app->frmQuick();
                    w->show();
                    return w;
                }, false, false};
    return out;
}

} // namespace kestrova::test
