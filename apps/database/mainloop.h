// The daemon's single-threaded loop: about 22 passes a second, each pass in a slot of
// the wall-clock second, resynchronised once a second.
#pragma once

#include <cstdint>

#include "daemon.h"

constexpr int kStopWord = 470;  // system state word 1101: every daemon ends its loop

struct PassOutcome {
  bool stop;        // the system state word asks every daemon to end
  int sleepMicros;  // sleep before the next pass
};

// One pass of the loop (slot work or the wait for the next second, the every-pass
// work, the stop check); advances the slot and pass counters.
PassOutcome runPass(Daemon& daemon);

// Once per new second (nowMs: monotonic ms) with the slots counted in the last second:
// tunes the sleep so that 22 or 23 passes fit a second, publishes the count in tag 1398
// and restarts the count.
void timeSync(Daemon& daemon, int64_t nowMs);

// Passes until the stop word, then the shutdown; the daemon's exit status.
int runMainLoop(Daemon& daemon);
