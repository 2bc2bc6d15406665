#include "loopscreen.h"

#include "monitortags.h"
#include "pacing.h"
#include "platform/platform.h"
#include "sharedmem/shmem.h"

namespace monitor {

namespace {
constexpr int kPollMs = 2;
}

int runMainLoop(LoopScreen& screen, std::FILE* out) {
  int lastUpdate = status(handles::kUpdateCounter);
  bool first     = true;
  do {
    const int update = status(handles::kUpdateCounter);
    screen.onPoll(Poll{orvix::platform::monotonicMs(), update != lastUpdate, first}, out);
    first      = false;
    lastUpdate = update;
  } while (!waitOrStop(kPollMs));
  return 0;
}

}  // namespace monitor
