// a_timerSim <simulated seconds> <minutes> [1]: the timer simulation stand-in. It plays
// <simulated seconds> of timer operation in <minutes> of real time (type 1 with the
// third argument), reporting its progress 0..100 in vxi_simulationprogress, and ends
// by itself or when the system state word reads 470.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "orxtags/handles.h"
#include "sharedmem/shmem.h"
#include "unitstore.h"
#include "sharedmem/tagaccess.h"

namespace {

constexpr int kProgress    = 1349;                    // vxi_simulationprogress, 0..100
constexpr int kSystemState = internal::kSystemState;  // 470 ends every program
constexpr int kStopWord    = 470;

void setProgress(int percent) {
  int ignored = 0;
  dbSetValueByHandle(kProgress, percent, &ignored);
}

bool positiveNumber(const char* text, int* value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (*end != '\0' || parsed <= 0 || parsed > 100000) return false;
  *value = static_cast<int>(parsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // progress lines reach the log as they happen
  int simulatedSeconds = 0;
  int minutes = 0;
  if (argc < 3 || !positiveNumber(argv[1], &simulatedSeconds) || !positiveNumber(argv[2], &minutes)) {
    std::fprintf(stderr, "Usage: %s <simulated seconds> <minutes> [1]\n", argv[0]);
    return 1;
  }
  const int type = argc > 3 ? std::atoi(argv[3]) : 0;
  if (!attachUnitStore(argv[0])) return 1;
  std::printf("timer simulation type %d: %d s in %d min\n", type, simulatedSeconds, minutes);
  const int realSeconds = minutes * 60;
  for (int elapsed = 0; elapsed <= realSeconds; ++elapsed) {
    if (dbReadValueByHandle(kSystemState) == kStopWord) break;
    setProgress(elapsed * 100 / realSeconds);
    if (elapsed < realSeconds) sleep(1);
  }
  std::printf("timer simulation ended\n");
  return 0;
}
