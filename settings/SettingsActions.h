#pragma once

namespace kestrova {

class ActionRegistry;
class Host;

// The actions the options window owns: showing it (on the page it shows, or
// on the accessories, office or favourites page) and checking the mail.
void registerSettingsActions(ActionRegistry &actions, Host &host);

} // namespace kestrova
