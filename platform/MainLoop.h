#pragma once

#include <QObject>

#include <functional>

namespace kestrova::MainLoop {

// Whether an event loop runs inside the program's main one: a dialog's
// exec(), a menu's, or a short wait of the program's own.
bool nested();

// Ends what waits for the user in an event loop of its own: open popup
// menus are closed, modal dialogs rejected (other modal windows closed),
// the topmost first, until none is left or one will not go. Each loop then
// returns once control comes back to it.
void endWaits();

// Runs fn once control is back in the main event loop: at once when no
// nested loop runs; else what waits for the user is ended and fn runs from
// the main loop, looked at again every few milliseconds until the nested
// loops have returned. Nothing runs once context is gone.
void whenBack(QObject *context, std::function<void()> fn);

// A wait of the program's own in a nested event loop, for an answer from
// another program: endWaits() ends it as it ends a dialog. The waiter asks
// ended() each time round and stops waiting once it says so.
class OwnWait {
public:
    OwnWait();
    bool ended() const;

private:
    unsigned m_endsBefore;
};

} // namespace kestrova::MainLoop
