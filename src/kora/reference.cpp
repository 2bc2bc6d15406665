// The periodic reference measurement: the corona time from a scope capture, then the
// voltage at which corona starts from a V-I measurement.
#include <cstdio>
#include <string>

#include "kora/kora.h"
#include "kora/koratags.h"
#include "kora/scope.h"
#include "kora/steptable.h"
#include "kora/tagio.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace kora {

namespace {

using orvix::platform::resolvePath;
using orvix::platform::shellQuote;

constexpr const char* kMeasurementProgram = "/home/root/orvix/prog/a_measurement";
constexpr const char* kViSetup            = "/home/root/orvix/vrefVi.ini";
constexpr const char* kViSetupHigh        = "/home/root/orvix/vrefViHigh.ini";
constexpr const char* kScopeCurve         = "/tmp/control.tmp";
constexpr const char* kKoraCurve          = "/tmp/kora.tmp";
constexpr int kHighSetupBelowMaxStep      = 3;
constexpr int kWaitForSlope               = 5;    // calls before the corona-time capture
constexpr int kReferencePulseSlope        = 125;  // mA/s, lowest slope during a reference
constexpr int kCoronaTotalFailAbove       = 8;    // time-outs before the capture is given up
constexpr int kCoronaKReferencePerMille   = 75;   // of the current transformer ratio
constexpr int kCoronaMReferenceDensity    = 50;   // µA/m²

// Reference voltages, 0.1 kV.
constexpr int kVrefLow      = 10;
constexpr int kVrefHigh     = 600;
constexpr int kVrefFallback = 150;

// Reference history: the 01 group moves to 02, then 01 takes the last measurement.
// clang-format off
struct HistoryRow { int older; int newer; int current; };
constexpr HistoryRow kReferenceHistory[] = {
    // 02    01    source of 01
    {1296, 1291, tag::kMeasuredCoronaTime},  // corona time
    {1297, 1292, tag::kCoronaKv},            // corona voltage
    {1298, 1293, tag::kViVref},              // reference voltage
    {1299, 1294, tag::kLastRefTime},         // time
    {1300, 1295, tag::kLastRefDate},         // date
};
// clang-format on

bool tronOn() { return value(tag::kTron) == 1; }

void startReferenceMeasurement(KoraState& state) {
  KORA& k = state.shared;
  std::printf("Corona time measurement start");
  k.coronaRatioStart     = static_cast<int16_t>(value(tag::kCoronaRatio));
  k.actmodevoltpeaklim   = static_cast<int16_t>(value(tag::kActModeVoltPeakLim));
  k.coronaMeasureFailCnt = 0;
  CoronaTimeValueScopeSetup(k, 0);
  k.Reference        = 0;
  k.vRefStarted      = true;
  state.waitForSlope = kWaitForSlope;
  setTag(tag::kWaitingForRapping, 0);
  state.pulseSlopeRaised = false;
  if (value(tag::kPulseCurrentSlope) < kReferencePulseSlope) {
    state.storePulseCurrentSlope = value(tag::kPulseCurrentSlope);
    state.pulseSlopeRaised       = true;
    setTag(tag::kPulseCurrentSlope, kReferencePulseSlope);
  }
  if (!k.FirstReferenceMeasurementDone) return;
  for (const HistoryRow& row : kReferenceHistory) {
    setTag(row.older, value(row.newer));
    setTag(row.newer, value(row.current));
  }
}

void startViReference(const KORA& kora) {
  const bool high = value(tag::kRefOption) != 0 && fieldMaxStep(kora) < kHighSetupBelowMaxStep;
  orvix::platform::ShellCommand command;
  command.format("%s %s &", shellQuote(resolvePath(kMeasurementProgram)).c_str(),
                 shellQuote(resolvePath(high ? kViSetupHigh : kViSetup)).c_str());
  std::printf("%s \n", command.text());
  orvix::platform::runShellCommand(command);
}

void keepScopeCurve() {
  orvix::platform::ShellCommand command;
  command.format("cp %s %s", shellQuote(resolvePath(kScopeCurve)).c_str(), shellQuote(resolvePath(kKoraCurve)).c_str());
  orvix::platform::runShellCommand(command);
}

// Two invalid references in a row raise the warning.
void warnAfterSecondBadReference(const KORA& kora) {
  if (kora.FirstReferenceMeasurementDone && value(tag::kLastRefOk) == 0) setTag(tag::kRefMeasurementWarning, 1);
}

void evaluate(KORA& k) {
  std::printf("KORA Reference Measurment done");
  const int v = value(tag::kViVref);
  const int c = value(tag::kCoronaKv);
  int used    = kVrefFallback;
  bool ok     = false;
  if (v > kVrefLow && v <= kVrefHigh) {
    used      = v;
    ok        = true;
    k.oldVref = static_cast<int16_t>(v);
  } else if (k.oldVref >= kVrefLow + 1 && k.oldVref <= kVrefHigh) {
    used = k.oldVref;
  } else if (c > kVrefLow && c <= kVrefHigh - 1) {
    used = c;
  } else if (c <= kVrefLow - 1 && k.oldVref <= kVrefLow - 1) {
    used      = kVrefLow;
    ok        = true;
    k.oldVref = kVrefLow;
  } else if (c > kVrefHigh && k.oldVref > kVrefHigh) {
    used      = kVrefHigh;
    ok        = true;
    k.oldVref = kVrefHigh;
  }
  setTag(tag::kUsedVref, used);
  if (!ok) warnAfterSecondBadReference(k);
  setTag(tag::kLastRefOk, ok ? 1 : 0);
  setTag(tag::kLastRefTime, value(tag::kTime));
  setTag(tag::kLastRefDate, value(tag::kDate));
  k.referenceTimer                = 0;
  k.FirstReferenceMeasurementDone = true;
  k.vRefStarted                   = false;
  k.ReferenceMeasurementState     = 0;
}

// The interval count (state 0).
void countTowardsReference(KORA& k) {
  setTag(tag::kVrefTimer, k.referenceInterval - k.referenceTimer);
  if (k.referenceInterval <= k.referenceTimer) {
    k.ReferenceMeasurementState = 1;
  } else {
    ++k.referenceTimer;
  }
  k.vRefStarted = false;
  setTag(tag::kWaitingForRapping, 0);
}

void waitForCoronaCapture(KoraState& state) {
  KORA& k       = state.shared;
  k.vRefStarted = true;
  if (isScopeReady(state.scope)) {
    std::printf("corona time done %d \n", value(tag::kMeasuredCoronaTime));
    keepScopeCurve();
    k.ReferenceMeasurementState = 5;
    return;
  }
  if (--k.cCalculationTimeout > 0) return;
  if (k.coronaMeasureFailCnt > kCoronaTotalFailAbove) {
    std::printf("TOTAL FAIL %d\n", 0);
    k.ReferenceMeasurementState = 5;
  } else {
    ++k.coronaMeasureFailCnt;
    k.ReferenceMeasurementState = 3;
  }
  std::printf("scope Timout %d\n", k.coronaMeasureFailCnt);
}

void finishCoronaMeasurement(KORA& k) {
  if (!tronOn()) return;
  k.vRefStarted = true;
  setTag(tag::kCoronaRatio, k.coronaRatioStart);
  setTag(tag::kActModeVoltPeakLim, k.actmodevoltpeaklim);
  setTag(tag::kUsedCoronaTime, ((value(tag::kMeasuredCoronaTime) + 25) / 50) * 5);
  k.coronaMeasureFailCnt = 0;
  setTag(tag::kRefCurrK, pulseCurrent(value(tag::kRatioSecCurr) * kCoronaKReferencePerMille / 1000));
  setTag(tag::kRefCurrM, pulseCurrent(kCoronaMReferenceDensity));
  std::printf("%d %d", value(tag::kRefCurrK), value(tag::kRefCurrK));
  k.ViTimer                   = kViTimerStart;
  k.ReferenceMeasurementState = 7;
}

void runViReference(KoraState& state) {
  KORA& k       = state.shared;
  k.vRefStarted = true;
  if (state.pulseSlopeRaised) {
    setTag(tag::kPulseCurrentSlope, state.storePulseCurrentSlope);
    state.pulseSlopeRaised = false;
  }
  setTag(tag::kViVref, 0);
  if (k.ViTimer == kViTimerStart) startViReference(k);
  const int before = k.ViTimer;
  k.ViTimer        = static_cast<int16_t>(before - 1);
  if (before == 0) k.ReferenceMeasurementState = 8;
}

void waitForViReference(KORA& k) {
  k.vRefStarted = true;
  if (value(tag::kMeasurement) == 1) {
    k.ViTimer = 3;
    return;
  }
  k.ViTimer = static_cast<int16_t>(k.ViTimer - 1);
  if (k.ViTimer <= 0) k.ReferenceMeasurementState = 9;
}

void resetOnSwitchOff(KoraState& state) {
  KORA& k = state.shared;
  if (k.Uninitialized != 0 || k.wasOnTimeOut == 0) {
    KORAInit(state);
    setTag(tag::kRefStatus, 0);
  } else {
    k.wasOnTimeOut = static_cast<int16_t>(k.wasOnTimeOut - 1);
  }
}

// Step 0 does not exist and the table ends at 26: such a typical step starts at step 1.
int startStepOf(int typical) { return typical < 1 || typical > kSteps ? 1 : typical; }

void followTypicalStep(KoraState& state) {
  KORA& k           = state.shared;
  const int typical = fieldTypStep(k);
  if (!k.FirstReferenceMeasurementDone) {
    k.optimalStep = static_cast<int16_t>(startStepOf(typical));
    setTag(tag::kStartStep, k.optimalStep);
    KORAsetOptimalFrAndCurrent(state);
    k.lastTypStep = static_cast<int16_t>(typical);
  }
  if (typical != k.lastTypStep) {
    setTag(tag::kStartStep, startStepOf(typical));
    k.lastTypStep = static_cast<int16_t>(typical);
  }
}

}  // namespace

void KORAReferenceStateLoop(KoraState& state) {
  KORA& k = state.shared;
  if (value(tag::kActModeKora) == 0) {
    resetOnSwitchOff(state);
    KORASetStatus(state);
    return;
  }
  if (k.Uninitialized != 0) {
    KORAInit(state);
    setTag(tag::kRefStatus, 0);
    KORASetStatus(state);
    return;
  }
  k.wasOnTimeOut = kOnTimeOut;
  followTypicalStep(state);
  switch (k.ReferenceMeasurementState) {
    case -1:
      setTag(tag::kVrefTimer, -1);
      k.ReferenceMeasurementState     = 1;
      k.referenceTimer                = k.referenceInterval;
      k.FirstReferenceMeasurementDone = false;
      setTag(tag::kWaitingForRapping, 0);
      k.vRefStarted = false;
      countTowardsReference(k);
      break;
    case 0:
      countTowardsReference(k);
      break;
    case 1:
      setTag(tag::kWaitingForRapping, 1);
      if (value(tag::kRapping) == 1 && tronOn()) {
        std::printf("Start Reference measurement after rapping");
        k.ReferenceMeasurementState = 2;
      }
      k.vRefStarted = false;
      break;
    case 2:
      if (value(tag::kRapping) == 0 && value(tag::kMeasurement) == 0 && tronOn()) {
        startReferenceMeasurement(state);
        k.ReferenceMeasurementState = 3;
      } else {
        setTag(tag::kWaitingForRapping, 1);
        k.vRefStarted = false;
      }
      break;
    case 3:
      if (state.waitForSlope != 0) {
        --state.waitForSlope;
        std::printf("waitForSlope %d\n", state.waitForSlope);
      } else if (tronOn()) {
        k.vRefStarted = true;
        CoronaTimeValueScopeSetup(k, k.coronaMeasureFailCnt);
        if (ScopeStart(state.scope)) {
          k.cCalculationTimeout       = kCCalculationTimeout;
          k.ReferenceMeasurementState = 4;
        }
      }
      break;
    case 4:
      waitForCoronaCapture(state);
      break;
    case 5:
      finishCoronaMeasurement(k);
      break;
    case 7:
      runViReference(state);
      break;
    case 8:
      waitForViReference(k);
      break;
    case 9:
      evaluate(k);
      break;
    default:
      break;
  }
  KORASetStatus(state);
}

}  // namespace kora
