// The simulated signal processor with its bridge on a private store and a fixed clock.
#include "signalprocessor.h"

#include <gtest/gtest.h>

#include "canbridge.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"

namespace dspsim {
namespace {

ModelConstants quietField() {
  ModelConstants c;
  c.randomSeed           = 7;
  c.sparkRateAtSparkover = 0;  // sparks only on request
  return c;
}

class DspsimSignalProcessorTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    adoptModuleValues(dsp_);
  }
  // Runs the processor and the bridge for this many ms in 50 ms sets.
  void run(int ms) {
    for (int t = 0; t < ms; t += 50) {
      now_ += 50;
      processor_.step(now_);
      publishLinkTraffic(exchangeCanMap(dsp_));
    }
  }
  int value(int tagHandle) { return dbReadValueByHandle(tagHandle); }
  void set(int tagHandle, int v) {
    int errCode = 0;
    ASSERT_TRUE(dbSetValueByHandle(tagHandle, v, &errCode)) << tagHandle << " code " << errCode;
  }
  void switchOn(int limitMa) {
    set(handle::kFunCurrLimit, limitMa);
    set(handle::kTron, 1);
  }

  ModelConstants constants_ = quietField();
  DspRegisters dsp_;
  SignalProcessor processor_{constants_, dsp_};
  int64_t now_ = 0;
};

TEST_F(DspsimSignalProcessorTest, TronStatusFollowsTheRunCommandAfterTheStartDelay) {
  switchOn(400);
  run(900);
  EXPECT_EQ(value(handle::kTronStatus), 0);
  EXPECT_EQ(value(handle::kSecCurrPulse), 0);
  run(200);
  EXPECT_EQ(value(handle::kTronStatus), 1);
  set(handle::kTron, 0);
  run(100);
  EXPECT_EQ(value(handle::kTronStatus), 0);
  EXPECT_EQ(value(handle::kSecCurrPulse), 0);
  EXPECT_EQ(value(handle::kLimiter), kLimiterOff);
}

TEST_F(DspsimSignalProcessorTest, CurrentFollowsTheFunctionalLimit) {
  switchOn(400);
  run(2500);
  EXPECT_NEAR(value(handle::kSecCurrPulse), 400, 2);
  EXPECT_EQ(value(handle::kLimiter), kLimiterPulseCurrent);
  EXPECT_GT(value(handle::kSecVoltAvg), constants_.coronaOnsetVoltage);
  EXPECT_EQ(value(handle::kLineFrequency), 500);
  EXPECT_EQ(value(handle::kFiringRatio), 10000);
  set(handle::kFunCurrLimit, 100);
  run(1000);
  EXPECT_NEAR(value(handle::kSecCurrPulse), 100, 2);
  // A charge ratio of 3 fires a third of the half-cycles.
  set(handle::kFakeCr, 3);
  run(1000);
  EXPECT_EQ(value(handle::kFiringRatio), 3333);
  EXPECT_NEAR(value(handle::kSecCurrAvg), 33, 1);
}

// The unit's rapping output reaches the rapping input over the link; the limit counts as the
// rapping limit (code 7) only once the module's limiter has taken the reduced rapping current.
TEST_F(DspsimSignalProcessorTest, RappingOutputIsReportedAsRappingWithItsLimit) {
  switchOn(400);
  set(handle::kFunLimiter, kLimiterPulseCurrent);
  run(2500);
  set(handle::kSchedulerResult, 1);
  run(200);
  EXPECT_EQ(value(handle::kRapping), 1);
  EXPECT_EQ(value(handle::kLimiter), kLimiterPulseCurrent);  // no reduced current asked
  set(handle::kFunLimiter, kLimiterRapping);
  set(handle::kFunCurrLimit, 150);
  run(1000);
  EXPECT_EQ(value(handle::kLimiter), kLimiterRapping);
  EXPECT_NEAR(value(handle::kSecCurrPulse), 150, 2);
  set(handle::kSchedulerResult, 0);
  run(200);
  EXPECT_EQ(value(handle::kRapping), 0);
  EXPECT_EQ(value(handle::kLimiter), kLimiterPulseCurrent);
}

TEST_F(DspsimSignalProcessorTest, ASparkCountsDropsTheCurrentAndRecovers) {
  switchOn(500);
  run(3000);
  const int peak = value(handle::kSecVoltPeak);
  processor_.handle({RequestKind::kSpark});
  run(50);
  EXPECT_EQ(value(handle::kAccSpark), 1);
  EXPECT_EQ(value(handle::kSpm), 1);
  EXPECT_NEAR(value(handle::kSparkCurrent), 475, 26);  // 90..100 % of the pulse current
  EXPECT_EQ(value(handle::kLastActiveSlopeAtSpark), kSlopeC);
  EXPECT_NEAR(value(handle::kSparkVoltage), peak, 5);
  EXPECT_GE(value(handle::kSparkDvdt), 480);
  EXPECT_EQ(value(handle::kLimiter), kLimiterSpark);
  EXPECT_LT(value(handle::kSecCurrPulse), 500);
  // A second spark during the recovery is a double spark.
  run(100);
  processor_.handle({RequestKind::kSpark});
  run(50);
  EXPECT_EQ(value(handle::kAccDoubleSpark), 1);
  EXPECT_EQ(value(handle::kAccSpark), 1);
  run(10000);  // recovery, then slope C back to the limit
  EXPECT_NEAR(value(handle::kSecCurrPulse), 500, 2);
  EXPECT_EQ(value(handle::kLimiter), kLimiterPulseCurrent);
  EXPECT_EQ(value(handle::kActiveSlope), kSlopeC);
  // The module may reset the accumulated counter; counting goes on from there.
  set(handle::kAccSpark, 0);
  run(50);
  processor_.handle({RequestKind::kSpark});
  run(50);
  EXPECT_EQ(value(handle::kAccSpark), 1);
}

TEST_F(DspsimSignalProcessorTest, AnArcCountsApartAndQuenchesLonger) {
  switchOn(500);
  run(3000);
  processor_.handle({RequestKind::kArc});
  run(50);
  EXPECT_EQ(value(handle::kAccArc), 1);
  EXPECT_EQ(value(handle::kAccSpark), 0);
  EXPECT_EQ(value(handle::kLimiter), kLimiterArc);
  EXPECT_EQ(value(handle::kActiveSlope), kSlopeQuench);
  EXPECT_EQ(value(handle::kSecCurrPulse), 0);
  // The arc quench (4 half-cycles) is over after 40 ms; then the recovery of a spark follows.
  run(50);
  EXPECT_EQ(value(handle::kLimiter), kLimiterSpark);
  EXPECT_GT(value(handle::kSecCurrPulse), 0);
}

TEST_F(DspsimSignalProcessorTest, SparksComeMoreOftenCloserToSparkOver) {
  constants_.sparkRateAtSparkover = 60;
  const auto sparksInTenMinutesAt = [this](int limitMa) {
    SignalProcessor processor(constants_, dsp_);
    set(handle::kAccSpark, 0);
    set(handle::kFunCurrLimit, limitMa);
    set(handle::kTron, 1);
    for (int t = 0; t < 600000; t += 50) {
      now_ += 50;
      processor.step(now_);
      publishLinkTraffic(exchangeCanMap(dsp_));
    }
    set(handle::kTron, 0);
    return value(handle::kAccSpark);
  };
  const int low  = sparksInTenMinutesAt(300);
  const int high = sparksInTenMinutesAt(900);
  EXPECT_LT(low, 10);
  EXPECT_GT(high, 5 * std::max(low, 1));
}

TEST_F(DspsimSignalProcessorTest, OwnAlarmsTripAndAreClearedByTheOperatorReset) {
  switchOn(400);
  run(2000);
  processor_.handle({RequestKind::kRaiseAlarm, findDspAlarm("vxi_alttemphight")});
  run(100);
  EXPECT_EQ(value(2), 1);
  EXPECT_EQ(value(handle::kSumAlarm), 1);
  EXPECT_EQ(value(handle::kTron), 0);  // a trip drops the run command
  EXPECT_EQ(value(handle::kTronStatus), 0);
  // A warning does not switch off.
  processor_.handle({RequestKind::kRaiseAlarm, findDspAlarm("vxi_alwcheckoilw")});
  run(100);
  EXPECT_EQ(value(3), 1);

  set(handle::kSumAlarmReset, 1);
  run(200);
  EXPECT_EQ(value(handle::kSumAlarmReset), 1);  // held long enough for the module to see it
  EXPECT_EQ(value(2), 1);
  run(300);
  EXPECT_EQ(value(handle::kSumAlarmReset), 0);
  EXPECT_EQ(value(2), 0);
  EXPECT_EQ(value(3), 0);
  EXPECT_EQ(value(handle::kSumAlarm), 0);
  switchOn(400);
  run(1500);
  EXPECT_EQ(value(handle::kTronStatus), 1);
}

TEST_F(DspsimSignalProcessorTest, HeartbeatAlternatesUntilStopped) {
  int changes  = 0;
  int previous = value(handle::kHeartbeat);
  for (int second = 0; second < 10; ++second) {
    run(1000);
    changes += value(handle::kHeartbeat) != previous;
    previous = value(handle::kHeartbeat);
  }
  EXPECT_GE(changes, 9);
  processor_.handle({RequestKind::kHeartbeatStop});
  for (int second = 0; second < 10; ++second) {
    run(1000);
    EXPECT_EQ(value(handle::kHeartbeat), 1);
  }
  processor_.handle({RequestKind::kHeartbeatRun});
  run(1000);
  EXPECT_EQ(value(handle::kHeartbeat), 0);
  run(1000);
  EXPECT_EQ(value(handle::kHeartbeat), 1);
}

}  // namespace
}  // namespace dspsim
