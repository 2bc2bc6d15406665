#include "orxtags/handles.h"
#include "mainloop.h"

#include <unistd.h>

#include <cstdio>

#include "orxtime/clocktags.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "schedule.h"
#include "sharedmem/tagaccess.h"

namespace {

constexpr int kTimeTag        = tags::vxo_time;           // vxo_time
constexpr int kSystemState    = internal::kSystemState;  // system state word
constexpr int kSlotsPerSecond = 1398;                    // loop slots in the last second

constexpr int kFirstWaitSlot = 21;     // from this slot on the pass waits for the next second
constexpr int kLongestPassCount = 100;
constexpr int kWorkSleep = 100;        // µs after a pass that did significant work
constexpr int kBaseSleep = 30000;      // µs
constexpr int kLateSlotShortening = 10000;  // µs less from slot 20 on
constexpr int kLateSlotDivisor = 20;
constexpr int kMostSlots = 23;         // more slots than this: sleep longer
constexpr int kFewestSlots = 21;       // this many or fewer: sleep shorter
// µs the adjustment may reach before it stops growing, respectively shrinking. A pass
// that does little work needs about 17 ms of adjustment for 22 passes a second; with a
// growth bound of 9999 µs the tuning could stop short of that and stay at 24..27 passes.
constexpr int kGrowthBound = 29999;
constexpr int kShrinkBound = 9999;
constexpr int kSlowerStep = 150;       // µs per squared surplus slot
constexpr int kFasterStep = 250;       // µs per slot counted
constexpr int kFasterBase = 5500;      // µs
constexpr int64_t kSecondMs = 1000;
// A second counted longer than this means a host too slow to keep the second: the slots
// are then rated by the passes of a real second. Below it the usual tuning holds.
constexpr int64_t kSlowSecondMs = 1100;

template <typename Selected>
void runTasks(Daemon& daemon, Selected selected) {
  for (const ScheduledTask& task : loopSchedule()) {
    if (selected(task) && task.run(daemon)) daemon.workFlag = true;
  }
}

void shutdown(Daemon& daemon) {
  std::printf("[DEBUG] \33[31mSYSTEM_STOP\33[0m\n");
  daemon.modbus.release();
  orvix::platform::runShellCommand("sync");
  usleep(1);
  std::printf("exit db \n");
  std::fflush(stdout);
}

}  // namespace

void timeSync(Daemon& daemon, int64_t nowMs) {
  const int slots = daemon.slotCounter;
  const int64_t elapsedMs = daemon.lastNewSecondMs == 0 ? kSecondMs : nowMs - daemon.lastNewSecondMs;
  daemon.lastNewSecondMs = nowMs;
  if (slots > kMostSlots && daemon.sleepAdjustment <= kGrowthBound) {
    daemon.sleepAdjustment += (slots - kMostSlots) * (slots - kMostSlots) * kSlowerStep;
  } else if (slots <= kFewestSlots && daemon.sleepAdjustment >= -kShrinkBound) {
    // A loop slower than the clock still counts 21 slots, as it waits from slot 21 on;
    // the passes that fit one real second tell how much faster it has to run.
    const int passesPerSecond = elapsedMs > kSlowSecondMs ? static_cast<int>(slots * kSecondMs / elapsedMs) : slots;
    daemon.sleepAdjustment += passesPerSecond * kFasterStep - kFasterBase;
  }
  int ignored = 0;
  dbSetValueByHandle(kSlotsPerSecond, slots, &ignored);
  daemon.slotCounter = 0;
}

PassOutcome runPass(Daemon& daemon) {
  const int slot = daemon.slotCounter;
  if (slot >= kFirstWaitSlot) {
    if (cust_time(kTimeTag)) {
      timeSync(daemon, orvix::platform::monotonicMs());
      runTasks(daemon, [](const ScheduledTask& task) { return task.when.bits == kEachNewSecond.bits; });
    }
  } else {
    runTasks(daemon, [slot](const ScheduledTask& task) { return task.when.has(slot); });
  }
  runTasks(daemon, [](const ScheduledTask& task) { return task.when.bits == kEveryPass.bits; });

  PassOutcome outcome{dbReadValueByHandle(kSystemState) == kStopWord, 0};
  outcome.sleepMicros = daemon.workFlag ? kWorkSleep
                                        : daemon.sleepAdjustment + kBaseSleep - (slot / kLateSlotDivisor) * kLateSlotShortening;
  if (outcome.sleepMicros < 0) outcome.sleepMicros = 0;
  daemon.workFlag = false;
  ++daemon.slotCounter;
  if (daemon.passCounter < kLongestPassCount) ++daemon.passCounter;
  return outcome;
}

int runMainLoop(Daemon& daemon) {
  for (;;) {
    const PassOutcome outcome = runPass(daemon);
    if (outcome.stop) break;
    usleep(static_cast<useconds_t>(outcome.sleepMicros));
  }
  shutdown(daemon);
  return 0;
}
