#include "timers.h"

#include <chrono>
#include <cstdio>

#include "mastertags.h"
#include "platform/platform.h"
#include "sharedmem/tagaccess.h"

namespace master {

namespace {
constexpr auto kTick             = std::chrono::milliseconds(100);  // note resolution
constexpr int kTicksPerModeWatch = 5;                               // mode checked every 500 ms
}  // namespace

void MasterNotes::set(int note, int64_t nowMs) {
  const std::lock_guard lock(mutex_);
  int error = 0;
  dbSetValueByHandle(tag::vxi_masternotes, note, &error);
  clearAtMs_ = nowMs + kNoteShownMs;
}

void MasterNotes::expire(int64_t nowMs) {
  const std::lock_guard lock(mutex_);
  if (clearAtMs_ == 0 || nowMs < clearAtMs_) return;
  int error = 0;
  dbSetValueByHandle(tag::vxi_masternotes, kNoteNone, &error);
  clearAtMs_ = 0;
}

TimerThread::TimerThread(MasterNotes& notes) : notes_(notes), thread_([this](std::stop_token stop) { run(stop); }) {}

void TimerThread::run(std::stop_token stop) {
  // The mode seen at start is not a change: a restart never sends a mode by itself.
  int lastMode = dbReadValueByHandle(tag::vxo_mastermode);
  for (int tick = 1; !stop.stop_requested(); ++tick) {
    std::this_thread::sleep_for(kTick);
    notes_.expire(orvix::platform::monotonicMs());
    if (tick % kTicksPerModeWatch != 0) continue;
    const int mode = dbReadValueByHandle(tag::vxo_mastermode);
    if (mode != lastMode) {
      std::printf("master node changed %d %d\n", mode, lastMode);
      int error = 0;
      dbSetValueByHandle(tag::vxo_mastermodecmd, 1, &error);
      lastMode = mode;
    }
  }
}

}  // namespace master
