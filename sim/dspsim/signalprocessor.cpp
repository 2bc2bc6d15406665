#include "signalprocessor.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace dspsim {
namespace {

int orDefault(int value, int fallback) { return value > 0 ? value : fallback; }

unsigned seedOf(const ModelConstants& c) {
  if (c.randomSeed != 0) return static_cast<unsigned>(c.randomSeed);
  return static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
}

}  // namespace

SignalProcessor::SignalProcessor(const ModelConstants& constants, DspRegisters& dsp)
    : c_(constants), dsp_(dsp), random_(seedOf(constants)) {}

void SignalProcessor::handle(const Request& request) {
  switch (request.kind) {
    case RequestKind::kRaiseAlarm:
      alarms_.raise(*request.alarm, dsp_);
      break;
    case RequestKind::kSpark:
      sparkRequested_ = true;
      break;
    case RequestKind::kArc:
      arcRequested_ = true;
      break;
    case RequestKind::kHeartbeatStop:
      heartbeatStopped_ = true;
      break;
    case RequestKind::kHeartbeatRun:
      heartbeatStopped_ = false;
      break;
    case RequestKind::kAuxInput:
      dsp_[handle::kTestAuxInp1] = request.auxInput;
      break;
  }
}

TrRatings SignalProcessor::ratings() const {
  const TrRatings fallback;
  return {orDefault(dsp_[handle::kRatioLineVolt], fallback.lineVoltage),
          orDefault(dsp_[handle::kRatioPrimCurr], fallback.primaryCurrent),
          orDefault(dsp_[handle::kRatioSecVolt], fallback.secondaryVoltage),
          orDefault(dsp_[handle::kRatioSecCurr], fallback.secondaryCurrent)};
}

RecoverySettings SignalProcessor::recoverySettings(bool arc) const {
  return {dsp_[handle::kSparkRecoveryTime], dsp_[handle::kSparkCurrStep], dsp_[handle::kRisePercA],
          dsp_[handle::kRiseTimeA], dsp_[arc ? handle::kArcQuench : handle::kShortQuench]};
}

void SignalProcessor::step(int64_t nowMs) {
  const double elapsedMs = lastStepMs_ < 0 ? 0.0 : static_cast<double>(nowMs - lastStepMs_);
  lastStepMs_            = nowMs;
  alarms_.handleReset(nowMs, c_.resetAckMs, dsp_);
  runState(nowMs);
  heartbeat(nowMs);
  reportRapping();
  regulate(nowMs, elapsedMs);
  scope_.step(nowMs, dsp_, scopeInputs(), c_);
}

ScopeInputs SignalProcessor::scopeInputs() const {
  return {pulseMa_,
          dsp_[handle::kFakeCr],
          dsp_[handle::kActualFiringAngle] / 10.0,
          dsp_[handle::kLimiter],
          dsp_[handle::kScopeSampleRate],
          dsp_[handle::kFunCurrLimit],
          dsp_[handle::kSecDvdt],
          ratings()};
}

// The unit's rapping output is wired to the signal processor's rapping input.
void SignalProcessor::reportRapping() { dsp_[handle::kRapping] = dsp_[handle::kSchedulerResult] != 0 ? 1 : 0; }

// The functional limit is the reduced rapping current only while rapping and while the
// module's limiter has taken the rapping target; without a reduced current it stays the mode's.
bool SignalProcessor::rappingLimit() const {
  return dsp_[handle::kRapping] != 0 && dsp_[handle::kFunLimiter] == kLimiterRapping;
}

// The T/R set starts a moment after the run command and stops at once without it or on a trip;
// a trip also drops the run command, which the bridge reports back to the module.
void SignalProcessor::runState(int64_t nowMs) {
  if (alarms_.tripActive(dsp_)) dsp_[handle::kTron] = 0;
  if (dsp_[handle::kTron] == 0) {
    tronRequestedMs_          = -1;
    dsp_[handle::kTronStatus] = 0;
    return;
  }
  if (tronRequestedMs_ < 0) tronRequestedMs_ = nowMs;
  if (nowMs - tronRequestedMs_ >= c_.tronStartDelayMs) dsp_[handle::kTronStatus] = 1;
}

// Alternates while the signal processor lives; a stopped heartbeat stays at 1, which the
// module's supervision takes as a lost signal processor after ten seconds.
void SignalProcessor::heartbeat(int64_t nowMs) {
  if (heartbeatStopped_) {
    dsp_[handle::kHeartbeat] = 1;
    return;
  }
  if (nowMs - heartbeatChangedMs_ >= c_.heartbeatPeriodMs) {
    dsp_[handle::kHeartbeat] = dsp_[handle::kHeartbeat] == 0 ? 1 : 0;
    heartbeatChangedMs_      = nowMs;
  }
}

void SignalProcessor::regulate(int64_t nowMs, double elapsedMs) {
  const int firingRatio     = firingRatioFromChargeRatio(dsp_[handle::kFakeCr]);
  const TrRatings trRatings = ratings();
  if (dsp_[handle::kTronStatus] == 0) {
    setPointMa_ = pulseMa_ = 0;
    risingAfterSpark_      = false;
    recovery_              = SparkRecovery{};
    sparkRequested_ = arcRequested_ = false;
    dsp_[handle::kCurrLimit]        = 0;
    dsp_[handle::kFiringRatio]      = firingRatio;
    publish(nowMs, Measurements{}, kLimiterOff, kSlopeOff);
    return;
  }
  const CurrentLimits limits{dsp_[handle::kFunCurrLimit], dsp_[handle::kMaxAverageCurr],
                             orDefault(dsp_[handle::kIgnAngleLimit], 95), firingRatio};
  const AllowedCurrent allowed = allowedPulseCurrent(limits, trRatings, c_);
  LimiterCode limiter          = allowed.limiter;
  Slope slope                  = kSlopeC;
  if (recovery_.active(nowMs)) {
    setPointMa_       = recovery_.setPointMa(nowMs);
    slope             = recovery_.slope(nowMs);
    limiter           = lastWasArc_ && recovery_.quenching(nowMs) ? kLimiterArc : kLimiterSpark;
    risingAfterSpark_ = true;
  } else if (risingAfterSpark_) {
    const int riseRate = orDefault(dsp_[handle::kRiseSlopeC], 500);  // mA/s
    setPointMa_        = std::max(setPointMa_, recovery_.targetMa()) + riseRate * elapsedMs / 1000.0;
    risingAfterSpark_  = setPointMa_ < allowed.pulseMa;
    if (risingAfterSpark_) limiter = kLimiterSpark;
  } else {
    setPointMa_ = allowed.pulseMa;
  }
  setPointMa_ = std::min(setPointMa_, allowed.pulseMa);

  // The current follows its set point with the lag of the control loop; no firing during a quench.
  if (recovery_.quenching(nowMs)) {
    pulseMa_ = 0;
  } else {
    pulseMa_ += (setPointMa_ - pulseMa_) * (1.0 - std::exp(-elapsedMs / c_.currentTimeConstantMs));
  }
  Measurements m = measure(pulseMa_, firingRatio, dsp_[handle::kFakeCr], trRatings, c_);
  if (pulseMa_ > 0 && !recovery_.quenching(nowMs)) {
    const double chance = 1.0 - std::exp(-sparkRatePerMinute(m.secVoltPeak, c_) * elapsedMs / 60000.0);
    if (sparkRequested_ || arcRequested_ || std::uniform_real_distribution<double>(0.0, 1.0)(random_) < chance) {
      const bool arc =
          arcRequested_ || (!sparkRequested_ && std::uniform_int_distribution<int>(0, 999)(random_) < c_.arcShare);
      spark(nowMs, m.secVoltPeak, slope, arc);
      // The field voltage collapses and the quench begins.
      m       = Measurements{};
      limiter = arc ? kLimiterArc : kLimiterSpark;
      slope   = recovery_.slope(nowMs);
    }
  }
  dsp_[handle::kCurrLimit]   = static_cast<int>(std::lround(allowed.pulseMa));
  dsp_[handle::kFiringRatio] = firingRatio;
  publish(nowMs, m, limiter, slope);
}

void SignalProcessor::spark(int64_t nowMs, int peakVoltage, Slope slope, bool arc) {
  sparkRequested_ = arcRequested_ = false;
  // An arc burns on through a longer quench; a spark before the field has recovered from the
  // last one counts as a double spark.
  ++dsp_[arc ? handle::kAccArc : recovery_.active(nowMs) ? handle::kAccDoubleSpark : handle::kAccSpark];
  lastWasArc_ = arc;
  std::uniform_int_distribution<int> spread(900, 1000);
  dsp_[handle::kSparkCurrent]           = static_cast<int>(std::lround(pulseMa_ * spread(random_) / 1000.0));
  dsp_[handle::kLastActiveSlopeAtSpark] = slope;
  dsp_[handle::kSparkVoltage]           = peakVoltage;
  std::uniform_int_distribution<int> dvdtSpread(c_.sparkDvdt * 8 / 10, c_.sparkDvdt * 12 / 10);
  dsp_[handle::kSparkDvdt] = dvdtSpread(random_);
  sparkWindow_.add(nowMs);
  recovery_.start(nowMs, pulseMa_, recoverySettings(arc), c_);
  pulseMa_ = 0;
}

void SignalProcessor::publish(int64_t nowMs, const Measurements& m, LimiterCode limiter, Slope slope) {
  dsp_[handle::kSecVoltAvg]        = m.secVoltAvg;
  dsp_[handle::kSecVoltPeak]       = m.secVoltPeak;
  dsp_[handle::kSecVoltValley]     = m.secVoltValley;
  dsp_[handle::kSecCurrPulse]      = m.secCurrPulse;
  dsp_[handle::kSecCurrPulseA]     = m.secCurrPulse;
  dsp_[handle::kSecCurrPulseB]     = m.secCurrPulse;
  dsp_[handle::kSecCurrAvg]        = m.secCurrAvg;
  dsp_[handle::kSecCurrPeak]       = m.secCurrPeak;
  dsp_[handle::kPrimVoltRms]       = m.primVoltRms;
  dsp_[handle::kPrimCurrRms]       = m.primCurrRms;
  dsp_[handle::kPrimCurrAvg]       = m.primCurrAvg;
  dsp_[handle::kActPower]          = m.actPower;
  dsp_[handle::kAppPower]          = m.appPower;
  dsp_[handle::kActualFiringAngle] = m.firingAngle;
  dsp_[handle::kSecDvdt]           = m.secDvdt;
  dsp_[handle::kLimiter]           = limiter == kLimiterPulseCurrent && rappingLimit() ? kLimiterRapping : limiter;
  dsp_[handle::kActiveSlope]       = slope;
  dsp_[handle::kIdleCurrent]       = limiter == kLimiterOff ? 0 : dsp_[handle::kFunIdleCurrent];
  dsp_[handle::kSpm]               = sparkWindow_.perMinute(nowMs);
  dsp_[handle::kLineFrequency]     = c_.lineFrequency;
  dsp_[handle::kAmbientTemp]       = c_.ambientTemperature;
}

}  // namespace dspsim
