// The limiters daemon's work on the tag store: the reset events, the spark and arc events
// added to the counts, the collection and clearing of the counts every 10 seconds and the
// published statistics.
#pragma once

#include <array>

#include "limitertags.h"
#include "statistics.h"

namespace limiters {

constexpr int kRowSeconds = 10;

// Writes the known test pattern into every result tag.
void writeTestValues();
// Sets every per-code count to 0.
void clearCounts();

class Limiters {
 public:
  // Empty statistics, results 0, reset edges taken from their tags as they are now.
  void initLimiters();
  // One pass of the main loop at this seconds-of-day tick.
  void pass(int tick);

 private:
  bool resetEventOccurred();
  void addEvents();
  Counts takeCounts();
  void publish() const;

  LimiterStatistics statistics_;
  // Reset edges
  int lastTron_    = 0;
  int lastRapping_ = 0;
  std::array<int, kTimers> lastTimer_{};
  // Event counters at the previous row, known from the first row on
  bool eventsKnown_ = false;
  int lastArc_      = 0;
  int lastSpark_    = 0;
  int lastDouble_   = 0;
};

// Start-up and main loop until the system stop word; returns when it is seen. With test
// values they stand in the result tags until the first row replaces them.
void run(Limiters& limiters, bool testValues);

}  // namespace limiters
