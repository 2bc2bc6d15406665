#include "limiterscreen.h"

#include "monitortags.h"
#include "sharedmem/shmem.h"
#include "tagvalue.h"
#include "terminal.h"

namespace monitor {

namespace {

// clang-format off
constexpr const char* kLimiterLabels[kLimiterCodes] = {
    // code label
    /*  0 */ "off",
    /*  1 */ "none",
    /*  2 */ "average current",
    /*  3 */ "primary current",
    /*  4 */ "volt peak",
    /*  5 */ "igniton angle",
    /*  6 */ "spark",
    /*  7 */ "rapping",
    /*  8 */ "opacity optimization",
    /*  9 */ "pulse current",
    /* 10 */ "kora",
    /* 11 */ "vi measurment",
    /* 12 */ "empty",
    /* 13 */ "arc",
};
// clang-format on

constexpr int kWindowSeconds[LimiterStats::kWindows] = {15, 200, 900};  // ticks at which each window closes

bool validCode(int code) { return code >= 0 && code < kLimiterCodes; }

}  // namespace

void LimiterStats::count(int code) {
  if (!validCode(code)) return;
  ++overall_[static_cast<size_t>(code)];
  ++overallTotal_;
  for (int w = 0; w < kWindows; ++w) {
    ++windows_[static_cast<size_t>(w)][static_cast<size_t>(code)];
    ++windowTotals_[static_cast<size_t>(w)];
  }
}

void LimiterStats::tick(int secondsOfDay) {
  if (lastTick_ < 0 || secondsOfDay == lastTick_) {
    lastTick_ = secondsOfDay;
    return;
  }
  for (int w = 0; w < kWindows; ++w) {
    const int period = kWindowSeconds[w];
    // Passed a multiple of the period; at midnight the tick goes back to 0, which closes
    // every window too.
    if (secondsOfDay / period == lastTick_ / period) continue;
    Counts& counts  = windows_[static_cast<size_t>(w)];
    const int total = windowTotals_[static_cast<size_t>(w)];
    for (int code = 0; code < kLimiterCodes; ++code) {
      shares_[static_cast<size_t>(w)][static_cast<size_t>(code)] =
          total ? counts[static_cast<size_t>(code)] * 100 / total : 0;
    }
    counts.fill(0);
    windowTotals_[static_cast<size_t>(w)] = 0;
  }
  lastTick_ = secondsOfDay;
}

int LimiterStats::overallHundredths(int code) const {
  if (!validCode(code) || overallTotal_ == 0) return 0;
  return static_cast<int>(static_cast<long long>(overall_[static_cast<size_t>(code)]) * 10000 / overallTotal_);
}

void LimiterStats::print(std::FILE* out, int activeCode) const {
  std::fputs("Limiter-------------------------30-sec--5-min---2-hour-\n", out);
  for (int code = 0; code < kLimiterCodes; ++code) {
    const int share = overallHundredths(code);
    std::fprintf(out, "%-20s %c %3d.%02d %7d %6d %9d\n", kLimiterLabels[code], code == activeCode ? '+' : ' ',
                 share / 100, share % 100, windowPercent(0, code), windowPercent(1, code), windowPercent(2, code));
  }
}

void LimiterScreen::onPoll(const Poll& poll, std::FILE* out) {
  stats_.tick(status(handles::kTick));
  if (poll.updated && tron_.value() == 1) stats_.count(limiter_.value());
  if (!poll.updated && !poll.first) return;
  beginRedraw(out);
  stats_.print(out, limiter_.value());
  std::fflush(out);
}

}  // namespace monitor
