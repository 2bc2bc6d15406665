// The spark screen: the highest pulse current and voltage of each of the last 25 sparks.
#pragma once

#include <array>
#include <cstdio>

namespace monitor {

class SparkRing {
 public:
  static constexpr int kSlots = 25;

  // One look at the spark counter and the measurements: a changed counter opens the next
  // slot; the current slot keeps the highest values seen.
  void sample(int sparkCounter, int pulseCurrent, int voltageTenths);
  void print(std::FILE* out) const;

 private:
  struct Slot {
    bool used            = false;
    int maxCurrent       = 0;  // mA
    int maxVoltageTenths = 0;  // 0.1 kV
  };
  std::array<Slot, kSlots> slots_{};
  int current_      = 0;
  bool counterSeen_ = false;
  int lastCounter_  = 0;
  int sparksSeen_   = 0;
};

// Runs the screen until the stop word; the exit status.
int runSparkScreen(std::FILE* out);

}  // namespace monitor
