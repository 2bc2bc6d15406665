#include "kora/scope.h"

#include <cstdio>
#include <iterator>

#include "kora/koratags.h"
#include "kora/steptable.h"
#include "kora/tagio.h"

namespace kora {

namespace {

// Codes of the scope program's settings.
constexpr int kMethodKora            = 1;
constexpr int kViewCharge            = 3;
constexpr int kViewCoronaTime        = 4;
constexpr int kDataSizeNormal        = 4;
constexpr int kDataSizeHigh          = 2;
constexpr int kSampleRateCorona      = 5;
constexpr int kSampleRateFullCurrent = 4;
constexpr int kNoPreviousStep        = -1;

// Scope status codes.
constexpr int kStatusIdle  = 0;
constexpr int kStatusBusy1 = 1;
constexpr int kStatusBusy2 = 2;
constexpr int kStatusDone  = 4;
constexpr int kTriggerPass = 12;  // passes after the set-up before the trigger

// clang-format off
// Sample-rate code by the capture's current density d (µA/m²): the first row whose test holds.
struct RateRow { int above; int code; };
constexpr RateRow kRateAbove[] = {
    // d above   code
    {340,        4},
    {290,        5},
};
constexpr int kRateLowBelow = 241;  // d below this: code 8
constexpr int kRateLow      = 8;
constexpr int kRateMiddle   = 6;

// Corona-time capture: thousandths applied to the ratio excess and the current density, by
// fail count from 3 on; the last row serves every higher count.
constexpr int kCoronaFailFactors[] = {
    // 3    4    5    6    7    8    9+
    900,  810, 729, 656, 590, 531, 478,
};
// clang-format on
constexpr int kFirstLoweredFailCount = 3;
constexpr int kCoronaRatioBase       = 1000;  // thousandths: the ratio's excess is over this

struct CoronaSetup {
  int dataSize;
  int testRatio;       // 0.01 %
  int currentDensity;  // µA/m²
};
constexpr CoronaSetup kCoronaNormal = {kDataSizeNormal, 1429, 300};
constexpr CoronaSetup kCoronaHigh   = {kDataSizeHigh, 3333, 350};
constexpr int kHighSetupMaxStep     = 2;

int sampleRate(int density) {
  for (const RateRow& row : kRateAbove) {
    if (density > row.above) return row.code;
  }
  return density < kRateLowBelow ? kRateLow : kRateMiddle;
}

void chargeCodes() {
  setTag(tag::kScopeGrabMethod, kMethodKora);
  setTag(tag::kScopeView2Type, kViewCharge);
  setTag(tag::kWebScopeDataSize, kDataSizeNormal);
}

// The ratio and current of step s, the step below for the truncation, and the rate.
void prepareStep(const KORA& kora, int s, int densityStep) {
  setTag(tag::kTestFr, kora.step[static_cast<size_t>(s)].firingRatio);
  setTag(tag::kPreviousStepFr, s < 2 ? kNoPreviousStep : kora.step[static_cast<size_t>(s - 1)].firingRatio);
  const int density = kora.step[static_cast<size_t>(densityStep)].currentDensity;
  setTag(tag::kCurrentLimit, pulseCurrent(density));
  setTag(tag::kSampleRate, sampleRate(density));
}

void countResetDown(ScopeProtocol& scope) { scope.timer = scope.timer > 10 ? 9 : scope.timer - 1; }

}  // namespace

int QFullValueScopeSetup(const KORA& kora, int s) {
  chargeCodes();
  if (s >= kSteps) return -1;
  prepareStep(kora, s, s + 1);
  const auto& step = kora.step;
  return step[static_cast<size_t>(s)].currentDensity == step[static_cast<size_t>(s + 1)].currentDensity ? 1 : 0;
}

int QTruncValueScopeSetup(const KORA& kora, int s) {
  chargeCodes();
  if (s <= 1) return 0;
  prepareStep(kora, s, s);
  return 1;
}

int CoronaTimeValueScopeSetup(const KORA& kora, int failCount) {
  setTag(tag::kScopeGrabMethod, kMethodKora);
  setTag(tag::kSampleRate, kSampleRateCorona);
  setTag(tag::kScopeView2Type, kViewCoronaTime);
  const bool high = value(tag::kRefOption) != 0 && fieldMaxStep(kora) <= kHighSetupMaxStep;
  if (high) std::printf("setup 1:3 ");
  const CoronaSetup& setup = high ? kCoronaHigh : kCoronaNormal;
  setTag(tag::kWebScopeDataSize, setup.dataSize);
  setTag(tag::kTestFr, setup.testRatio);
  if (failCount < kFirstLoweredFailCount) {
    setTag(tag::kCurrentLimit, pulseCurrent(setup.currentDensity));
    return 0;
  }
  constexpr int kLastRow = static_cast<int>(std::size(kCoronaFailFactors)) - 1;
  const int row    = failCount - kFirstLoweredFailCount < kLastRow ? failCount - kFirstLoweredFailCount : kLastRow;
  const int factor = kCoronaFailFactors[row];
  const int ratio  = ((value(tag::kCoronaRatio) - kCoronaRatioBase) * factor + 500) / 1000 + kCoronaRatioBase;
  setTag(tag::kCoronaRatio, ratio);
  const int density = (setup.currentDensity * factor + 500) / 1000;
  setTag(tag::kCurrentLimit, pulseCurrent(density));
  std::printf("corona time measurement failed setting new ratio to %d new current density %d\n", ratio, density);
  return 0;
}

int currentOptimizationScopeSetup(int PercentageOfMaxCurrent) {
  chargeCodes();
  setTag(tag::kCurrentLimit, (PercentageOfMaxCurrent * value(tag::kActModeCurrLim) + 50) / 100);
  setTag(tag::kTestFr, 10000);
  setTag(tag::kSampleRate, kSampleRateFullCurrent);
  return 0;
}

bool ScopeStart(ScopeProtocol& scope) {
  if (scope.timer != 0) {
    countResetDown(scope);
    return false;
  }
  const int status = value(tag::kScopeGrabStatus);
  if (status == kStatusDone || status == kStatusIdle) {
    // A capture quicker than our calls: the trigger was taken up and the scope is done
    // again without ever showing busy to us. Waiting for busy would wait for ever.
    if (scope.timer2 >= kTriggerPass && status == kStatusDone && value(tag::kScopeGrabTrigger) == 0) {
      scope.timer2 = 0;
      return true;
    }
    if (value(tag::kRapping) != 0 || value(tag::kMeasurement) != 0) return false;
    if (scope.timer2 <= 13) {
      ++scope.timer2;
      if (scope.timer2 == kTriggerPass) {
        setTag(tag::kScopeGrabTrigger, 1);
        std::printf("trigger scope !!");
      }
    }
    return false;
  }
  if ((status == kStatusBusy1 || status == kStatusBusy2) && scope.timer2 > 1) {
    scope.timer2 = 0;
    return true;
  }
  scope.timer  = 10;
  scope.timer2 = 0;
  std::printf("reset scope.. wait for %d seconds. %d %d", 5, status, 0);
  setTag(tag::kScopeGrabReset, 1);
  countResetDown(scope);
  return false;
}

bool isScopeReady(ScopeProtocol& scope) {
  if (value(tag::kScopeGrabStatus) == kStatusDone && value(tag::kAnalysisInvalid) == 0) {
    ++scope.readyCount;
    return scope.readyCount > 2;
  }
  scope.readyCount = 0;
  return false;
}

}  // namespace kora
