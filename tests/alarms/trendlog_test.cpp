// The trend-log trigger: what asks for a record, the threshold taken while a request is
// pending, the periodic record and the current step record.
#include "trendlog.h"

#include <gtest/gtest.h>

#include "alarm_fixture.h"

namespace {

constexpr int kTronStatus        = 86;
constexpr int kTron              = 94;
constexpr int kFiringRatio       = 215;
constexpr int kSecVoltAvg        = 223;
constexpr int kSecCurrPulse      = 224;
constexpr int kSpm               = 226;
constexpr int kFunCurrLimit      = 410;
constexpr int kFunFiringRatio    = 411;
constexpr int kLogNow            = 1196;
constexpr int kLogDepth          = 1197;
constexpr int kLogLength         = 1198;
constexpr int kCurrentStepRecord = 1397;

class TrendLogTest : public orvix::testing::AlarmStoreTest {
 protected:
  // One pass; whether it asked for a record (the consumer takes it at once).
  bool pass() {
    trigger_.letsLog();
    const bool asked = tag(kLogNow) == 1;
    setTag(kLogNow, 0);
    return asked;
  }
  // A pass while a request is still pending: takes the change threshold.
  void passWithRequestPending() {
    setTag(kLogNow, 1);
    trigger_.letsLog();
    setTag(kLogNow, 0);
  }
  // The T/R set starts running; the start itself asks for a record.
  void start() {
    passWithRequestPending();
    setTag(kTron, 1);
    setTag(kTronStatus, 1);
    EXPECT_TRUE(pass());
  }
  TrendLogTrigger trigger_;
};

TEST_F(TrendLogTest, SparkRateAndRunStateAskForRecords) {
  EXPECT_FALSE(pass());
  start();
  EXPECT_TRUE(pass());  // a start is followed by the periodic record on the next pass
  EXPECT_FALSE(pass());
  setTag(kSpm, 4);
  EXPECT_TRUE(pass());
  EXPECT_FALSE(pass());
  setTag(kTronStatus, 0);
  EXPECT_TRUE(pass());
  setTag(kSpm, 9);  // while stopped the spark rate is not watched
  EXPECT_FALSE(pass());
}

TEST_F(TrendLogTest, VoltageDropBeyondTheThresholdTakenWhileARequestWasPending) {
  start();
  setTag(kLogLength, 1);
  setTag(kFunFiringRatio, 1200);  // above 11 %: threshold = length + 2 = 3
  setTag(kFiringRatio, 1203);     // vxi_firingratio within 0.05 % of it
  setTag(kSecVoltAvg, 500);
  passWithRequestPending();
  EXPECT_TRUE(pass());       // the firing ratio changed: snapshot at 500
  setTag(kSecVoltAvg, 496);  // 4 below: within T + 1
  EXPECT_FALSE(pass());
  setTag(kSecVoltAvg, 495);
  EXPECT_TRUE(pass());
  setTag(kFiringRatio, 1206);  // the actual firing ratio strays from the function's
  EXPECT_TRUE(pass());
}

TEST_F(TrendLogTest, CurrentStepAwayFromTheLimitIsRecorded) {
  start();
  setTag(kFunCurrLimit, 1000);
  setTag(561, 1500);           // vxo_actmodevoltpeaklim, 0.1 kV
  setTag(212, 12);             // vxi_limiter
  setTag(kSecCurrPulse, 980);  // near the limit: a record, no current step
  pass();
  pass();
  setTag(kSecCurrPulse, 100);  // far below the limit
  EXPECT_TRUE(pass());
  EXPECT_EQ(tag(kCurrentStepRecord), 10 | 100 << 8 | 12 << 16 | 4 << 24);
}

TEST_F(TrendLogTest, PeriodicRecordTwoHundredPassesAfterAStop) {
  start();
  setTag(kTronStatus, 0);
  EXPECT_TRUE(pass());
  for (int passes = 1; passes <= 200; ++passes) ASSERT_FALSE(pass()) << passes;
  EXPECT_TRUE(pass());
  for (int passes = 1; passes <= 6000; ++passes) ASSERT_FALSE(pass()) << passes;
  EXPECT_TRUE(pass());
}

TEST_F(TrendLogTest, WatchedTagsAskForRecordsAndTheDepthFollowsTheLength) {
  setTag(kLogLength, 1);
  setTag(1264, 234);  // vxi_seccurravg
  setTag(1265, 223);
  EXPECT_FALSE(pass());
  setTag(234, 17);
  EXPECT_TRUE(pass());
  EXPECT_FALSE(pass());
  setTag(223, 5);
  EXPECT_TRUE(pass());
  EXPECT_EQ(tag(kLogDepth), 100);
}

}  // namespace
