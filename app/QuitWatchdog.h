#pragma once

namespace kestrova::QuitWatchdog {

// The last word on quitting: once the program has been asked to end (the
// quit command, a closed toolbar, SIGTERM or SIGINT), the process ends within
// limitMs, whatever it still waits for (a word processor that does not
// answer, a voice engine, a thread that does not stop). The farewell has its
// own, shorter deadline; this one is for the end after it. Settings are
// written at once and atomically, so ending here loses nothing.
//
// Started once by the program; until then arm() does nothing (the tests'
// quits end no process).
void start(int limitMs);

// The program has been asked to end; from now on it has limitMs. Safe to
// call from a signal handler, and more than once: the first call counts.
void arm() noexcept;

// Milliseconds since the first arm(); 0 before it, and when not started.
// The farewell's deadline counts from there, so that an event loop that was
// busy when a signal came does not make the end later.
int sinceArmedMs() noexcept;

} // namespace kestrova::QuitWatchdog
