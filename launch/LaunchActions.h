#pragma once

namespace kestrova {

class ActionRegistry;
class Host;

// The actions the popup menus and the launchers own: the four top-level
// menus, help, the character options, the accessories, the word processor,
// web search, open/run, a new mail, the home page, and the user's office
// programs ("office:0" .. "office:9") and favourite sites ("favourite:0" ..
// "favourite:9").
void registerLaunchActions(ActionRegistry &actions, Host &host);

} // namespace kestrova
