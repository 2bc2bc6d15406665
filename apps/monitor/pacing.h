// The pace of every screen and its stop: a wait that ends early when the system state
// word asks every program to end.
#pragma once

namespace monitor {

// True when the system state word holds the stop value.
bool stopRequested();

// Waits the milliseconds, looking at the stop word at least every 10 ms; true when the
// stop word was seen (at once, or during the wait).
bool waitOrStop(int milliseconds);

}  // namespace monitor
