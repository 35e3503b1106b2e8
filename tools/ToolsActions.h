#pragma once

namespace kestrova {

class ActionRegistry;
class Host;

// The actions of the companion tools: the user-name window, the about box,
// the tour, the alarm window and the calendar.
void registerToolsActions(ActionRegistry &actions, Host &host);

} // namespace kestrova
