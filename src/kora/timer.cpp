// The optimisation timer: when a run starts, and what follows its end.
#include <cstdio>

#include "kora/kora.h"
#include "kora/koratags.h"
#include "kora/steptable.h"
#include "kora/tagio.h"

namespace kora {

namespace {

constexpr int kIntervalCheckPeriod = 100;  // s of the day between interval updates

// While MIRA holds the unit below KORA's ratio, optimising is worth less: the interval
// grows with the ratio between the two.
void adaptInterval(KORA& k) {
  if (value(tag::kActModeMira) != 0 || value(tag::kSecondsOfDay) % kIntervalCheckPeriod != 0) return;
  if (value(tag::kFrSource) != 0) {
    k.optimationInterval = k.optimationIntervalBase;
    return;
  }
  const int miraFr    = value(tag::kMiraMyFr);
  const int optimalFr = value(tag::kOptimalFr);
  if (miraFr >= optimalFr) return;
  const int share      = miraFr != 0 ? 100 * optimalFr / miraFr : 0;
  k.optimationInterval = static_cast<int16_t>(k.optimationIntervalBase + 4 * share - 400);
  std::printf("interval %d %d\n", k.optimationInterval, k.optimationIntervalBase);
}

}  // namespace

void KORAOptimationStateLoop(KoraState& state) {
  KORA& k = state.shared;
  if (value(tag::kActModeKora) == 0) {
    k.OptimationTimerState = 0;
    return;
  }
  adaptInterval(k);
  k.step[1].currentDensity = static_cast<int16_t>(currentDensity(value(tag::kActModeCurrLim)));
  switch (k.OptimationTimerState) {
    case 0:
      setTag(tag::kOptTimer, -1);
      k.optimationTimer      = k.optimationInterval;
      k.OptimationTimerState = 2;
      break;
    case 1:
      KORAsetOptimalFrAndCurrent(state);
      setTag(tag::kOptTimer, k.optimationInterval - k.optimationTimer);
      if (k.optimationTimer >= k.optimationInterval) {
        k.OptimationTimerState = 2;
      } else if (value(tag::kTron) == 1) {
        ++k.optimationTimer;
      }
      break;
    case 2:
      KORAsetOptimalFrAndCurrent(state);
      if (k.FirstReferenceMeasurementDone) k.OptimationTimerState = 3;
      break;
    case 3:
      KORAsetOptimalFrAndCurrent(state);
      if (value(tag::kRapping) == 0) k.OptimationTimerState = 4;
      break;
    case 4:
      setTag(tag::kProcessLogRequest, 1);
      k.optimationFail = false;
      if (value(tag::kMeasurement) == 0 && !k.vRefStarted) {
        std::printf("-------- start Optimation ------ optimal step:%d start optimation at step:%d\n", k.optimalStep,
                    value(tag::kStartStep));
        k.optimalStep          = static_cast<int16_t>(value(tag::kStartStep));
        k.OptimationTimerState = 5;
      }
      break;
    case 5: {
      setTag(tag::kOptimizing, 1);
      const stepData& step = k.step[static_cast<size_t>(k.optimalStep)];
      setTag(tag::kTestFr, step.firingRatio);
      setTag(tag::kCurrentLimit, pulseCurrent(step.currentDensity));
      k.OptimationTimerState = 6;
      break;
    }
    case 6:
      if (k.optimationDone) k.OptimationTimerState = 7;
      break;
    case 7:
      KORAsetOptimalFrAndCurrent(state);
      if (k.optimationFail) {
        k.optimationTimer = static_cast<int16_t>(k.optimationInterval / 2);
        std::printf("optimation fail timer %d\n", k.optimationTimer);
      } else {
        setTag(tag::kLastOptTime, value(tag::kTime));
        setTag(tag::kLastOptDate, value(tag::kDate));
        k.optimationTimer = 0;
      }
      setTag(tag::kStartStep, k.optimalStep);
      k.OptimationTimerState = 1;
      break;
    default:
      break;
  }
  KORASetStatus(state);
}

}  // namespace kora
