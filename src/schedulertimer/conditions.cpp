#include "conditions.h"

#include <numeric>

#include "rappingtags.h"
#include "sharedmem/tagaccess.h"

namespace rapping {

namespace {

template <size_t N>
void store(std::array<int, N>& ring, int tick, int value) {
  ring[static_cast<size_t>(tick) % N] = value;
}

template <size_t N>
int sum(const std::array<int, N>& ring) {
  return std::accumulate(ring.begin(), ring.end(), 0);
}

}  // namespace

void ConditionSampler::sample() {
  // One slot per second of the day, so two calls in one second take one sample.
  const int tick = dbReadValueByHandle(internal::kSecondsOfDay);
  store(pulseCurrent_, tick, dbReadValueByHandle(tag::vxi_seccurrpulse) * 10);
  store(voltage_, tick, dbReadValueByHandle(tag::vxi_secvoltavg));
  store(impedance_, tick, dbReadValueByHandle(tag::vxi_secavgimpedance) * 10);
  store(firingAngle_, tick, dbReadValueByHandle(tag::vxi_actualfiringangle));
}

bool ConditionSampler::checkCondition(int condition, int level, int conditionNo) {
  if (dbReadValueByHandle(tag::vxi_tronstatus) == 0 || dbReadValueByHandle(tag::vxi_measurement) == 1) return false;
  sample();
  int reading = 0;
  bool holds  = false;
  switch (condition) {
    case kPulseCurrentBelow:
      reading = sum(pulseCurrent_) / static_cast<int>(pulseCurrent_.size());
      holds   = sum(pulseCurrent_) < static_cast<int>(pulseCurrent_.size()) * level;
      break;
    case kVoltageBelow:
      reading = sum(voltage_) / static_cast<int>(voltage_.size());
      holds   = sum(voltage_) < static_cast<int>(voltage_.size()) * level;
      break;
    case kSparkRateAbove:
      reading = dbReadValueByHandle(tag::vxi_momentaryspm);
      holds   = reading > level;
      break;
    case kImpedanceBelow:
      reading = sum(impedance_) / static_cast<int>(impedance_.size());
      holds   = sum(impedance_) < static_cast<int>(impedance_.size()) * level;
      break;
    case kFiringAngleAbove:
      reading = sum(firingAngle_) / static_cast<int>(firingAngle_.size());
      holds   = sum(firingAngle_) > static_cast<int>(firingAngle_.size()) * level;
      break;
    default:
      return false;
  }
  int error = 0;
  dbSetValueByHandle(conditionNo == 0 ? tag::vxi_autorappcurrentreading01 : tag::vxi_autorappcurrentreading02, reading,
                     &error);
  return holds;
}

bool auto_logic(bool status1, bool status2, int logic) { return logic != 0 ? status1 || status2 : status1 && status2; }

}  // namespace rapping
