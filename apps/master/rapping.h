// Rapping requests of the four I/O groups, sent to the units that drive the rappers.
#pragma once

#include <cstdint>

namespace master {

constexpr int kRappingEntries = 4;

// Rapping groups to switch on and off at one node (bit g - 1 for group g).
struct RappingEntry {
  int node;
  uint32_t onMask;
  uint32_t offMask;
};

// Request states of internal tags 1332..1336.
enum RappingState : int {
  kRappingIdle     = 0,
  kRappingOffAsked = 1,
  kRappingOnAsked  = 2,
  kRappingSent     = 3,
};

class RappingRequests {
 public:
  // Takes the pending requests (marking them sent) into entries merged per node; the
  // number of entries.
  int collect(RappingEntry (&entries)[kRappingEntries]);

 private:
  bool switchedOn_[kRappingEntries] = {};  // the last request sent for the group was "on"
};

}  // namespace master
