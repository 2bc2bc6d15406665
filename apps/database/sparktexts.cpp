#include "sparktexts.h"

#include <cstdio>

#include "energisationtags.h"

using namespace etag;

namespace {

constexpr int kLimiterPulseCurrent = 9;  // vxi_limiter: held by the pulse current limit
constexpr int kLimiterKora = 10;         // held by the charge-ratio optimisation
constexpr int kSlopeAtLimit = 6;
constexpr int kSettledCount = 10;        // the counter stays here while the current sits at its limit
constexpr int kLargestRateShown = 999;

// Prefix by vxi_activeslope (slope 6 is decided by the counter) and the counter it sets.
struct SlopePrefix {
  const char* prefix;
  int counter;
};
// clang-format off
// slope  prefix  counter
constexpr SlopePrefix kSlopePrefixes[] = {
    {"",    -1},  // 0: no prefix, counter kept
    {"Q:",  1},   // 1
    {"Q:",  1},   // 2
    {"A:",  1},   // 3
    {"A:",  1},   // 4
    {"B:",  2},   // 5
};
// clang-format on

bool limitedByCurrentLimit(int limiter) { return limiter == kLimiterPulseCurrent || limiter == kLimiterKora; }

const char* prefixAtLimit(SpmPrefixState& state) {
  if (state.counter > kSettledCount - 1) return "";
  const bool currentLimited = limitedByCurrentLimit(readTag(kLimiter));
  if (currentLimited && readTag(kSecCurrPulse) + 2 >= readTag(kFunCurrLimit)) {
    state.counter = kSettledCount;
    return "";
  }
  if (currentLimited) {
    state.counter = 3;
    return "C:";
  }
  ++state.counter;
  return "";
}

}  // namespace

void setSpmString(SpmPrefixState& state) {
  const int slope = readTag(kActiveSlope);
  const char* prefix = "";
  if (slope == kSlopeAtLimit) {
    prefix = prefixAtLimit(state);
  } else if (slope >= 0 && slope < kSlopeAtLimit) {
    prefix = kSlopePrefixes[slope].prefix;
    if (kSlopePrefixes[slope].counter >= 0) state.counter = kSlopePrefixes[slope].counter;
  }
  int rate = readTag(kSpm);
  if (rate < 0) rate = 0;
  if (rate > kLargestRateShown) rate = kLargestRateShown;
  char text[8];
  std::snprintf(text, sizeof text, "%s%d", prefix, rate);
  int ignored = 0;
  dbSetModbusTextByHandle(kSpmTag, text, &ignored);
}

void setPositionString() {
  char text[16];
  std::snprintf(text, sizeof text, "%c%d", static_cast<char>(readTag(kFieldPosition)), readTag(kCellPosition));
  int ignored = 0;
  dbSetModbusTextByHandle(kPositionTag, text, &ignored);
}
