#include "dynamiclimits.h"

#include <span>

#include "energisationtags.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

using namespace etag;

namespace {

// A bound or default: factor * (source / divisor) + offset, where the source is a
// transformer ratio or another tag's value; kOwnMin is the setting's present minimum.
enum class Source { kNone, kOwnMin, kSecRatio, kPrimRatio, kTag, kStepUpByResistivity };
struct Bound {
  Source source;
  int divisor = 1;
  int factor = 1;
  int offset = 0;
  int handle = -1;  // Source::kTag
};

constexpr Bound constant(int value) { return {Source::kNone, 1, 0, value}; }
// The setting's present minimum, given rather than left to the "keep" marker: only with a
// given minimum is the new default stored, and it must follow a lowered maximum.
constexpr Bound ownMin() { return {Source::kOwnMin}; }
constexpr Bound secRatio(int divisor, int factor = 1) { return {Source::kSecRatio, divisor, factor}; }
constexpr Bound primRatio() { return {Source::kPrimRatio}; }
constexpr Bound tagPlus(int handle, int offset = 0) { return {Source::kTag, 1, 1, offset, handle}; }
constexpr Bound stepUpDefault() { return {Source::kStepUpByResistivity}; }

struct LimitRow {
  std::span<const int> settings;
  Bound min;
  Bound max;
  Bound defaultValue;
};

constexpr int kCurrentLimits[] = {kActModeCurrLim, kModeCurrLims[0], kModeCurrLims[1], kModeCurrLims[2],
                                  kModeCurrLims[3], kModeCurrLims[4], kModeCurrLims[5]};
constexpr int kMaxAverage[] = {kMaxAverageCurr};
constexpr int kStepUpThreshold[] = {kKoraOptStepUpThreshold};
constexpr int kPulseSlope[] = {kPulseCurrentSlope};
constexpr int kMaxStep[] = {kCustomMaxStep};
constexpr int kMinStep[] = {kCustomMinStep};
constexpr int kTypStep[] = {kCustomTypStep};
constexpr int kPrimTrip[] = {kPrimCurrTripLim};

// clang-format off
// settings            min                            max                            default
constexpr LimitRow kLimitRows[] = {
    {kCurrentLimits,    constant(0),                   secRatio(10, 2),               secRatio(20)},
    {kMaxAverage,       ownMin(),                      secRatio(10),                  secRatio(10)},
    {kTimerPcrCurrents, constant(0),                   secRatio(10, 2),               constant(0)},
    {kStepUpThreshold,  constant(-100),                constant(100),                 stepUpDefault()},
    {kPulseSlope,       constant(0),                   secRatio(20),                  constant(200)},
    {kMaxStep,          tagPlus(kCustomMinStep, 1),    constant(26),                  constant(25)},
    {kMinStep,          constant(1),                   tagPlus(kCustomMaxStep, -1),   constant(1)},
    {kTypStep,          tagPlus(kCustomMinStep),       tagPlus(kCustomMaxStep),       tagPlus(kCustomMinStep)},
    {kPrimTrip,         constant(0),                   primRatio(),                   primRatio()},
};

// Step-up threshold default by vxo_actmoderesistivity.
// resistivity:                        0   1   2   3
constexpr int kStepUpDefaults[] = {25, 15, 10, 15};
// clang-format on

// Short quench codes that are replaced: 1 always by 2, 3 by 4 at short recovery times.
constexpr int kRetiredQuench = 1;
constexpr int kRetiredQuenchReplacement = 2;
constexpr int kQuenchNeedingLongRecovery = 3;
constexpr int kQuenchForShortRecovery = 4;
constexpr int kShortRecoveryTime = 1000;  // 0.1 ms

int evaluate(const Bound& bound, int setting) {
  switch (bound.source) {
    case Source::kNone:
      return bound.offset;
    case Source::kOwnMin: {
      int min = kKeepLimit;
      return dbGetMinimumValueByHandle(setting, &min) ? min : kKeepLimit;
    }
    case Source::kSecRatio:
      return bound.factor * (readTag(kRatioSecCurr) / bound.divisor) + bound.offset;
    case Source::kPrimRatio:
      return readTag(kRatioPrimCurr);
    case Source::kTag:
      return readTag(bound.handle) + bound.offset;
    case Source::kStepUpByResistivity: {
      const int resistivity = readTag(kActModeResistivity);
      return resistivity >= 0 && resistivity < 4 ? kStepUpDefaults[resistivity] : kStepUpDefaults[1];
    }
  }
  return kKeepLimit;
}

}  // namespace

void dynamicLimits() {
  for (const LimitRow& row : kLimitRows) {
    for (const int handle : row.settings) {
      dbEnforceNewLimits(handle, evaluate(row.min, handle), evaluate(row.max, handle),
                         evaluate(row.defaultValue, handle));
    }
  }
  const int quench = readTag(kActModeShortQuench);
  if (quench == kRetiredQuench) writeTag(kActModeShortQuench, kRetiredQuenchReplacement);
  if (quench == kQuenchNeedingLongRecovery && readTag(kActModeSparkRecoveryTime) <= kShortRecoveryTime) {
    writeTag(kActModeShortQuench, kQuenchForShortRecovery);
  }
}
