#include "kora/samples.h"

#include "kora/koratags.h"
#include "kora/tagio.h"

namespace kora {

namespace {

constexpr int32_t kEmpty    = -1;
constexpr int kSlotsPerKind = 4;

constexpr size_t firstSlot(Capture capture) { return capture == Capture::kFull ? 0 : kSlotsPerKind; }

// Samples a step needs before its value counts: later steps are measured more often,
// since their charges lie closer together.
// clang-format off
struct NeedRow { int fromStep; int samples; };
constexpr NeedRow kSamplesNeeded[] = {
    // from step   samples
    {20,           4},
    {14,           3},
    {11,           2},
    {0,            1},
};
// clang-format on

int samplesNeeded(int s) {
  for (const NeedRow& row : kSamplesNeeded) {
    if (s >= row.fromStep) return row.samples;
  }
  return 1;
}

// A sample that finds the slots of its kind taken is dropped: the step has enough.
void store(std::array<int32_t, kSampleSlots>& slots, Capture capture, int32_t sample) {
  if (sample == kEmpty) return;
  for (size_t slot = firstSlot(capture); slot < firstSlot(capture) + kSlotsPerKind; ++slot) {
    if (slots[slot] == kEmpty) {
      slots[slot] = sample;
      return;
    }
  }
}

int count(const std::array<int32_t, kSampleSlots>& slots, Capture capture) {
  int taken = 0;
  for (size_t slot = firstSlot(capture); slot < firstSlot(capture) + kSlotsPerKind; ++slot) {
    if (slots[slot] != kEmpty) ++taken;
  }
  return taken;
}

bool validStep(int s) { return s >= 0 && s < kSampleSteps; }

// History of firing-ratio changes: group 01 newest; per group ratio, count, date, time.
// clang-format off
constexpr int kHistoryGroups[][4] = {
    // fr    cnt   date  time
    {1057, 1058, 1059, 1060},  // 01
    {1061, 1062, 1063, 1064},  // 02
    {1065, 1066, 1067, 1068},  // 03
    {1069, 1095, 1096, 1097},  // 04
};
// clang-format on
constexpr int kRatio = 0, kCount = 1, kDateColumn = 2, kTimeColumn = 3;

}  // namespace

void clearSamples(SampleTable& table) {
  for (auto& slots : table) slots.fill(kEmpty);
}

bool measurementDone(KoraState& state, int s, Capture capture) {
  if (!validStep(s)) return true;
  auto& slots = state.qvaluesMeasuredAtThisStep[static_cast<size_t>(s)];
  if (capture == Capture::kFull) {
    store(slots, Capture::kFull, value(tag::kLastQFull));
    const auto& step       = state.shared.step;
    const bool sameDensity = s + 1 <= kSteps && step[static_cast<size_t>(s)].currentDensity ==
                                                    step[static_cast<size_t>(s + 1)].currentDensity;
    store(slots, Capture::kTrunc, sameDensity ? value(tag::kLastQTrunc) : kEmpty);
  } else {
    store(slots, Capture::kTrunc, value(tag::kLastQTrunc));
  }
  return count(slots, capture) >= samplesNeeded(s);
}

int32_t stepQValue(const SampleTable& table, int s, Capture capture) {
  if (!validStep(s)) return 0;
  const auto& slots = table[static_cast<size_t>(s)];
  int64_t sum       = 0;
  int taken         = 0;
  for (size_t slot = firstSlot(capture); slot < firstSlot(capture) + kSlotsPerKind; ++slot) {
    if (slots[slot] == kEmpty) continue;
    sum += slots[slot];
    ++taken;
  }
  return taken == 0 ? 0 : static_cast<int32_t>((sum + taken / 2) / taken);
}

void frOptimationHistory(const KORA& kora, int s) {
  const int ratio = kora.step[static_cast<size_t>(s)].firingRatio;
  if (value(kHistoryGroups[0][kRatio]) == ratio) {
    setTag(kHistoryGroups[0][kCount], value(kHistoryGroups[0][kCount]) + 1);
    return;
  }
  for (size_t group = std::size(kHistoryGroups) - 1; group > 0; --group) {
    for (size_t column = 0; column < 4; ++column)
      setTag(kHistoryGroups[group][column], value(kHistoryGroups[group - 1][column]));
  }
  setTag(kHistoryGroups[0][kRatio], ratio);
  setTag(kHistoryGroups[0][kCount], 1);
  setTag(kHistoryGroups[0][kDateColumn], value(tag::kDate));
  setTag(kHistoryGroups[0][kTimeColumn], value(tag::kTime));
}

}  // namespace kora
