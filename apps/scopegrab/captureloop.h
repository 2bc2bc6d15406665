// What starts the processing: a capture handed over by the signal processor, an external
// data log put into "/home/ftp", or a request to recalculate the last data log.
#pragma once

#include <csignal>

#include "scopegrab.h"

namespace scopegrab {

// One look at each source; true while this program is still the unit's scopegrab (the
// restart counter has not moved since startCount and the system runs).
bool captureLoopPass(ScopeGrab& scope, int startCount);

// Passes every 100 ms until stop is set, the system stops or database starts another scopegrab.
void runCaptureLoop(ScopeGrab& scope, const volatile std::sig_atomic_t& stop);

}  // namespace scopegrab
