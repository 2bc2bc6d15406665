#include "mira/distribution.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "mira/miralog.h"
#include "mira/miratags.h"
#include "sharedmem/tagaccess.h"

namespace mira {

namespace {

constexpr int kUnity         = 10000;     // 0.01 %: a factor that changes nothing
constexpr int kLowestShare   = 100;       // 0.01 %
constexpr int kFullShareOpac = 10000;     // 0.01 %
constexpr int64_t kOverflow  = 10009999;  // limit x factor + 5000 above this is more than 100 %

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

ThreeFields readWord(int handle) { return ThreeFields{static_cast<uint32_t>(dbReadValueByHandle(handle))}; }

// The first type in order that passes the test, else kNoFieldType.
template <typename Test>
FieldType firstOf(const FieldType (&order)[3], Test test) {
  for (FieldType type : order) {
    if (test(type)) return type;
  }
  return kNoFieldType;
}

}  // namespace

int calculateChange() {
  setTag(tag::kFactorId, (dbReadValueByHandle(tag::kFactorId) + 1) % 10);
  int setValue = dbReadValueByHandle(tag::kSetValue);  // %
  if (setValue == 0) setValue = 1;
  const int64_t average = dbReadValueByHandle(tag::kOpacAverage);
  const int64_t gain    = dbReadValueByHandle(tag::kGain);
  int64_t factor        = kUnity + ((average - 100 * setValue) * gain + setValue / 2) / setValue;
  // A large gain far below the set value would give a negative factor, which no limit
  // can follow: the limits then go to zero, their lowest.
  factor        = std::max<int64_t>(factor, 0);
  int64_t share = dbReadValueByHandle(tag::kOpacCurr) * factor / kUnity;
  share         = std::max<int64_t>(share, 100 * dbReadValueByHandle(tag::kCurrLimMin));
  share         = std::clamp<int64_t>(share, kLowestShare, kFullShareOpac);
  setTag(tag::kOpacCurr, static_cast<int>(share));
  setTag(tag::kMainLimit, static_cast<int>(share));
  return static_cast<int>(std::min<int64_t>(factor, INT32_MAX));
}

FieldType selectFieldTypeToUpdate(int cell, bool limitDown) {
  const ThreeFields profile = readWord(tag::kPowerProfile);
  const ThreeFields actual  = readWord(tag::kCellPowersBefore + cell);
  const CellStatus status(static_cast<uint32_t>(dbReadValueByHandle(tag::kCellStatusBefore + cell)));
  if (limitDown) {
    constexpr FieldType kOrder[] = {kIntermediate, kFirst, kLast};
    const FieldType above        = firstOf(
               kOrder, [&](FieldType type) { return status.followsDown(type) && profile.get(type) < actual.get(type); });
    if (above != kNoFieldType) return above;
    return firstOf(kOrder, [&](FieldType type) { return status.followsDown(type); });
  }
  constexpr FieldType kOrder[] = {kLast, kFirst, kIntermediate};
  const FieldType below =
      firstOf(kOrder, [&](FieldType type) { return status.followsUp(type) && actual.get(type) < profile.get(type); });
  if (below != kNoFieldType) return below;
  return firstOf(kOrder, [&](FieldType type) { return status.followsUp(type); });
}

void distributeChange(int factor) {
  const bool limitDown = static_cast<unsigned>(factor) <= kUnity - 1;
  const int cells      = std::min(dbReadValueByHandle(tag::kTotalCells), kCells);
  for (int cell = 1; cell <= cells; ++cell) {
    ThreeFields limits   = readWord(tag::kCellLimitsBefore + cell);
    const FieldType type = selectFieldTypeToUpdate(cell, limitDown);
    if (type == kNoFieldType) {
      std::printf("\e[31mCell %d selected NO field to change. Internal Limits are F: %d    I:%d    L:%d   \e[0m", cell,
                  limits.get(kFirst), limits.get(kIntermediate), limits.get(kLast));
      continue;
    }
    const int64_t scaled = static_cast<int64_t>(limits.get(type)) * factor + 5000;
    limits.set(type, scaled > kOverflow ? kFullShare : static_cast<int>(scaled / kUnity));
    setTag(tag::kCellLimitsBefore + cell, static_cast<int>(limits.all));
  }
  appendMiraLog(factor);
}

void distributeMax() {
  setTag(tag::kMainLimit, kFullShareOpac);
  setTag(tag::kOpacCurr, kFullShareOpac);
  const ThreeFields full = ThreeFields::of(kFullShare, kFullShare, kFullShare);
  for (int cell = 1; cell <= kCells; ++cell) setTag(tag::kCellLimitsBefore + cell, static_cast<int>(full.all));
}

}  // namespace mira
