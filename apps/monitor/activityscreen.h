// The communication activity screen: which channels were active since the last look.
#pragma once

#include <array>
#include <cstdio>

namespace monitor {

class ActivityScreen {
 public:
  // Takes the activity bits that are set, clearing exactly those, and counts them.
  void sample();
  // Draws the channels; those active at the last sample in green.
  void print(std::FILE* out) const;

 private:
  unsigned lastBits_ = 0;
  std::array<int, 4> counts_{};  // looks with the bit set: web server, CAN bus, Modbus, UDP
};

int runActivityScreen(std::FILE* out);

}  // namespace monitor
