#include "housekeeping.h"

#include <algorithm>
#include <cstdio>

#include "energisationtags.h"
#include "sharedmem/shmem.h"

using namespace etag;

namespace {
constexpr int kFullRisePercent = 1000;  // 0.1 %
constexpr int kFullRiseTime = 100;      // %
constexpr int kFromSignalProcessor = 2; // CAN direction of the signal processor's values

// Rate tag and the counter it takes, both cleared after.
struct RateCounter {
  int rate;
  int counter;
};
// clang-format off
// rate              counter
constexpr RateCounter kRateCounters[] = {
    {kCanRefreshRate, kCanRefreshCounter},
    {kUdpPollRate,    kUdpPollCounter},
    {kDiscPollRate,   kDiscoveryUpdateCnt},
};
// clang-format on
}  // namespace

void handleRiseTimeCalculations() {
  writeTag(kRisePercB, kFullRisePercent - readTag(kRisePercA));
  writeTag(kRiseTimeB, kFullRiseTime - readTag(kRiseTimeA));
}

void updateComSpeed() {
  for (const RateCounter& entry : kRateCounters) {
    writeTag(entry.rate, readTag(entry.counter));
    writeTag(entry.counter, 0);
  }
}

void resetDSPreadings() {
  std::printf("reset dsp readings ---------------------------------------------\n");
  for (int address = 0; address < kNoOfCanAddresses; ++address) {
    if (dbGetCanbusDataType(address) == 0 || dbGetCanbusSource(address) != kFromSignalProcessor) continue;
    const int handle = dbGetCanbusHandlePointer(address);
    if (std::find(kDigitalInputs.begin(), kDigitalInputs.end(), handle) != kDigitalInputs.end()) continue;
    writeTag(handle, 0);
  }
}
