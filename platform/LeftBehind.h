#pragma once

namespace kestrova::platform {

// Work the program stopped waiting for and left to run on its own thread
// (a voice list still being made when the program ends, an engine that does
// not answer). Such a thread may still run code of the libraries the
// process would tear down at its normal exit; the program's end asks
// leftBehind() and, when any was, ends the process at once instead.
// Any thread may call both.
void noteLeftBehind() noexcept;
// How many were left behind so far.
int leftBehind() noexcept;

} // namespace kestrova::platform
