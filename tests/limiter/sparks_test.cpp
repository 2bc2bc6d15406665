// Spark statistics on a clock the test sets: the momentary rate in its four bands, the
// interval history after start, counter jumps, the time-in-slope windows, the twelve-
// spark ring, the spark-free decay and the dv/dt levels.
#include <gtest/gtest.h>

#include <cstdint>

#include "energisation_fixture.h"
#include "sparks.h"
#include "sparktexts.h"

namespace {

constexpr int kSecondsOfDay = 1102;
constexpr int kSparkDvDtLevel = 1367;
constexpr int kNormalDvDtLevel = 1368;
constexpr int kMinSparkDvDt = 1369;
constexpr int kMediumDvDt = 1370;
constexpr int kPulseCurrentRatio = 1408;

int64_t testNow = 0;  // ms
int64_t testClock() { return testNow; }

class SparksTest : public orvix::testing::EnergisationTest {
 protected:
  void SetUp() override {
    EnergisationTest::SetUp();
    testNow = 100000;
    setInternal(kSecondsOfDay, 1);  // no window closes unless a test asks for it
  }
  // A spark event of `sparks` counted sparks after `ms` milliseconds.
  void spark(int ms, int sparks = 1) {
    testNow += ms;
    set("vxi_accspark", get("vxi_accspark") + sparks);
    sparkStatistics(stats_);
  }
  SparkStatistics stats_ = makeSparkStatistics(testClock);
};

TEST_F(SparksTest, MomentaryRateByBand) {
  const struct {
    int rate;      // before the spark, 0.1 sparks per minute
    int expected;  // H0 = 1000 ms, H1..H5 = 500 ms
  } bands[] = {
      {200, 960},    // 4 intervals: mean 625 ms, the new rate taken as it is
      {300, 767},    // 5 intervals: mean 600 ms, R = 1000, (2R + M + 1) / 3
      {800, 915},    // 6 intervals: mean 583 ms, R = 1029, (R + M + 1) / 2
      {1200, 1157},  // 6 intervals, (3M + R + 2) / 4
  };
  for (const auto& band : bands) {
    stats_ = makeSparkStatistics(testClock);
    stats_.oldTimeMs = testNow;
    stats_.sparkTimeHistory = {0, 500, 500, 500, 500, 500};
    stats_.lastAccSpark = stats_.totSparks = get("vxi_accspark");
    set("vxi_momentaryspm", band.rate);
    spark(1000);
    EXPECT_EQ(get("vxi_momentaryspm"), band.expected) << band.rate;
    EXPECT_EQ(stats_.sparkTimeHistory[1], 1000);
    EXPECT_EQ(stats_.sparkTimeHistory[5], 500);
  }
}

TEST_F(SparksTest, IntervalsOfWeeksGiveARateOfZero) {
  // Four intervals of 2^30 ms (12.4 days) and one of 3 s: their sum passes 2^32 ms.
  stats_.oldTimeMs = testNow;
  stats_.sparkTimeHistory = {0, 1 << 30, 1 << 30, 1 << 30, 1 << 30, 0};
  stats_.lastAccSpark = stats_.totSparks = get("vxi_accspark");
  set("vxi_momentaryspm", 300);
  spark(3000);
  EXPECT_EQ(get("vxi_momentaryspm"), 100);  // R = 0: (2 * 0 + 300 + 1) / 3
}

TEST_F(SparksTest, FirstSparksAfterStartFillTheIntervalHistory) {
  spark(3600000);  // an hour after start: no interval yet, the rate is left alone
  EXPECT_EQ(get("vxi_momentaryspm"), 0);
  EXPECT_EQ(stats_.sparkTimeHistory[1], 0);
  spark(1000);
  EXPECT_EQ(get("vxi_momentaryspm"), 600);  // 60.0 sparks per minute
  for (int i = 1; i < 6; ++i) EXPECT_EQ(stats_.sparkTimeHistory[i], 1000) << i;
  spark(500);
  EXPECT_EQ(get("vxi_momentaryspm"), (600000 / 917 + 600 + 1) / 2);
}

TEST_F(SparksTest, CountedSparksDivideTheInterval) {
  set("vxo_actmodesparkrecoverytime", 2000);  // short enough to count each spark
  spark(0);
  spark(1000, 5);
  EXPECT_EQ(stats_.sparkTimeHistory[1], 200);
  spark(1000, 11);  // a jump above 10 counts as one spark
  EXPECT_EQ(stats_.sparkTimeHistory[1], 1000);
  testNow += 700;  // an arc alone is one event
  set("vxi_accarc", 1);
  sparkStatistics(stats_);
  EXPECT_EQ(stats_.sparkTimeHistory[1], 700);
  set("vxo_actmodesparkrecoverytime", 2001);  // long recovery: every event is one spark
  spark(600, 3);
  EXPECT_EQ(stats_.sparkTimeHistory[1], 600);
  const int events = stats_.p;
  sparkStatistics(stats_);  // no change of the counters: no event
  EXPECT_EQ(stats_.p, events);
}

TEST_F(SparksTest, TimeInSlopeWindows) {
  set("vxo_tron", 1);
  set("vxi_activeslope", 3);  // ramping
  setInternal(kSecondsOfDay, 10);
  for (int pass = 0; pass < 30; ++pass) sparkStatistics(stats_);
  EXPECT_EQ(stats_.pShort, 0) << "30 passes do not close a window";
  sparkStatistics(stats_);
  // The first close wraps both rings and writes a long entry from the empty short ring.
  EXPECT_EQ(stats_.pShort, 59);
  EXPECT_EQ(stats_.pLong, 143);
  EXPECT_EQ(stats_.longSlopeStat[143], 0);
  EXPECT_EQ(stats_.shortSlopeStat[59], 100);
  EXPECT_EQ(get("vxi_timeinslopeshort"), 100 / 30);  // default: the newest 30 entries
  EXPECT_EQ(stats_.slope + stats_.noSlope, 0);

  // At the limit with the current held by the pulse current limit: out of slope.
  set("vxi_activeslope", 6);
  set("vxi_funcurrlimit", 500);
  set("vxi_seccurrpulse", 496);
  set("vxi_limiter", 9);
  set("vxo_limiterstatshort", 1);
  for (int pass = 0; pass < 31; ++pass) sparkStatistics(stats_);
  EXPECT_EQ(stats_.shortSlopeStat[58], 0);
  EXPECT_EQ(get("vxi_timeinslopeshort"), 100 / 6);
  // Current below its limit by more than 4 mA, not held by a voltage limit: in slope.
  set("vxi_seccurrpulse", 495);
  set("vxo_limiterstatshort", 0);
  for (int pass = 0; pass < 31; ++pass) sparkStatistics(stats_);
  EXPECT_EQ(get("vxi_timeinslopeshort"), 100);
  set("vxi_limiter", 4);  // volt peak
  for (int pass = 0; pass < 31; ++pass) sparkStatistics(stats_);
  EXPECT_EQ(get("vxi_timeinslopeshort"), 0);
}

TEST_F(SparksTest, TwelveSparkStatistics) {
  set("vxo_actmodesparkrecoverytime", 3000);  // taken directly
  const int slopes[12] = {3, 3, 3, 3, 3, 3, 5, 5, 5, 6, 6, 6};
  const int dvdt[12] = {1, 1, 1, 1, 1, 1, 2, 40, 30, 50, 60, 70};
  for (int i = 0; i < 12; ++i) {
    set("vxi_sparkcurrent", i % 2 == 0 ? 100 : 200);
    set("vxi_lastactiveslopeatspark", slopes[i]);
    set("vxi_sparkdvdt", dvdt[i]);
    spark(1000);
    if (i < 11) {
      EXPECT_EQ(get("vxi_sparkcurrentaverage"), 0) << "the ring is not full yet";
    }
  }
  EXPECT_TRUE(stats_.firstTime);
  EXPECT_EQ(get("vxi_sparkcurrentaverage"), 150);
  EXPECT_EQ(get("vxi_sparkcurrentstddev"), 50);
  EXPECT_EQ(get("vxi_estimatedsecimax"), 100);
  EXPECT_EQ(get("vxi_sparkslopedistributionfi"), 50);
  EXPECT_EQ(get("vxi_sparkslopedistributiona"), 0);
  EXPECT_EQ(get("vxi_sparkslopedistributionb"), 25);
  EXPECT_EQ(get("vxi_sparkslopedistributionc"), 25);
  EXPECT_EQ(internal(kMinSparkDvDt), 30) << "least dv/dt above 3 among slope-5 and slope-6 sparks";

  // Short recovery times smooth the figures: (old + new + 1) / 2.
  set("vxo_actmodesparkrecoverytime", 500);
  set("vxi_sparkcurrent", 100);  // replaces a 100: the ring is unchanged
  set("vxi_lastactiveslopeatspark", 3);
  set("vxi_sparkdvdt", 1);
  spark(1000);
  EXPECT_EQ(get("vxi_sparkcurrentaverage"), 150);
  set("vxi_sparkcurrent", 1100);  // replaces a 200
  spark(1000);
  EXPECT_EQ(get("vxi_sparkcurrentaverage"), (150 + 225 + 1) / 2);
}

TEST_F(SparksTest, RateDecaysWithoutSparks) {
  set("vxi_momentaryspm", 300);
  for (int pass = 0; pass < 201; ++pass) sparkStatistics(stats_);
  EXPECT_EQ(get("vxi_momentaryspm"), 300);
  sparkStatistics(stats_);  // the 202nd spark-free pass
  EXPECT_EQ(get("vxi_momentaryspm"), 180);
  for (int pass = 0; pass < 202; ++pass) sparkStatistics(stats_);
  EXPECT_EQ(get("vxi_momentaryspm"), 105);  // (180 + 60 / 2) / 2

  // Low rates wait for ten spark-free periods, then follow the signal processor's count.
  set("vxi_momentaryspm", 10);
  set("vxi_spm", 3);
  stats_.noSparkCount = 8;
  for (int pass = 0; pass < 202; ++pass) sparkStatistics(stats_);
  EXPECT_EQ(get("vxi_momentaryspm"), 10);
  for (int pass = 0; pass < 202; ++pass) sparkStatistics(stats_);
  EXPECT_EQ(get("vxi_momentaryspm"), 20);
}

TEST_F(SparksTest, DvDtLevelsAndAutomaticSparkSense) {
  shared_mem->parameter.iValue[handle("vxo_sparksenselevel")] = 5;  // below its range, as the web pages may leave it
  setInternal(kMediumDvDt, 40);
  set("vxi_secdvdt", 80);
  setInternal(kMinSparkDvDt, 12);
  setInternal(kSparkDvDtLevel, 30);
  sparkStatistics(stats_);
  EXPECT_EQ(get("vxo_sparksenselevel"), 400);
  EXPECT_EQ(internal(kNormalDvDtLevel), 80);
  EXPECT_EQ(internal(kSparkDvDtLevel), 12) << "follows the least spark dv/dt down at once";

  setInternal(kNormalDvDtLevel, 0);
  setInternal(kSparkDvDtLevel, 0);
  setInternal(kMinSparkDvDt, 0);
  set("vxo_tron", 1);
  maxMediumDvDt();
  EXPECT_EQ(internal(kNormalDvDtLevel), 10);  // (80 + 7 * 0) >> 3
  EXPECT_EQ(internal(kMediumDvDt), 5);
  EXPECT_EQ(internal(kSparkDvDtLevel), 15);   // kept above the normal level
  set("vxo_tron", 0);
  set("vxi_secdvdt", 0);
  setInternal(kNormalDvDtLevel, 3);
  setInternal(kMediumDvDt, 0);
  maxMediumDvDt();
  EXPECT_EQ(internal(kNormalDvDtLevel), 8);
  EXPECT_EQ(internal(kMediumDvDt), 40);
}

TEST_F(SparksTest, PulseCurrentRatio) {
  set("vxo_tron", 1);
  set("vxi_funcurrlimit", 1000);
  set("vxi_seccurrpulse", 500);
  pulseCurrentRatioCalculation();
  EXPECT_EQ(internal(kPulseCurrentRatio), 13);  // (50 + 0 + 2) / 4
  pulseCurrentRatioCalculation();
  EXPECT_EQ(internal(kPulseCurrentRatio), 22);
  set("vxi_funcurrlimit", 0);
  pulseCurrentRatioCalculation();
  EXPECT_EQ(internal(kPulseCurrentRatio), 17);
  set("vxo_tron", 0);
  pulseCurrentRatioCalculation();
  EXPECT_EQ(internal(kPulseCurrentRatio), 0);
}

TEST_F(SparksTest, SpmTextWithItsSlopePrefix) {
  SpmPrefixState prefix;
  set("vxi_spm", 12);
  set("vxi_activeslope", 5);
  setSpmString(prefix);
  EXPECT_EQ(text("vxi_spmtag"), "B:12");
  set("vxi_spm", 1234);
  setSpmString(prefix);
  EXPECT_EQ(text("vxi_spmtag"), "B:999");
  set("vxi_spm", -3);
  set("vxi_activeslope", 1);
  setSpmString(prefix);
  EXPECT_EQ(text("vxi_spmtag"), "Q:0");

  // At the limit: "C:" while the current limit holds the current below it, nothing once
  // the current has reached it.
  set("vxi_spm", 7);
  set("vxi_activeslope", 6);
  set("vxi_limiter", 9);
  set("vxi_funcurrlimit", 500);
  set("vxi_seccurrpulse", 400);
  setSpmString(prefix);
  EXPECT_EQ(text("vxi_spmtag"), "C:7");
  set("vxi_seccurrpulse", 498);
  setSpmString(prefix);
  EXPECT_EQ(text("vxi_spmtag"), "7");
  set("vxi_seccurrpulse", 400);
  setSpmString(prefix);
  EXPECT_EQ(text("vxi_spmtag"), "7") << "settled until the slope changes";
  set("vxi_activeslope", 3);
  setSpmString(prefix);
  set("vxi_activeslope", 6);
  setSpmString(prefix);
  EXPECT_EQ(text("vxi_spmtag"), "C:7");
}

TEST_F(SparksTest, PositionText) {
  set("vxo_fieldposition", 66);
  set("vxo_cellposition", 10);
  setPositionString();
  EXPECT_EQ(text("vxi_positiontag"), "B10");
}

}  // namespace
