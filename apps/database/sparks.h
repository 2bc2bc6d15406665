// Spark statistics: the momentary spark rate, the time spent ramping over short and long
// windows, the spread of the spark current over the last twelve sparks, where in the
// ramp they struck, and the dv/dt levels that set the automatic spark sense.
#pragma once

#include <array>
#include <cstdint>

constexpr int kShortWindows = 60;   // 10-second entries: 10 minutes
constexpr int kLongWindows = 144;   // 10-minute entries: 24 hours
constexpr int kSparkRing = 12;      // spark events kept for the current statistics
constexpr int kSparkIntervals = 6;  // newest and five previous spark intervals

using MillisecondClock = int64_t (*)();

struct SparkStatistics {
  int slope = 0;    // passes in slope in the current 10-second window
  int noSlope = 0;  // passes out of slope
  std::array<int16_t, kShortWindows> shortSlopeStat{};  // % in slope per 10 s
  int pShort = 0;                                       // newest entry; moves downward
  std::array<int16_t, kLongWindows> longSlopeStat{};    // per mille in slope per 10 min
  int pLong = 0;
  int tick = 0;          // passes since the last spark event
  int noSparkCount = 0;  // spark-free periods since the last spark event
  int totSparks = 0;     // sum of the three accumulated counters last seen
  int lastAccSpark = 0;  // vxi_accspark last seen
  std::array<int, kSparkRing> scHist{};     // spark current, mA
  std::array<int, kSparkRing> slHist{};     // slope at the spark, 0..6
  std::array<int, kSparkRing> sdvdtHist{};  // spark dv/dt
  int p = 0;               // next write index of the ring
  bool firstTime = false;  // the ring has been filled once
  std::array<int, kSparkIntervals> sparkTimeHistory{};  // ms, H0 newest
  int64_t oldTimeMs = -1;  // ms of the previous spark event, -1 before the first
  MillisecondClock clockMs;  // a clock that never jumps with the wall clock
};

SparkStatistics makeSparkStatistics(MillisecondClock clockMs = nullptr);  // null: monotonic

// Every pass.
void sparkStatistics(SparkStatistics& s);
// Every 3 seconds: filters the dv/dt levels.
void maxMediumDvDt();
// Every 10 seconds: smoothed ratio of pulse current to the current limit (tag 1408).
void pulseCurrentRatioCalculation();
