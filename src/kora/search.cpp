// The step search of one optimisation run: Q full and Q trunc captures around the
// optimal step, the comparisons that move it, and the end of the run.
#include <cstdio>
#include <cstdlib>

#include "kora/kora.h"
#include "kora/koratags.h"
#include "kora/samples.h"
#include "kora/scope.h"
#include "kora/steptable.h"
#include "kora/tagio.h"

namespace kora {

namespace {

constexpr int kFailState               = 99;
constexpr int kCurrentOptimizationDone = 98;
constexpr int kMaxScopeFails           = 5;
constexpr int kLastFullStep            = 25;     // step 26 has no Q full measurement
constexpr int kQZero                   = 10000;  // Q scale: zero charge

size_t at(int s) { return static_cast<size_t>(s < 0 ? 0 : (s > kSteps ? kSteps : s)); }

int32_t& QF(KORA& k, int s) { return k.Q.full[at(s)]; }
int32_t& QT(KORA& k, int s) { return k.Q.trunc[at(s)]; }

// Thousandths of the charge above zero by which a step must beat the next one.
int threshold(KORA& k, int j) {
  const long long scaled = static_cast<long long>(value(tag::kStepUpThreshold)) * (QF(k, j) - kQZero);
  return static_cast<int>((std::llabs(scaled) + 50) / 1000);
}

void fail(KORA& k) {
  if (k.Optimising != kFailState) k.Optimising = kFailState;
  k.optimationFail = true;
}

// Starts the prepared capture; on success waits for it in state next.
void start(KoraState& state, int next) {
  if (!ScopeStart(state.scope)) return;
  state.shared.qCalculationTimeout = kQCalculationTimeout;
  state.shared.Optimising          = static_cast<int16_t>(next);
}

// Waits for the capture of step s; its value goes to Q (full or trunc per capture).
// Returns true when the step's value was taken.
bool collect(KoraState& state, int s, Capture capture, int enough, int more, int timeoutState) {
  KORA& k = state.shared;
  if (isScopeReady(state.scope)) {
    if (measurementDone(state, s, capture)) {
      (capture == Capture::kFull ? QF(k, s) : QT(k, s)) = stepQValue(state.qvaluesMeasuredAtThisStep, s, capture);
      k.Optimising                                      = static_cast<int16_t>(enough);
      return true;
    }
    k.Optimising = static_cast<int16_t>(more);
    return false;
  }
  k.qCalculationTimeout = static_cast<int16_t>(k.qCalculationTimeout - 1);
  if (k.qCalculationTimeout <= 0) {
    ++k.QMeasureFailCnt;
    k.Optimising = static_cast<int16_t>(timeoutState);
    std::printf("scope Timout %d %d\n", timeoutState, k.QMeasureFailCnt);
  }
  return false;
}

int firstCompared(const KORA& k) {
  const int min = fieldMinStep(k);
  return min < 1 ? 1 : (min > kSteps ? kSteps : min);
}

void beginRun(KoraState& state) {
  KORA& k     = state.shared;
  const int s = k.optimalStep;
  if (value(tag::kActModeResistivity) != kCustomClass) {
    int byDefault = 0;
    if (dbGetDefaultValueByHandle(tag::kStepUpThreshold, &byDefault)) setTag(tag::kStepUpThreshold, byDefault);
  }
  state.tmpVoltPeakLim = value(tag::kActModeVoltPeakLim);
  k.optimationDone     = false;
  k.optimationFail     = false;
  if (state.firstTimeFlag == 0) clearSamples(state.qvaluesMeasuredAtThisStep);
  k.Q.full.fill(0);
  k.Q.trunc.fill(0);
  k.Q.startStep       = static_cast<int16_t>(s);
  state.firstTimeFlag = 1;
  state.stepDown      = 0;
  state.stepUp        = 0;
  if (s > kLastFullStep || s >= fieldMaxStep(k)) {
    std::printf("at max step (%d) no need for Q full", s);
    state.givesValidTrunc = 0;
    QF(k, s)              = -1;
    k.Optimising          = 2;
    return;
  }
  state.givesValidTrunc = QFullValueScopeSetup(k, s);
  start(state, 1);
}

void truncAtStart(KoraState& state) {
  KORA& k     = state.shared;
  const int s = k.optimalStep;
  if (s == 1 || s <= fieldMinStep(k)) {
    std::printf("at min step (%d) no need for Q trunc", s);
    ++state.stepUp;
    k.Optimising = 9;
  } else if (state.givesValidTrunc == 1) {
    QT(k, s) = stepQValue(state.qvaluesMeasuredAtThisStep, s, Capture::kTrunc);
    ++state.stepDown;
    std::printf("SET:2 Q trunc %d step %d \n", QT(k, s), s);
    k.Optimising = 4;
  } else {
    QTruncValueScopeSetup(k, s);
    start(state, 3);
  }
}

void truncBelow(KoraState& state) {
  KORA& k     = state.shared;
  const int s = k.optimalStep - state.stepDown;
  if (s == 1 || s <= fieldMinStep(k)) {
    std::printf("at min step (%d) no need for Q trunc \n", s);
    k.Optimising = 8;
  } else if (state.givesValidTrunc == 1) {
    QT(k, s) = stepQValue(state.qvaluesMeasuredAtThisStep, s, Capture::kTrunc);
    std::printf("SET:6 Q trunc %d step %d \n", QT(k, s), s);
    k.Optimising = 8;
  } else {
    QTruncValueScopeSetup(k, s);
    start(state, 7);
  }
}

void fullAbove(KoraState& state) {
  KORA& k       = state.shared;
  const int m   = k.optimalStep + state.stepUp;
  const int max = fieldMaxStep(k);
  if (m <= kLastFullStep && m < max) {
    state.givesValidTrunc = QFullValueScopeSetup(k, m);
    start(state, 10);
  } else {
    state.givesValidTrunc = 0;
    QF(k, m)              = -2;
    std::printf("no need for full q value calculation go to trunk %d %d \n", m, max);
    k.Optimising = 11;
  }
}

void truncAbove(KoraState& state) {
  KORA& k     = state.shared;
  const int m = k.optimalStep + state.stepUp;
  if (state.givesValidTrunc == 1) {
    QT(k, m) = stepQValue(state.qvaluesMeasuredAtThisStep, m, Capture::kTrunc);
    std::printf("SET:11 Q trunc %d step %d \n", QT(k, m), m);
    k.Optimising = 13;
  } else {
    QTruncValueScopeSetup(k, m);
    start(state, 12);
  }
}

void endRunAt(KoraState& state, int s) {
  state.shared.optimalStep              = static_cast<int16_t>(s);
  state.shared.Optimising               = kFailState;
  state.shared.currentOptimizationState = -1;
}

void compareAfterStepDown(KoraState& state) {
  KORA& k = state.shared;
  std::printf("compare after down step ");
  int j = firstCompared(k);
  for (; j <= kLastFullStep; ++j) {
    std::printf("f(%d):%d (%d) > t(%d):%d \n", j, QF(k, j), QF(k, j) + threshold(k, j), j + 1, QT(k, j + 1));
    if (stepHolds(k, j)) break;
  }
  const int s     = k.optimalStep;
  const int below = s - state.stepDown;
  if (j == below) {
    std::printf("step down again? %d %d %d \n", QF(k, j), QT(k, j + 1), j);
    if (below > fieldMinStep(k) || below > 1) {
      ++state.stepDown;
      k.Optimising = 4;
    } else {
      std::printf("optimum at low ");
      endRunAt(state, fieldMinStep(k));
    }
    return;
  }
  const int max = fieldMaxStep(k);
  if (s < max && state.stepDown < 2) {
    std::printf("step up ");
    ++state.stepUp;
    k.Optimising = 9;
  } else {
    std::printf("No need to test stepping up -> end this i=%d sd=%d max=%d\n", j, state.stepDown, max);
    endRunAt(state, j);
  }
}

void compareAfterStepUp(KoraState& state) {
  KORA& k = state.shared;
  std::printf("compare after up step");
  int j = firstCompared(k);
  for (; j <= kLastFullStep - 1; ++j) {
    std::printf("f(%d):%d (%d) > t(%d):%d %d \n", j, QF(k, j), QF(k, j) + threshold(k, j), j + 1, QT(k, j + 1),
                threshold(k, j));
    if (stepHolds(k, j)) break;
  }
  const int above = k.optimalStep + state.stepUp;
  const int max   = fieldMaxStep(k);
  if (j < above) {
    std::printf("optimum found at after step up %d \n", j);
    endRunAt(state, j);
  } else if (above < max && above < kSteps) {
    ++state.stepUp;
    k.Optimising = 9;
  } else {
    std::printf("optimum at high %d \n", max);
    endRunAt(state, max);
  }
}

// The run's Q values from the minimum step up, stopping past the tested steps.
void printRun(KORA& k) {
  const int s = k.optimalStep;
  for (int step = firstCompared(k); step <= kSteps; ++step) {
    if (step > s + 1 && step < kLastFullStep && QF(k, step) == 0 && QT(k, step) == 0) break;
    std::printf("step%d f:%d t:%d", step, QF(k, step), QT(k, step));
    if (step == s) {
      std::printf(" <- Optimum firingRatio %d currentDensity %d", k.step[at(step)].firingRatio,
                  k.step[at(step)].currentDensity);
    }
    std::printf("\n");
  }
}

void endRun(KoraState& state) {
  KORA& k             = state.shared;
  state.firstTimeFlag = 0;
  clearSamples(state.qvaluesMeasuredAtThisStep);
  k.currentOptimization = 100;
  if (k.optimationFail) std::printf("optimation fail");
  printRun(k);
  const int min = fieldMinStep(k);
  const int max = fieldMaxStep(k);
  int s         = k.optimalStep;
  if (s >= max) {
    s = max;
  } else if (s <= min) {
    s = min;
  }
  // A field table with steps outside the step table must not leave it.
  s                    = s < 1 ? 1 : (s > kSteps ? kSteps : s);
  k.optimalStep        = static_cast<int16_t>(s);
  const stepData& step = k.step[at(s)];
  const int pulse      = pulseCurrent(step.currentDensity);
  std::printf("Optimation done. optimalStep %d fr %d cd %d pc %d convert back %d\n", s, step.firingRatio,
              step.currentDensity, pulse, currentDensity(pulse));
  std::printf("kora.QMeasureFailCnt %d \n", k.QMeasureFailCnt);
  frOptimationHistory(k, s);
  k.Optimising     = 0;
  k.optimationDone = true;
  KORAsetOptimalFrAndCurrent(state);
  setTag(tag::kOptimizing, 0);
  setTag(tag::kActModeVoltPeakLim, state.tmpVoltPeakLim);
  k.QMeasureFailCnt = 0;
}

void endHandling(KoraState& state) {
  KORA& k = state.shared;
  if (k.Optimising == kFailState && k.optimalStep == 1 && !k.optimationFail && value(tag::kMeasurement) == 0 &&
      value(tag::kKora100PulseCurrMin) > 0) {
    KORAcurrentOptimization(state);
    return;
  }
  endRun(state);
}

void step(KoraState& state) {
  KORA& k     = state.shared;
  const int s = k.optimalStep;
  switch (k.Optimising) {
    case 0:
      beginRun(state);
      break;
    case 1:
      k.optimationDone = false;
      if (!collect(state, s, Capture::kFull, 2, 0, 0) && k.Optimising == 0) state.firstTimeFlag = 1;
      break;
    case 2:
      truncAtStart(state);
      break;
    case 3:
      if (collect(state, s, Capture::kTrunc, 4, 2, 2)) ++state.stepDown;
      break;
    case 4:
      state.givesValidTrunc = QFullValueScopeSetup(k, s - state.stepDown);
      start(state, 5);
      break;
    case 5:
      collect(state, s - state.stepDown, Capture::kFull, 6, 4, 4);
      break;
    case 6:
      truncBelow(state);
      break;
    case 7:
      collect(state, s - state.stepDown, Capture::kTrunc, 8, 6, 6);
      break;
    case 8:
      compareAfterStepDown(state);
      break;
    case 9:
      fullAbove(state);
      break;
    case 10:
      collect(state, s + state.stepUp, Capture::kFull, 11, 9, 9);
      break;
    case 11:
      truncAbove(state);
      break;
    case 12:
      collect(state, s + state.stepUp, Capture::kTrunc, 13, 9, 11);
      break;
    case 13:
      compareAfterStepUp(state);
      break;
    case kCurrentOptimizationDone:
    case kFailState:
      endHandling(state);
      break;
    default:
      break;
  }
}

}  // namespace

bool stepHolds(KORA& k, int j) { return QT(k, j + 1) != 0 && QT(k, j + 1) < QF(k, j) + threshold(k, j); }

void KORAOptimation(KoraState& state) {
  KORA& k = state.shared;
  if (value(tag::kActModeKora) == 0) {
    k.OptimationTimerState = 0;
    k.QMeasureFailCnt      = 0;
    return;
  }
  if (value(tag::kOptimizing) == 0) return;
  if (k.vRefStarted) {
    std::printf("vRefStarted during optimation.. break ");
    fail(k);
  }
  if (k.QMeasureFailCnt > kMaxScopeFails) {
    std::printf("too many scope fails .. break ");
    fail(k);
  }
  if (value(tag::kTron) == 0) {
    std::printf("troff during optimization ");
    fail(k);
    endHandling(state);
  } else {
    step(state);
  }
  KORASetStatus(state);
}

}  // namespace kora
