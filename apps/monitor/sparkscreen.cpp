#include "sparkscreen.h"

#include <algorithm>
#include <cstdlib>

#include "pacing.h"
#include "sharedmem/tagaccess.h"
#include "terminal.h"

namespace monitor {

namespace {

constexpr int kRefreshMs = 5;

// Rounded to the nearest integer, halves away from zero.
int roundedMean(long long sum, int count) {
  return static_cast<int>(sum >= 0 ? (sum + count / 2) / count : (sum - count / 2) / count);
}

}  // namespace

void SparkRing::sample(int sparkCounter, int pulseCurrent, int voltageTenths) {
  if (counterSeen_ && sparkCounter != lastCounter_) {
    current_                              = (current_ + 1) % kSlots;
    slots_[static_cast<size_t>(current_)] = Slot{};
    ++sparksSeen_;
  }
  counterSeen_          = true;
  lastCounter_          = sparkCounter;
  Slot& slot            = slots_[static_cast<size_t>(current_)];
  slot.maxCurrent       = slot.used ? std::max(slot.maxCurrent, pulseCurrent) : pulseCurrent;
  slot.maxVoltageTenths = slot.used ? std::max(slot.maxVoltageTenths, voltageTenths) : voltageTenths;
  slot.used             = true;
}

void SparkRing::print(std::FILE* out) const {
  int logged           = 0;
  int maxCurrent       = 0;
  int maxVoltage       = 0;
  long long currentSum = 0;
  long long voltageSum = 0;
  for (const Slot& slot : slots_) {
    if (!slot.used) continue;
    maxCurrent = logged == 0 ? slot.maxCurrent : std::max(maxCurrent, slot.maxCurrent);
    maxVoltage = logged == 0 ? slot.maxVoltageTenths : std::max(maxVoltage, slot.maxVoltageTenths);
    currentSum += slot.maxCurrent;
    voltageSum += slot.maxVoltageTenths;
    ++logged;
  }
  const int averageCurrent = logged ? roundedMean(currentSum, logged) : 0;
  const int averageVoltage = logged ? roundedMean(voltageSum, logged) : 0;
  std::fprintf(out, "PulseCurrent (mA) Max %d Avg %d \n", maxCurrent, averageCurrent);
  std::fprintf(out, "Voltage (kV) Max %d.%d Avg %d.%d \n", maxVoltage / 10, std::abs(maxVoltage % 10),
               averageVoltage / 10, std::abs(averageVoltage % 10));
  std::fprintf(out, "Sparks %d logged %d \n", sparksSeen_, logged);
}

int runSparkScreen(std::FILE* out) {
  SparkRing ring;
  do {
    ring.sample(getValueByTagname("vxi_accspark"), getValueByTagname("vxi_seccurrpulse"),
                getValueByTagname("vxi_secvoltavg"));
    beginRedraw(out);
    ring.print(out);
    std::fflush(out);
  } while (!waitOrStop(kRefreshMs));
  return 0;
}

}  // namespace monitor
