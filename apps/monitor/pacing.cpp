#include "pacing.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "monitortags.h"
#include "platform/platform.h"
#include "sharedmem/shmem.h"

namespace monitor {

namespace {
constexpr int kStopLookMs = 10;  // longest sleep between two looks at the stop word
}

bool stopRequested() { return status(handles::kSystemState) == handles::kStopValue; }

bool waitOrStop(int milliseconds) {
  const int64_t end = orvix::platform::monotonicMs() + milliseconds;
  for (;;) {
    if (stopRequested()) return true;
    const int64_t left = end - orvix::platform::monotonicMs();
    if (left <= 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(left, kStopLookMs)));
  }
}

}  // namespace monitor
