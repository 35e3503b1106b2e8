#include "ToolsActions.h"

#include "Actions.h"
#include "FrmAlarm.h"
#include "FrmCalender.h"
#include "FrmTour.h"
#include "FrmUser.h"
#include "Host.h"
#include "frmAbout.h"

namespace kestrova {

void registerToolsActions(ActionRegistry &actions, Host &host)
{
    Host *h = &host;
    actions.add({"ChangeUser", "Change User", "[change|new|different]user", false, false,
                 [h] { h->frmUser()->show(); }});
    actions.add({"About", "About", "[show|open|run]about[dialog|window]", false, false,
                 [h] { h->aboutBox()->show(); }});
    actions.add({"Tour", "Tour", QString(), false, false, [h] { h->frmTour()->show(); }});
    actions.add({"Alarm", "Alarm", "[show|open|set]alarm[window|dialog]", false, false,
                 [h] { h->frmAlarm()->show(); }});
    actions.add({"Calender", "Calender", "[show|open|run]calender[window|dialog]", false, false,
                 [h] { h->frmCalender()->show(); }});
}

} // namespace kestrova
