#include "sparks.h"

#include <climits>

#include "controlmath.h"
#include "energisationtags.h"
#include "limiter.h"
#include "platform/platform.h"

using namespace etag;

namespace {

// Codes of vxi_limiter.
constexpr int kLimiterAverageCurrent = 2;  // 2..5: the output is held by a voltage-side limit
constexpr int kLimiterIgnitionAngle = 5;
constexpr int kSlopeAtLimit = 6;  // vxi_activeslope: the controller sits at its limit
constexpr int kSlopeFi = 3;       // slopes counted in the spark distribution: FI, A, B, C
constexpr int kSlopeC = 6;
constexpr int kSlopeB = 5;

constexpr int kWindowSeconds = 10;
constexpr int kLeastWindowPasses = 30;  // fewer passes in a window: the window is not closed
constexpr int kPerMilleOfShortSum = kShortWindows / 10;  // mean of the % entries in per mille: sum / 6

// clang-format off
// Entries averaged for the time in slope, indexed by vxo_limiterstatshort and
// vxo_limiterstatlong.
constexpr int kShortMeanEntries[] = {1, 6, 30, 60};                  // 10 s, 1, 5, 10 min
constexpr int kLongMeanEntries[]  = {1, 3, 6, 12, 24, 36, 72, 144};  // 10, 30 min, 1, 2, 4, 6, 12, 24 h
// clang-format on

constexpr int kSpareCurrentMargin = 4;  // mA the pulse current may stay below the limit in slope
constexpr int kLeastSparkSense = 10;     // below: the spark sense follows the dv/dt levels
constexpr int kSparkFreePasses = 200;    // a spark-free period is 202 passes
constexpr int kMostSparksPerEvent = 10;  // larger counter jumps count as one spark
constexpr int kMergeSparksAbove = 2000;  // recovery time (0.1 ms) above which every event is one spark
constexpr int kNoSparkDvDt = 1000000;    // no slope-B or slope-C spark among the last twelve
constexpr int kLeastSparkDvDt = 3;
constexpr int kTenthsPerMinuteMs = 600000;  // 0.1 sparks per minute = 600000 / interval in ms

// Momentary rate: intervals averaged and weight of the new rate, by the present rate.
struct RateBand {
  int upTo;       // present rate up to this, 0.1 sparks per minute
  int intervals;  // newest intervals averaged
  int newWeight;  // weight of the rate from the intervals
  int oldWeight;  // weight of the present rate
};
// clang-format off
// up to    intervals  new  old
constexpr RateBand kRateBands[] = {
    {250,     4,         1,   0},
    {500,     5,         2,   1},
    {1000,    6,         1,   1},
    {INT_MAX, 6,         1,   3},
};
// clang-format on

bool voltageSideLimit(int limiter) { return limiter >= kLimiterAverageCurrent && limiter <= kLimiterIgnitionAngle; }

int meanOfNewest(const int16_t* ring, int size, int newest, int count) {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += ring[(newest + i) % size];
  return sum / count;
}

template <size_t N>
int entriesFor(const int (&table)[N], int setting) {
  return setting >= 0 && setting < static_cast<int>(N) ? table[setting] : table[0];
}

void sampleTimeInSlope(SparkStatistics& s) {
  const bool inSlope =
      readTag(kTron) != 0 &&
      (readTag(kFunLimiter) == kFunLimiterRamping || readTag(kActiveSlope) != kSlopeAtLimit ||
       (readTag(kFunCurrLimit) > readTag(kSecCurrPulse) + kSpareCurrentMargin && !voltageSideLimit(readTag(kLimiter))));
  if (inSlope) {
    ++s.slope;
  } else {
    ++s.noSlope;
  }
}

void closeWindow(SparkStatistics& s) {
  if (readTag(kSecondsOfDay) % kWindowSeconds != 0 || s.slope + s.noSlope <= kLeastWindowPasses) return;
  if (--s.pShort < 0) {
    s.pShort = kShortWindows - 1;
    if (--s.pLong < 0) s.pLong = kLongWindows - 1;
    int sum = 0;
    for (const int16_t entry : s.shortSlopeStat) sum += entry;
    s.longSlopeStat[s.pLong] = static_cast<int16_t>(sum / kPerMilleOfShortSum);
  }
  s.shortSlopeStat[s.pShort] = static_cast<int16_t>(s.slope * 100 / (s.slope + s.noSlope));
  writeTag(kTimeInSlopeShort, meanOfNewest(s.shortSlopeStat.data(), kShortWindows, s.pShort,
                                           entriesFor(kShortMeanEntries, readTag(kLimiterStatShort))));
  s.slope = s.noSlope = 0;
  writeTag(kTimeInSlopeLong, meanOfNewest(s.longSlopeStat.data(), kLongWindows, s.pLong,
                                          entriesFor(kLongMeanEntries, readTag(kLimiterStatLong))));
}

void followDvDtEnvelopes() {
  if (readTag(kSparkSenseLevel) < kLeastSparkSense) writeTag(kSparkSenseLevel, readTag(kMediumDvDt) * 10);
  if (readTag(kNormalDvDtLevel) < readTag(kSecDvDt)) writeTag(kNormalDvDtLevel, readTag(kSecDvDt));
  if (readTag(kMinSparkDvDt) < readTag(kSparkDvDtLevel)) writeTag(kSparkDvDtLevel, readTag(kMinSparkDvDt));
}

// Without sparks the momentary rate decays towards 60 per spark-free period.
void decayWithoutSparks(SparkStatistics& s) {
  if (s.tick++ <= kSparkFreePasses) return;
  ++s.noSparkCount;
  const int rate = readTag(kMomentarySpm);
  if (rate < 11) {
    if (s.noSparkCount > 9) writeTag(kMomentarySpm, (rate + readTag(kSpm) * 10) / 2);
  } else if (rate <= 60) {
    if (s.noSparkCount > 5) writeTag(kMomentarySpm, (rate + 60 / s.noSparkCount) / 2);
  } else {
    writeTag(kMomentarySpm, (rate + 60 / s.noSparkCount) / 2);
  }
  s.tick = 0;
}

void updateMomentaryRate(const SparkStatistics& s) {
  const int rate = readTag(kMomentarySpm);
  const RateBand* band = &kRateBands[0];
  while (rate > band->upTo) ++band;
  // Intervals of a T/R set left off for weeks add up past the 32-bit range.
  int64_t sum = 0;
  for (int i = 0; i < band->intervals; ++i) sum += s.sparkTimeHistory[i];
  const int64_t interval = (sum + band->intervals / 2) / band->intervals;
  const int newRate = interval == 0 ? 0 : static_cast<int>(kTenthsPerMinuteMs / interval);
  const int weights = band->newWeight + band->oldWeight;
  writeTag(kMomentarySpm, (band->newWeight * newRate + band->oldWeight * rate + weights / 2) / weights);
}

void twelveSparkStatistics(const SparkStatistics& s) {
  int sum = 0;
  for (const int current : s.scHist) sum += current;
  const int mean = (sum + kSparkRing / 2) / kSparkRing;

  int perSlope[4] = {};  // FI, A, B, C
  uint64_t squares = 0;
  int leastDvDt = kNoSparkDvDt;
  for (int i = 0; i < kSparkRing; ++i) {
    if (s.slHist[i] >= kSlopeFi && s.slHist[i] <= kSlopeC) ++perSlope[s.slHist[i] - kSlopeFi];
    const int64_t deviation = static_cast<int64_t>(s.scHist[i]) - mean;
    squares += static_cast<uint64_t>(deviation * deviation);
    if ((s.slHist[i] == kSlopeB || s.slHist[i] == kSlopeC) && s.sdvdtHist[i] > kLeastSparkDvDt &&
        s.sdvdtHist[i] < leastDvDt) {
      leastDvDt = s.sdvdtHist[i];
    }
  }
  const uint64_t variance = squares / kSparkRing;
  const int deviation =
      static_cast<int>(squareRootUnsigned(variance > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(variance)));
  writeTag(kMinSparkDvDt, leastDvDt);

  const int recoveryTime = readTag(kActModeSparkRecoveryTime);
  const int oldMean = readTag(kSparkCurrentAverage);
  const int oldDeviation = readTag(kSparkCurrentStdDev);
  if (recoveryTime < 1000) {
    writeTag(kSparkCurrentAverage, (oldMean + mean + 1) / 2);
    writeTag(kSparkCurrentStdDev, (oldDeviation + deviation + 1) / 2);
  } else if (recoveryTime < 2500) {
    writeTag(kSparkCurrentAverage, (oldMean + 2 * mean + 1) / 3);
    writeTag(kSparkCurrentStdDev, (oldDeviation + 2 * deviation + 1) / 3);
  } else {
    writeTag(kSparkCurrentAverage, mean);
    writeTag(kSparkCurrentStdDev, deviation);
  }

  const int counted = perSlope[0] + perSlope[1] + perSlope[2] + perSlope[3];
  if (counted > 0) {
    constexpr int kDistributionTags[] = {kSparkSlopeDistFi, kSparkSlopeDistA, kSparkSlopeDistB, kSparkSlopeDistC};
    for (int i = 0; i < 4; ++i) writeTag(kDistributionTags[i], (counted / 2 + perSlope[i] * 100) / counted);
  }
}

void handleSparkEvent(SparkStatistics& s, int accumulated) {
  const int accSpark = readTag(kAccSpark);
  int sparks = accSpark - s.lastAccSpark;
  s.lastAccSpark = accSpark;
  if (sparks < 1 || sparks > kMostSparksPerEvent || readTag(kActModeSparkRecoveryTime) > kMergeSparksAbove) sparks = 1;

  s.tick = 0;
  s.noSparkCount = 0;
  s.scHist[s.p] = readTag(kSparkCurrent);
  s.slHist[s.p] = readTag(kLastActiveSlopeAtSpark);
  s.sdvdtHist[s.p] = readTag(kSparkDvDt);

  // The first event after start has no previous one to measure an interval from.
  const int64_t now = s.clockMs();
  if (s.oldTimeMs >= 0) {
    auto& history = s.sparkTimeHistory;
    const int64_t interval = (now - s.oldTimeMs) / sparks;
    history[0] = interval > INT_MAX ? INT_MAX : static_cast<int>(interval);
    bool rateKnown = true;
    if (history[1] == 0 && history[2] == 0) {
      for (int i = 1; i < kSparkIntervals; ++i) history[i] = history[0];
    } else if (history[1] == 0) {
      rateKnown = false;
    }
    if (rateKnown && history[0] != 0) updateMomentaryRate(s);
    for (int i = kSparkIntervals - 1; i > 0; --i) history[i] = history[i - 1];
  }
  s.oldTimeMs = now;
  s.totSparks = accumulated;

  if (++s.p >= kSparkRing) {
    s.p = 0;
    s.firstTime = true;
  }
  if (s.firstTime) twelveSparkStatistics(s);
  writeTag(kEstimatedSecIMax, (readTag(kSparkCurrentAverage) + readTag(kSparkCurrentStdDev)) >> 1);
}

}  // namespace

SparkStatistics makeSparkStatistics(MillisecondClock clockMs) {
  SparkStatistics s;
  s.clockMs = clockMs != nullptr ? clockMs : orvix::platform::monotonicMs;
  return s;
}

void sparkStatistics(SparkStatistics& s) {
  sampleTimeInSlope(s);
  closeWindow(s);
  followDvDtEnvelopes();
  decayWithoutSparks(s);
  const int accumulated = readTag(kAccSpark) + readTag(kAccArc) + readTag(kAccDoubleSpark);
  if (accumulated != s.totSparks) handleSparkEvent(s, accumulated);
}

void maxMediumDvDt() {
  if (readTag(kTron) == 1) {
    writeTag(kNormalDvDtLevel, (readTag(kSecDvDt) + 7 * readTag(kNormalDvDtLevel)) >> 3);
    writeTag(kSparkDvDtLevel, (readTag(kMinSparkDvDt) + 7 * readTag(kSparkDvDtLevel)) >> 3);
    writeTag(kMediumDvDt, (readTag(kNormalDvDtLevel) + readTag(kSparkDvDtLevel)) >> 1);
  }
  if (readTag(kNormalDvDtLevel) <= 7) writeTag(kNormalDvDtLevel, 8);
  if (readTag(kMediumDvDt) == 0) writeTag(kMediumDvDt, 40);
  if (readTag(kSparkDvDtLevel) < readTag(kNormalDvDtLevel)) writeTag(kSparkDvDtLevel, readTag(kNormalDvDtLevel) + 5);
}

void pulseCurrentRatioCalculation() {
  const int limit = readTag(kFunCurrLimit);
  const int ratio = limit >= 1 ? readTag(kSecCurrPulse) * 100 / limit : 0;
  writeTag(kPulseCurrentRatio, (ratio + 3 * readTag(kPulseCurrentRatio) + 2) / 4);
  if (readTag(kTron) == 0) writeTag(kPulseCurrentRatio, 0);
}
