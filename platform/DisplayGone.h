#pragma once

#include <QString>

namespace kestrova::platform {

// When its connection to the X server breaks (the server died, or the
// session ended and took it away), Qt's X11 platform logs a warning and
// calls exit(). exit() runs the static destructors while the program's own
// threads go on: a voice still speaking the farewell writes into a table
// that is being freed, and the process aborts on a corrupted heap instead of
// ending. Nothing can be shown or asked once the display is gone, so the
// handler installed here ends the process right after that warning is
// logged, with the status Qt gives it, and runs no teardown.

// True for the warning Qt logs when the X11 connection broke.
bool tellsTheDisplayIsGone(const QString &message);

// Puts a handler in front of the one installed now that passes every message
// on and ends the process after the warning above. Call early in main, after
// the handler that makes log lines printable.
void endAtOnceWhenTheDisplayGoes();

} // namespace kestrova::platform
