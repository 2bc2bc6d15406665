// The CAN bus screen: frame counters and rates, the interface's packet counts and the
// rate of fresh measurement sets.
#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "loopscreen.h"

namespace monitor {

// Frames per second of one counter, sampled every cycle and updated every fifth.
class FrameRate {
 public:
  void sample(int cycle, int counter);
  int perSecond() const { return rate_; }

 private:
  int rate_        = 0;
  int lastCounter_ = 0;
  bool seen_       = false;
};

// Changes of the update counter per cycle over the last up to 20 cycles, as Hz.
class RefreshRate {
 public:
  static constexpr int kCycles = 20;
  void addCycle(int changes);
  void print(std::FILE* out) const;

 private:
  std::array<int, kCycles> changes_{};
  int held_ = 0;
  int next_ = 0;
};

class CanScreen : public LoopScreen {
 public:
  void onPoll(const Poll& poll, std::FILE* out) override;

 private:
  Period period_{200};
  int cycle_            = 0;
  int changesThisCycle_ = 0;
  FrameRate tx_;
  FrameRate rx_;
  RefreshRate refresh_;
  std::string txPackets_;
  std::string rxPackets_;
};

}  // namespace monitor
