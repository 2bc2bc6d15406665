#include "mira/opacity.h"

#include <cstdio>

#include "mira/miratags.h"
#include "sharedmem/tagaccess.h"

namespace mira {

namespace {

constexpr int kLowestMeterCurrent = 39;     // 0.1 mA: at or below, the meter reads nothing
constexpr int kZeroOpacityCurrent = 40;     // 0.1 mA: 4 mA is opacity 0
constexpr int kFullOpacityCurrent = 200;    // 0.1 mA: 20 mA is full scale
constexpr int kFullScale          = 10000;  // 0.01 %
constexpr int kSourceMeter        = 0;
constexpr int kSourceExternal     = 1;

int opacityOfMeterCurrent(int current) {
  if (current <= kLowestMeterCurrent) return 1;
  if (current <= kFullOpacityCurrent) {
    const int span = kFullOpacityCurrent - kZeroOpacityCurrent;
    return ((current - kZeroOpacityCurrent) * kFullScale + span / 2) / span;
  }
  return kFullScale;
}

}  // namespace

void takeOpacitySample() {
  int sample = 0;
  switch (dbReadValueByHandle(tag::kOpacitySource)) {
    case kSourceMeter:
      sample = opacityOfMeterCurrent(dbReadValueByHandle(tag::kAuxCurr));
      break;
    case kSourceExternal:
      sample = dbReadValueByHandle(tag::kExternalOpacity);
      break;
    default:
      return;
  }
  int ignored = 0;
  dbSetValueByHandle(tag::kOpacMomentary, sample, &ignored);
}

void averageOpacity(OpacityHistory& history, bool fullMinute) {
  const int samplesPerMinute = static_cast<int>(history.op1min.size());
  const int means            = static_cast<int>(history.op30min.size());
  history.op1min[static_cast<size_t>(history.cnt1min % samplesPerMinute)] =
      static_cast<int16_t>(dbReadValueByHandle(tag::kOpacMomentary));
  ++history.cnt1min;
  if (fullMinute && history.cnt1min >= samplesPerMinute) {
    history.cnt1min = 0;
    int sum         = 0;
    for (int16_t sample : history.op1min) sum += sample;
    history.op30min[static_cast<size_t>(history.cnt30min % means)] = static_cast<int16_t>(sum / samplesPerMinute);
    if (++history.cnt30min >= means) {
      history.cnt30min   = 0;
      history.firstRound = false;
    }
  }
  int count = dbReadValueByHandle(tag::kSampleInterval);
  if (count > means) count = means;
  if (history.firstRound && count > history.cnt30min) count = history.cnt30min;
  int average = 0;
  if (count > 0) {
    int sum = 0;
    for (int back = 1; back <= count; ++back) {
      sum += history.op30min[static_cast<size_t>((history.cnt30min - back + means) % means)];
    }
    average = sum / count;
  }
  int error = 0;
  if (!dbSetValueByHandle(tag::kOpacAverage, average, &error)) std::printf("MiraOpacAverageError %d \n", error);
}

}  // namespace mira
