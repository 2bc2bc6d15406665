#include "orxtags/handles.h"
#include "trendlog.h"

#include <cstdint>
#include <cstdlib>

#include "sharedmem/tagaccess.h"

namespace {

// Tags by handle
constexpr int kTronStatus         = tags::vxi_tronstatus;       // vxi_tronstatus
constexpr int kTron               = tags::vxo_tron;             // vxo_tron
constexpr int kLimiter            = tags::vxi_limiter;          // vxi_limiter
constexpr int kFiringRatio        = 215;                       // vxi_firingratio, 0.01 %
constexpr int kActPower           = 222;                       // vxi_actpower, 0.1 kW
constexpr int kSecVoltAvg         = tags::vxi_secvoltavg;       // vxi_secvoltavg, 0.1 kV
constexpr int kSecCurrPulse       = tags::vxi_seccurrpulse;     // vxi_seccurrpulse, mA
constexpr int kSpm                = tags::vxi_spm;              // vxi_spm, sparks per minute
constexpr int kFunCurrLimit       = tags::vxi_funcurrlimit;     // vxi_funcurrlimit, mA
constexpr int kFunFiringRatio     = 411;                       // vxi_funfiringratio, 0.01 %
constexpr int kActModeVoltPeakLim = 561;                       // vxo_actmodevoltpeaklim, 0.1 kV
constexpr int kLogNow             = internal::kTrendTrigger;   // 1 asks for one trend record
constexpr int kLogDepth           = internal::kTrendLogDepth;  // records kept: 40, 100 or 240
constexpr int kLogLength          = 1198;                      // vxo_loglength, 0..2
constexpr int kWatchedHandle1     = 1264;                      // handles of two watched tags, 0 = none
constexpr int kWatchedHandle2     = 1265;
constexpr int kCurrentStepRecord  = 1397;                      // packed record of a current step

constexpr int kLogDepths[]          = {40, 100, 240};  // by vxo_loglength
constexpr int kHighFiringRatio      = 1100;            // 0.01 %
constexpr int kMediumFiringRatio    = 500;             // 0.01 %
constexpr int kFiringRatioDeviation = 5;               // 0.01 %
constexpr int kCurrentStepBand      = 50;              // mA around the current limit
constexpr int kSettleTimer          = -35;             // passes before a rise counts again
constexpr int kRunningPeriod        = 2000;            // passes between records while the T/R set runs
constexpr int kStoppedPeriod        = 6000;            // passes between records while it is off
constexpr int kRunStateTimer        = 5800;            // a run-state change: periodic record 200 passes on
constexpr int kPowerTolerance       = 3;               // 0.1 kW

int tag(int handle) { return dbReadValueByHandle(handle); }
void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

// The current, its limit, the limiter and the voltage peak limit, one byte each.
int currentStepRecord(int current, int limit) {
  const auto byte = [](int value) { return static_cast<uint32_t>(value) & 0xFFu; };
  return static_cast<int>(byte(current / 10) | byte(limit / 10) << 8 | byte(tag(kLimiter)) << 16 |
                          byte(tag(kActModeVoltPeakLim) / 25 - 56) << 24);
}

}  // namespace

void TrendLogTrigger::trigger() {
  setTag(kLogNow, 1);
  lastspm_ = tag(kSpm);
  lastfr_  = tag(kFunFiringRatio);
  lastkV_  = tag(kSecVoltAvg);
  lastmA_  = tag(kSecCurrPulse);
  lastW_   = tag(kActPower);
  timer_   = 0;
}

void TrendLogTrigger::letsLog() {
  ++timer_;
  const int length = tag(kLogLength);
  setTag(kLogDepth, kLogDepths[length == 0 ? 0 : length == 1 ? 1 : 2]);

  if (tag(kLogNow) != 0) {  // the last request is still pending
    const int firingRatio = tag(kFunFiringRatio);
    if (firingRatio > kHighFiringRatio) {
      changeThreshold_ = length + 2;
    } else if (firingRatio >= kMediumFiringRatio) {
      changeThreshold_ = length * length + 3;
    } else {
      changeThreshold_ = length * length + 4;
    }
    return;
  }

  const int threshold = changeThreshold_;
  if (tag(kTronStatus) == 1) {
    if (tag(kSpm) != lastspm_) trigger();
    if (tag(kFunFiringRatio) != lastfr_ || std::abs(tag(kFiringRatio) - tag(kFunFiringRatio)) > kFiringRatioDeviation) {
      trigger();
    }
    const int voltage = tag(kSecVoltAvg);
    if (voltage < lastkV_ - (threshold + 1) || (voltage > lastkV_ + threshold + 1 && timer_ > 0)) {
      trigger();
      if (threshold >= 4) timer_ = kSettleTimer;
    }
    const int current = tag(kSecCurrPulse);
    if (current < lastmA_ - threshold || (current > lastmA_ + threshold - 1 && timer_ > 0)) {
      trigger();
      const int limit = tag(kFunCurrLimit);
      if (current < limit - kCurrentStepBand || current > limit + kCurrentStepBand) {
        setTag(kCurrentStepRecord, currentStepRecord(current, limit));
      }
      timer_ = threshold >= 4 ? kSettleTimer : 0;
    }
    const int power = tag(kActPower);
    if (power < lastW_ - kPowerTolerance - length || (power > lastW_ + kPowerTolerance + length && timer_ > 0)) {
      trigger();
    }
  }

  if (timer_ > (tag(kTronStatus) != 0 ? kRunningPeriod : kStoppedPeriod)) trigger();

  int* lastWatched[]         = {&lastLogHandle1_, &lastLogHandle2_};
  const int watchedHandles[] = {tag(kWatchedHandle1), tag(kWatchedHandle2)};
  for (int i = 0; i < 2; ++i) {
    if (watchedHandles[i] == 0) continue;
    const int value = tag(watchedHandles[i]);
    if (value != *lastWatched[i]) {
      setTag(kLogNow, 1);
      *lastWatched[i] = value;
    }
  }

  const int tron = tag(kTron);
  if (tron != lastTRON_) {
    setTag(kLogNow, 1);
    lastTRON_ = tron;
  }
  const int tronStatus = tag(kTronStatus);
  if (tronStatus != lastTRONSTATUS_) {
    setTag(kLogNow, 1);
    timer_          = kRunStateTimer;
    lastTRONSTATUS_ = tronStatus;
  }
}
