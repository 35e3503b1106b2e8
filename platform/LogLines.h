#pragma once

#include <QString>

namespace kestrova::platform {

// What the program logs often carries text from outside: a microphone's
// name from the sound server, a mail server's answer, a setting typed by
// hand. Written as it came, an escape sequence in it would drive the
// terminal the log is read in, and a line break would forge a log line of
// its own. Every log line is therefore made printable on its way out.

// The text with each control character (C0, DEL, C1, and the bidirectional
// overrides and isolates that reorder what follows them) written as \xNN or
// \uNNNN; everything else as it was.
QString printableLogText(const QString &text);

// Puts a handler in front of the one installed now (Qt's own by default)
// that hands it every message made printable. Call once, early in main.
void installPrintableLogs();

} // namespace kestrova::platform
