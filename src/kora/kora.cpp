#include "kora/kora.h"

#include "kora/koratags.h"
#include "kora/steptable.h"
#include "kora/tagio.h"

namespace kora {

void KORAInit(KoraState& state) {
  KORA& k                         = state.shared;
  k.Uninitialized                 = 0;
  k.ReferenceMeasurementState     = -1;
  k.OptimationTimerState          = 0;
  k.Optimising                    = 0;
  k.Reference                     = 0;
  k.wasOnTimeOut                  = 60;
  k.FirstReferenceMeasurementDone = false;
  k.optimationDone                = false;
  k.vRefStarted                   = false;
  k.optimationFail                = false;
  k.currentOptimization           = 100;
  k.currentOptimizationState      = -1;
  k.optimalAverageCurrent         = 100;
  for (const int handle : {tag::kOptimizing, tag::kLastRefTime, tag::kLastRefDate, tag::kLastRefOk,
                           tag::kReferenceRunning, tag::kWaitingForRapping}) {
    setTag(handle, 0);
  }
}

void KORASetStatus(const KoraState& state) {
  const KORA& k = state.shared;
  setTag(tag::kRefStatus, 10000 * (k.FirstReferenceMeasurementDone ? 1 : 0) + 1000 * k.ReferenceMeasurementState +
                              100 * k.OptimationTimerState + k.Optimising);
  if (value(tag::kActModeKora) == 0) {
    setTag(tag::kReferenceRunning, 0);
    setTag(tag::kOptimizing, 0);
  } else {
    setTag(tag::kReferenceRunning, k.vRefStarted ? 1 : 0);
  }
}

void KORAsetOptimalFrAndCurrent(KoraState& state) {
  KORA& k = state.shared;
  if (k.vRefStarted) return;
  const int s          = k.optimalStep >= 0 && k.optimalStep <= kSteps ? k.optimalStep : 1;
  const stepData& step = k.step[static_cast<size_t>(s)];
  const int limit      = value(tag::kActModeCurrLim);
  const int pulseMin   = value(tag::kKora100PulseCurrMin);
  const int idle       = value(tag::kActModeIdleCurrent);
  int used             = 0;
  int ratio            = step.firingRatio;
  if (s > 1) {
    used = pulseCurrent(step.currentDensity);
  } else {
    used = k.optimalAverageCurrent * limit / 100;
    if (k.optimalAverageCurrent > 99 || pulseMin <= 0 || value(tag::kOptimizing) != 0) {
      used = limit;
    } else if (used < pulseMin) {
      // A higher pulse current at a lower firing ratio keeps the average current.
      const int pulse     = pulseMin < limit ? pulseMin : limit;
      const int fullRatio = used * 10000 / pulse;
      used                = pulse;
      ratio               = fullRatio - 10 * idle + fullRatio * idle / 1000;
    }
  }
  k.currentUsed = static_cast<int16_t>(used);
  setTag(tag::kOptimalFr, ratio);
  setTag(tag::kCurrentLimit, used);
}

}  // namespace kora
