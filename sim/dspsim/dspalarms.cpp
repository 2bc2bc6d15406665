#include "dspalarms.h"

namespace dspsim {
namespace {

// clang-format off
//   handle  name                    trip
constexpr DspAlarm kDspAlarms[] = {
    {1,      "vxi_alwtemphighw",     false},
    {2,      "vxi_alttemphight",     true},
    {3,      "vxi_alwcheckoilw",     false},
    {4,      "vxi_altcheckoilt",     true},
    {5,      "vxi_altlvisoswt",      true},
    {6,      "vxi_althvsafebrt",     true},
    {7,      "vxi_altscrtempt",      true},
    {8,      "vxi_altaccurrt",       true},
    {9,      "vxi_altdcvoltlowt",    true},
    {10,     "vxi_alwdcvoltloww",    false},
    {11,     "vxi_altdcvolthit",     true},
    {12,     "vxi_altcontactort",    true},
    {14,     "vxi_altwatchdogt",     true},
    {59,     "vxi_alwdummydsp1w",    false},
    {60,     "vxi_alwdummydsp2w",    false},
    {85,     "vxi_allossofsynct",    true},
};
// clang-format on

}  // namespace

std::span<const DspAlarm> dspAlarms() { return kDspAlarms; }

const DspAlarm* findDspAlarm(std::string_view name) {
  for (const DspAlarm& alarm : kDspAlarms) {
    if (name == alarm.name) return &alarm;
  }
  return nullptr;
}

void AlarmControl::raise(const DspAlarm& alarm, DspRegisters& dsp) {
  dsp[alarm.handle]      = 1;
  dsp[handle::kSumAlarm] = 1;
}

bool AlarmControl::tripActive(const DspRegisters& dsp) const {
  for (const DspAlarm& alarm : kDspAlarms) {
    if (alarm.trip && dsp[alarm.handle] != 0) return true;
  }
  return false;
}

bool AlarmControl::handleReset(int64_t nowMs, int resetAckMs, DspRegisters& dsp) {
  if (dsp[handle::kSumAlarmReset] != 1) {
    resetSeenMs_ = -1;
    return false;
  }
  if (resetSeenMs_ < 0) resetSeenMs_ = nowMs;
  // Held a while so that the module's main loop sees the request too before it goes.
  if (nowMs - resetSeenMs_ < resetAckMs) return false;
  for (const DspAlarm& alarm : kDspAlarms) dsp[alarm.handle] = 0;
  dsp[handle::kSumAlarm]      = 0;
  dsp[handle::kSumAlarmReset] = 0;
  resetSeenMs_                = -1;
  return true;
}

}  // namespace dspsim
