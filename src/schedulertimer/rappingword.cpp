#include "rappingword.h"

#include <algorithm>

#include "rappingtags.h"
#include "sharedmem/tagaccess.h"

namespace rapping {

namespace {
constexpr int kLowerA = 'a';
constexpr int kLowerL = 'l';
constexpr int kLowerCountDownBase = 113;  // 'b' (98) gives 15
constexpr int kUpperOffset = 64;          // 'A' gives 1
}  // namespace

int fieldIdOf(int fieldLetter) {
  if (fieldLetter >= kLowerA && fieldLetter <= kLowerL) {
    return fieldLetter == kLowerA ? 0 : kLowerCountDownBase - fieldLetter;
  }
  return fieldLetter - kUpperOffset;
}

int fieldId() { return fieldIdOf(dbReadValueByHandle(tag::vxo_fieldposition)); }

int convertToSeconds(int repTime, int repDay) {
  const auto word = static_cast<uint32_t>(repTime);
  const int hours = static_cast<int>(word >> 24 & 0xFF);
  const int minutes = static_cast<int>(word >> 16 & 0xFF);
  const int seconds = static_cast<int>(word >> 8 & 0xFF);
  return hours * 3600 + minutes * 60 + seconds + repDay * kSecondsPerDay;
}

void secondsToTime(int seconds, int* repTime, int* repDay) {
  seconds = std::clamp(seconds, 0, kLongestInterval);
  *repDay = seconds / kSecondsPerDay;
  const int rest = seconds % kSecondsPerDay;
  const uint32_t word = static_cast<uint32_t>(rest / 3600) << 24 | static_cast<uint32_t>(rest / 60 % 60) << 16 |
                        static_cast<uint32_t>(rest % 60) << 8;
  *repTime = static_cast<int>(word);
}

}  // namespace rapping
