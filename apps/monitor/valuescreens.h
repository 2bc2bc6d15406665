// The value screens: the basic four values, and the extended screen with now, minimum and
// maximum of the main measurements, the half-wave currents, the spark counts and the
// one-minute averages. Both redraw at each fresh measurement set.
#pragma once

#include <array>
#include <cstdint>

#include "loopscreen.h"
#include "tagvalue.h"

namespace monitor {

// The mean of the per-second samples of the last minute, and where the value is heading.
class MinuteAverage {
 public:
  static constexpr int kSeconds = 60;
  void add(int sample);
  int mean() const;           // same scale as the samples, rounded
  char trend(int now) const;  // '^' above the mean, 'v' below, '=' on it

 private:
  std::array<int, kSeconds> samples_{};
  int held_ = 0;
  int next_ = 0;
};

class ValueScreen : public LoopScreen {
 public:
  explicit ValueScreen(bool extended);
  void onPoll(const Poll& poll, std::FILE* out) override;

  static constexpr int kRows = 14;

 private:
  struct Range {
    bool seen   = false;
    int minimum = 0;
    int maximum = 0;
  };
  void printBasic(std::FILE* out) const;
  void printExtended(std::FILE* out);

  bool extended_;
  std::array<Range, kRows> ranges_{};
  Period second_{1000};
  std::array<MinuteAverage, 3> minute_{};  // kV, mA, kW
};

}  // namespace monitor
