// The limiter statistics screen: which limiter held the current, overall and over the
// last 30 seconds, 5 minutes and 2 hours.
#pragma once

#include <array>
#include <cstdio>

#include "loopscreen.h"
#include "tagvalue.h"

namespace monitor {

inline constexpr int kLimiterCodes = 14;

class LimiterStats {
 public:
  static constexpr int kWindows = 3;

  // One fresh measurement set with the T/R set on: the active code counted.
  void count(int code);
  // The tick (seconds of day) moved: a window whose period boundary was passed closes.
  void tick(int secondsOfDay);
  void print(std::FILE* out, int activeCode) const;

  int overallHundredths(int code) const;  // 0.01 % of every set counted
  int windowPercent(int window, int code) const {
    return shares_[static_cast<size_t>(window)][static_cast<size_t>(code)];
  }

 private:
  using Counts = std::array<int, kLimiterCodes>;
  Counts overall_{};
  int overallTotal_ = 0;
  std::array<Counts, kWindows> windows_{};
  std::array<int, kWindows> windowTotals_{};
  std::array<Counts, kWindows> shares_{};  // percent, from the last closed window
  int lastTick_ = -1;
};

class LimiterScreen : public LoopScreen {
 public:
  void onPoll(const Poll& poll, std::FILE* out) override;

 private:
  LimiterStats stats_;
  NamedTag tron_{"vxo_tron"};
  NamedTag limiter_{"vxi_limiter"};
};

}  // namespace monitor
