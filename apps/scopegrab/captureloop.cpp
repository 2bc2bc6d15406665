#include "captureloop.h"

#include <sys/shm.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "scopecapture/capturefile.h"
#include "scopetags.h"

namespace scopegrab {

bool captureLoopPass(ScopeGrab& scope, int startCount) {
  if (readTag(internal::kSystemState) == internal::kStopSystemState) return false;
  // A removed store is a unit that has stopped; a scopegrab that database restarted is
  // no child of whoever stopped it.
  if (shmget(orvix::platform::shmKey(), 0, 0) < 0) return false;
  // database counts a restart before it starts the new scopegrab: this one makes way.
  if (readTag(internal::kRestartCounter) != startCount) return false;
  std::string problem;
  switch (scope::takeCapture(scope.capture(), problem)) {
    case scope::TakeResult::kTaken:
      writeTag(internal::kBadMeasurement, 1);
      scope.SaveToFile(kFreshCapture);
      break;
    case scope::TakeResult::kRefused:
      std::fprintf(stderr, "scopegrab: capture refused: %s\n", problem.c_str());
      break;
    case scope::TakeResult::kNone:
      break;
  }
  if (orvix::platform::fileExists(kExternalDataLog)) {
    scope.LoadFile(false);
  } else if (readTag(tag::vxo_recalculate) != 0) {
    writeTag(tag::vxo_recalculate, 0);
    scope.LoadFile(true);
  }
  return true;
}

// A capture takes more than a second to arrive; a tenth of one more to notice it costs
// nothing, while a finer poll would keep a host of many units busy.
constexpr auto kPassPeriod = std::chrono::milliseconds(100);

void runCaptureLoop(ScopeGrab& scope, const volatile std::sig_atomic_t& stop) {
  const int startCount = readTag(internal::kRestartCounter);
  while (stop == 0 && captureLoopPass(scope, startCount)) {
    std::this_thread::sleep_for(kPassPeriod);
  }
}

}  // namespace scopegrab
