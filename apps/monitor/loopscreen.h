// The screens that share the main loop: it polls the update counter every 2 ms and hands
// each poll to the screen, which redraws at its own pace.
#pragma once

#include <cstdint>
#include <cstdio>

namespace monitor {

struct Poll {
  int64_t nowMs = 0;      // monotonic milliseconds
  bool updated  = false;  // the update counter changed since the previous poll
  bool first    = false;  // the first poll: draw at once, even on an idle unit
};

class LoopScreen {
 public:
  virtual ~LoopScreen()                                 = default;
  virtual void onPoll(const Poll& poll, std::FILE* out) = 0;
};

// Polls until the stop word; the exit status.
int runMainLoop(LoopScreen& screen, std::FILE* out);

// A fixed period on the monotonic clock: due once per period, never twice for one.
class Period {
 public:
  explicit Period(int ms) : ms_(ms) {}
  bool due(int64_t nowMs) {
    if (nowMs < next_) return false;
    next_ = nowMs + ms_;
    return true;
  }

 private:
  int ms_;
  int64_t next_ = 0;
};

}  // namespace monitor
