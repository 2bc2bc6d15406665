#include "stop.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "schedulertimer/rappingtags.h"
#include "sharedmem/tagaccess.h"

namespace rapqueue {

namespace {
constexpr int kStopCheckMs = 100;  // a long pause looks at the stop tags this often
}

bool stopRequested() {
  return dbReadValueByHandle(rapping::internal::kQueueStop) != 0 ||
         dbReadValueByHandle(rapping::internal::kSystemState) == rapping::internal::kSystemStop;
}

void pause(int ms) {
  while (ms > 0 && !stopRequested()) {
    const int step = std::min(ms, kStopCheckMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(step));
    ms -= step;
  }
}

}  // namespace rapqueue
