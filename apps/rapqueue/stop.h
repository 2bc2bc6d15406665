// When rapqueue's loops end, and pauses that end early when they do.
#pragma once

namespace rapqueue {

// Internal tag 1375 non-zero, or the system stop word.
bool stopRequested();
// Sleeps ms milliseconds, or less when a stop is requested meanwhile.
void pause(int ms);

}  // namespace rapqueue
