// The CAN bridge: walks the CAN map of the store once per measurement set and exchanges
// each mapped tag with the signal processor's registers by its direction.
#pragma once

#include "registers.h"

namespace dspsim {

// CAN map directions as the store keeps them.
enum CanDirection : int {
  kToSignalProcessor   = 1,  // the module's value
  kFromSignalProcessor = 2,  // the signal processor's value
  kBothWays            = 3,
};

struct LinkTraffic {
  int transmitted = 0;  // frames from the module to the signal processor
  int received    = 0;  // frames from the signal processor to the module
};

// One pass over all 400 CAN addresses:
//  direction 1: a tag value that differs from the last value is sent, and becomes the last value;
//  direction 2: the signal processor's value is written with the checked write; accepted, it
//               becomes the last value;
//  direction 3: a module change (tag differs from last value) goes out first; otherwise a value
//               the signal processor changed (differs from last value) is written into the tag.
// A value sent is cut to the entry's width (bit, 16-bit word).
LinkTraffic exchangeCanMap(DspRegisters& dsp);

// When the link comes up the signal processor takes every value of direction 1 and 3 as it
// stands in the store, as after a full download, so that nothing it never held flows back.
void adoptModuleValues(DspRegisters& dsp);

// The link comes up (adoptModuleValues) when the store's CAN map is first seen and again
// whenever the database has rebuilt the store since: a rebuild clears the CAN status byte,
// in which the bridge marks the store it has adopted. Otherwise a rebuilt store's zero last
// values would let the signal processor's old values, the run command among them, flow back
// into it. Call with a filled map; returns whether the link came up.
bool bringLinkUp(DspRegisters& dsp);

// Frame counters 1118/1119, activity bit 1 of 1116, and one count of the update counter
// 1120 and of the refresh counter 1122 for the fresh measurement set.
void publishLinkTraffic(const LinkTraffic& traffic);

}  // namespace dspsim
