// The functional limiter over many passes: the five ramp bands with their remainder
// carry, an immediate drop, the T/R set switched off and on, rapping targets, the idle
// current; and dynamicLimits rescaling the settings' ranges.
#include <gtest/gtest.h>

#include <vector>

#include "dynamiclimits.h"
#include "energisation_fixture.h"
#include "limiter.h"

namespace {

constexpr int kTrendTrigger = 1196;
constexpr int kIdleBlock = 1290;
constexpr int kMaxIdleCurrent = 1303;
constexpr int kViProgress = 1174;
constexpr int kRappingWithOptimisation = 1301;

class LimiterTest : public orvix::testing::EnergisationTest {
 protected:
  void SetUp() override {
    EnergisationTest::SetUp();
    setInternal(kViProgress, -1);
    set("vxo_tron", 1);
    set("vxo_actmodecurrlim", 1000);
    set("vxo_pulsecurrentslope", 200);
  }
  // The limits of n passes.
  std::vector<int> passes(int n) {
    std::vector<int> limits;
    for (int i = 0; i < n; ++i) {
      functionalLimiter(state_);
      limits.push_back(get("vxi_funcurrlimit"));
    }
    return limits;
  }
  LimiterState state_;
};

TEST_F(LimiterTest, RampsThroughTheFiveBandsWithTheRemainderCarried) {
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funcurrlimit"), 3);  // 200 / 66 = 3, remainder 2
  EXPECT_EQ(state_.rest, 2);
  EXPECT_EQ(get("vxi_funlimiter"), kFunLimiterRamping);
  EXPECT_EQ(get("vxi_riseslopec"), 286);  // (200 * 1428 + 1000) / 1000
  EXPECT_EQ(internal(kTrendTrigger), 1);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funcurrlimit"), 6);
  EXPECT_EQ(state_.rest, 4);

  // Step sizes by band: 200/66 below 40 mA, 200/23 below 150, 200/14 below 850,
  // 200/23 below 960, then 200/66; the carried remainder adds one now and then.
  int last = get("vxi_funcurrlimit");
  int passesToTarget = 2;
  while (last < 1000 && passesToTarget < 1000) {
    const int next = passes(1).back();
    const int step = next - last;
    if (next >= 1000) {
      EXPECT_LE(step, 15);
    } else if (last < 40) {
      EXPECT_TRUE(step == 3 || step == 4) << last << " +" << step;
    } else if (last < 150) {
      EXPECT_TRUE(step == 8 || step == 9) << last << " +" << step;
    } else if (last < 850) {
      EXPECT_TRUE(step == 14 || step == 15) << last << " +" << step;
    } else if (last < 960) {
      EXPECT_TRUE(step == 8 || step == 9) << last << " +" << step;
    } else {
      EXPECT_TRUE(step == 3 || step == 4) << last << " +" << step;
    }
    last = next;
    ++passesToTarget;
  }
  EXPECT_EQ(last, 1000);
  EXPECT_GT(passesToTarget, 80);
  EXPECT_LT(passesToTarget, 120);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funcurrlimit"), 1000);
  EXPECT_EQ(get("vxi_funlimiter"), kFunLimiterCurrentLimit);
  EXPECT_EQ(state_.raiseState, 0);
  EXPECT_EQ(state_.rest, 0);
}

TEST_F(LimiterTest, RemainderIsRescaledWhenTheRampEntersTheNextBand) {
  state_.currlimTarget = 1000;
  state_.lastCurrlim = 39;  // top of band 0
  state_.raiseState = 0;
  state_.rest = 40;
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funcurrlimit"), 39 + (200 + 40) / 66);
  EXPECT_EQ(state_.raiseState, 0);
  // Now in band 1: the remainder in 66ths becomes 23rds, rounded.
  const int restBefore = state_.rest;
  const int limitBefore = state_.lastCurrlim;
  functionalLimiter(state_);
  const int rescaled = (restBefore * 23 + 33) / 66;
  EXPECT_EQ(state_.lastCurrlim, limitBefore + (200 + rescaled) / 23);
  EXPECT_EQ(state_.rest, (rescaled + 200 % 23) % 23);
  EXPECT_EQ(state_.raiseState, 1);
  // Jumping two bands drops the remainder.
  state_.lastCurrlim = 900;
  state_.rest = 13;
  functionalLimiter(state_);
  EXPECT_EQ(state_.lastCurrlim, 900 + 200 / 23);
  EXPECT_EQ(state_.raiseState, 3);
}

TEST_F(LimiterTest, LowerTargetTakesEffectOnTheSamePass) {
  passes(200);
  ASSERT_EQ(get("vxi_funcurrlimit"), 1000);
  set("vxo_actmodecurrlim", 400);
  setInternal(kTrendTrigger, 0);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funcurrlimit"), 400);
  EXPECT_EQ(internal(kTrendTrigger), 1);
  EXPECT_EQ(state_.currlimTarget, 400);
}

TEST_F(LimiterTest, SwitchingOffZeroesTheLimitAndTheNextStartRampsFromZero) {
  passes(200);
  set("vxo_tron", 0);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funcurrlimit"), 0);
  EXPECT_EQ(get("vxi_funlimiter"), kFunLimiterOff);
  passes(5);
  EXPECT_EQ(get("vxi_funcurrlimit"), 0);
  set("vxo_tron", 1);
  const std::vector<int> limits = passes(3);
  EXPECT_LE(limits[0], 4);
  EXPECT_LT(limits[2], 15);
}

TEST_F(LimiterTest, WithoutASlopeTheLimitJumpsToTheTarget) {
  dynamicLimits();  // the rescaled range admits a slope of 0
  set("vxo_pulsecurrentslope", 0);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funcurrlimit"), 1000);
}

TEST_F(LimiterTest, RappingTargets) {
  set("vxi_rapping", 1);
  set("vxi_pcr", -1);
  shared_mem->parameter.iValue[handle("vxi_schedulerpcrresult")] = -1;
  functionalLimiter(state_);
  EXPECT_EQ(state_.currlimTarget, 1000) << "no rapping target: the mode's limit applies";
  EXPECT_EQ(get("vxi_funlimiter"), kFunLimiterRamping);

  set("vxi_pcr", 300);
  setInternal(kTrendTrigger, 0);
  functionalLimiter(state_);
  EXPECT_EQ(state_.currlimTarget, 300);
  EXPECT_EQ(internal(kTrendTrigger), 1);

  set("vxi_schedulerresult", 1);
  set("vxi_schedulerpcrresult", 250);
  functionalLimiter(state_);
  EXPECT_EQ(state_.currlimTarget, 250) << "the scheduler's result comes first";

  // With the optimisation the target is capped by vxo_koramaxpcr, or is that cap itself.
  setInternal(kRappingWithOptimisation, 1);
  set("vxo_actmodekora", 1);
  set("vxo_koramaxpcr", 200);
  functionalLimiter(state_);
  EXPECT_EQ(state_.currlimTarget, 200);
  set("vxi_schedulerresult", 0);
  set("vxi_pcr", -1);
  set("vxo_koramaxpcr", 150);
  functionalLimiter(state_);
  EXPECT_EQ(state_.currlimTarget, 150);
  for (int i = 0; i < 200; ++i) functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funcurrlimit"), 150);
  EXPECT_EQ(get("vxi_funlimiter"), kFunLimiterRapping);
}

TEST_F(LimiterTest, OptimisationCurrentIsTheTargetWhenNotRapping) {
  set("vxo_actmodekora", 1);
  set("vxi_koracurrentlimit", 600);
  setInternal(kTrendTrigger, 0);
  functionalLimiter(state_);
  EXPECT_EQ(state_.currlimTarget, 600);
  EXPECT_EQ(internal(kTrendTrigger), 1);
  setInternal(kTrendTrigger, 0);
  functionalLimiter(state_);
  EXPECT_EQ(internal(kTrendTrigger), 0) << "an unchanged target asks for no trend record";
  passes(200);
  EXPECT_EQ(get("vxi_funcurrlimit"), 600);
  EXPECT_EQ(get("vxi_funlimiter"), kFunLimiterKora);
  set("vxi_koracurrentlimit", 1500);  // above the mode's limit: clamped
  passes(200);
  EXPECT_EQ(get("vxi_funcurrlimit"), 1000);
}

TEST_F(LimiterTest, RiseSlopeCodesAreReplacedAtTheTarget) {
  passes(200);
  set("vxo_riseslopecsetting", 1);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxo_riseslopecsetting"), 500);
  EXPECT_EQ(get("vxi_riseslopec"), 500);
  set("vxo_riseslopecsetting", 0);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_riseslopec"), 100);
  set("vxo_riseslopecsetting", 1700);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_riseslopec"), 1700);
  EXPECT_EQ(get("vxo_riseslopecsetting"), 1700);
}

TEST_F(LimiterTest, IdleCurrentFollowsTheLimitUpToItsMaximum) {
  set("vxo_actmodeidlecurrent", 100);  // 10.0 % of the limit
  setInternal(kMaxIdleCurrent, 80);
  passes(200);
  EXPECT_EQ(get("vxi_funidlecurrent"), 80);
  setInternal(kMaxIdleCurrent, 500);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funidlecurrent"), 100);
  setInternal(kIdleBlock, 1);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_funidlecurrent"), 0);
}

TEST_F(LimiterTest, RunningViMeasurementReportsTheLimiter) {
  set("vxi_limiter", 9);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_vilimitedby"), 0);
  setInternal(kViProgress, 0);
  functionalLimiter(state_);
  EXPECT_EQ(get("vxi_vilimitedby"), 9);
}

class DynamicLimitsTest : public orvix::testing::EnergisationTest {
 protected:
  static int max(const char* name) {
    int value = 0;
    dbGetMaximumValueByHandle(handle(name), &value);
    return value;
  }
  static int min(const char* name) {
    int value = 0;
    dbGetMinimumValueByHandle(handle(name), &value);
    return value;
  }
  static int defaultOf(const char* name) {
    int value = 0;
    dbGetDefaultValueByHandle(handle(name), &value);
    return value;
  }
};

TEST_F(DynamicLimitsTest, CurrentSettingsFollowTheTransformerRatio) {
  set("vxo_actmodecurrlim", 1500);
  set("vxo_mode6currlim", 1800);
  set("vxo_t10pcrcurr", 900);
  set("vxo_maxaveragecurr", 900);
  const int maxAverageMin = min("vxo_maxaveragecurr");
  set("vxo_ratioseccurr", 4000);
  dynamicLimits();
  EXPECT_EQ(max("vxo_actmodecurrlim"), 800);
  EXPECT_EQ(defaultOf("vxo_actmodecurrlim"), 200);
  EXPECT_EQ(get("vxo_actmodecurrlim"), 800) << "a value above the new range is lowered to it";
  EXPECT_EQ(get("vxo_mode6currlim"), 800);
  EXPECT_EQ(max("vxo_t10pcrcurr"), 800);
  EXPECT_EQ(get("vxo_t10pcrcurr"), 800);
  // The minimum of vxo_maxaveragecurr stays; its default follows the maximum down.
  EXPECT_EQ(max("vxo_maxaveragecurr"), 400);
  EXPECT_EQ(get("vxo_maxaveragecurr"), 400);
  EXPECT_EQ(min("vxo_maxaveragecurr"), maxAverageMin);
  EXPECT_EQ(defaultOf("vxo_maxaveragecurr"), 400);
  EXPECT_EQ(max("vxo_pulsecurrentslope"), 200);
  set("vxo_ratioprimcurr", 300);
  dynamicLimits();
  EXPECT_EQ(max("vxo_primcurrtriplim"), 300);
  EXPECT_EQ(defaultOf("vxo_primcurrtriplim"), 300);
}

// A fresh unit's defaults already lie inside the limits the loop derives once a second;
// otherwise the first pass would change settings and report them as unsaved.
TEST_F(DynamicLimitsTest, FreshUnitSettingsAreLeftAsTheyAre) {
  int before[kNoOfHandles];
  for (int h = 0; h < kNoOfHandles; ++h) before[h] = dbReadValueByHandle(h);
  dynamicLimits();
  for (int h = 0; h < kNoOfHandles; ++h) {
    if (shared_mem->parameter.config[h].bits.store) {
      EXPECT_EQ(dbReadValueByHandle(h), before[h]) << "handle " << h;
    }
  }
}

TEST_F(DynamicLimitsTest, StepLimitsHoldEachOtherAndTheThresholdFollowsResistivity) {
  set("vxo_customminstep", 5);
  set("vxo_custommaxstep", 20);
  dynamicLimits();
  EXPECT_EQ(min("vxo_custommaxstep"), 6);
  EXPECT_EQ(max("vxo_customminstep"), 19);
  EXPECT_EQ(min("vxo_customtypstep"), 5);
  EXPECT_EQ(max("vxo_customtypstep"), 20);
  EXPECT_EQ(get("vxo_customtypstep"), 5) << "raised to the new minimum";
  int errCode = 0;
  EXPECT_FALSE(dbSetValueByHandle(handle("vxo_customminstep"), 20, &errCode));

  const struct {
    int resistivity;
    int threshold;
  } defaults[] = {{0, 25}, {1, 15}, {2, 10}, {3, 15}};
  for (const auto& d : defaults) {
    set("vxo_actmoderesistivity", d.resistivity);
    dynamicLimits();
    EXPECT_EQ(defaultOf("vxo_koraoptstepupthreshold"), d.threshold) << d.resistivity;
  }
}

TEST_F(DynamicLimitsTest, ShortQuenchCodes) {
  set("vxo_actmodeshortquench", 1);
  dynamicLimits();
  EXPECT_EQ(get("vxo_actmodeshortquench"), 2);
  set("vxo_actmodeshortquench", 3);
  set("vxo_actmodesparkrecoverytime", 1001);
  dynamicLimits();
  EXPECT_EQ(get("vxo_actmodeshortquench"), 3);
  set("vxo_actmodesparkrecoverytime", 1000);
  dynamicLimits();
  EXPECT_EQ(get("vxo_actmodeshortquench"), 4);
}

}  // namespace
