// What KORA asks of the scope program and what it takes back: the capture set-ups, the
// start and readiness protocol, the samples of a step and the firing-ratio history.
#include <gtest/gtest.h>

#include "energisation_fixture.h"
#include "kora/samples.h"
#include "kora/scope.h"

namespace {

constexpr int kPreviousStepFr  = 1269;
constexpr int kAnalysisInvalid = 1270;

class KoraMeasurementsTest : public orvix::testing::EnergisationTest {
 protected:
  void SetUp() override {
    EnergisationTest::SetUp();
    auto& step = state_.shared.step;
    for (int s = 1; s <= kora::kSteps; ++s) {
      step[static_cast<size_t>(s)].firingRatio    = static_cast<int16_t>(10000 / s);
      step[static_cast<size_t>(s)].currentDensity = static_cast<int16_t>(200 + 50 * s);
    }
    set("vxo_collectorarea", 0);  // pulse current = density
    kora::clearSamples(state_.qvaluesMeasuredAtThisStep);
  }
  kora::KoraState state_;
};

TEST_F(KoraMeasurementsTest, ChargeSetUpsTakeTheRatioBelowAndTheRateFromTheDensity) {
  auto& step = state_.shared.step;
  // Sample-rate code by the capture's density: 4 above 340, 5 above 290, 8 below 241, else 6.
  const struct {
    int density, code;
  } rates[] = {
      {341, 4},
      {340, 5},
      {291, 5},
      {290, 6},
      {241, 6},
      {240, 8}
  };
  for (const auto& r : rates) {
    step[6].currentDensity = static_cast<int16_t>(r.density);  // Q full of 5 runs at 6's current
    EXPECT_EQ(kora::QFullValueScopeSetup(state_.shared, 5), 0);
    EXPECT_EQ(get("vxo_samplerate"), r.code) << r.density;
    EXPECT_EQ(get("vxi_koracurrentlimit"), r.density);
    step[5].currentDensity = static_cast<int16_t>(r.density);  // Q trunc of 5 at its own
    EXPECT_EQ(kora::QTruncValueScopeSetup(state_.shared, 5), 1);
    EXPECT_EQ(get("vxo_samplerate"), r.code) << r.density;
  }
  EXPECT_EQ(get("vxi_koratestfr"), 2000);
  EXPECT_EQ(internal(kPreviousStepFr), 2500);
  EXPECT_EQ(get("vxo_scopegrabmethod"), 1);
  EXPECT_EQ(get("vxo_scopeview2type"), 3);
  EXPECT_EQ(get("vxo_webscopedatasize"), 4);
  EXPECT_EQ(kora::QFullValueScopeSetup(state_.shared, 5), 1);  // 5 and 6 now share a density

  EXPECT_EQ(kora::QFullValueScopeSetup(state_.shared, 1), 0);
  EXPECT_EQ(internal(kPreviousStepFr), -1);  // no step below step 1
  set("vxi_koratestfr", 1234);
  EXPECT_EQ(kora::QFullValueScopeSetup(state_.shared, 26), -1);
  EXPECT_EQ(kora::QTruncValueScopeSetup(state_.shared, 1), 0);
  EXPECT_EQ(get("vxi_koratestfr"), 1234);  // neither prepared a capture

  set("vxo_actmodecurrlim", 800);
  EXPECT_EQ(kora::currentOptimizationScopeSetup(94), 0);
  EXPECT_EQ(get("vxi_koracurrentlimit"), 752);
  EXPECT_EQ(get("vxi_koratestfr"), 10000);
  EXPECT_EQ(get("vxo_samplerate"), 4);
}

TEST_F(KoraMeasurementsTest, CoronaSetUpLowersRatioAndDensityFromTheThirdFailure) {
  set("vxo_koracoronaratio", 1100);
  for (int fails = 0; fails < 3; ++fails) {
    kora::CoronaTimeValueScopeSetup(state_.shared, fails);
    EXPECT_EQ(get("vxi_koracurrentlimit"), 300);
    EXPECT_EQ(get("vxo_koracoronaratio"), 1100);
  }
  EXPECT_EQ(get("vxi_koratestfr"), 1429);
  EXPECT_EQ(get("vxo_scopeview2type"), 4);
  EXPECT_EQ(get("vxo_samplerate"), 5);
  // Density 300 × 0.9, 0.81, ... 0.478; the ratio's excess of 100 shrinks at every call.
  const int densities[] = {270, 243, 219, 197, 177, 159, 143, 143};
  int excess            = 100;
  const int factors[]   = {900, 810, 729, 656, 590, 531, 478, 478};
  for (int fails = 3; fails <= 10; ++fails) {
    kora::CoronaTimeValueScopeSetup(state_.shared, fails);
    excess = (excess * factors[fails - 3] + 500) / 1000;
    EXPECT_EQ(get("vxi_koracurrentlimit"), densities[fails - 3]) << fails;
    EXPECT_EQ(get("vxo_koracoronaratio"), 1000 + excess) << fails;
  }
  // High set-up: reference option on and a field that goes no higher than step 2.
  set("vxo_korarefoption", 1);
  set("vxo_actmoderesistivity", 3);
  set("vxo_customminstep", 1);
  set("vxo_custommaxstep", 2);
  kora::CoronaTimeValueScopeSetup(state_.shared, 3);
  EXPECT_EQ(get("vxi_koratestfr"), 3333);
  EXPECT_EQ(get("vxo_webscopedatasize"), 2);
  EXPECT_EQ(get("vxi_koracurrentlimit"), 315);  // 350 × 0.9
}

TEST_F(KoraMeasurementsTest, StartTriggersOnTheTwelfthPassAndWaitsForBusy) {
  kora::ScopeProtocol scope;
  set("vxo_scopegrabstatus", 4);
  set("vxi_rapping", 1);
  for (int pass = 0; pass < 20; ++pass) ASSERT_FALSE(kora::ScopeStart(scope));
  set("vxi_rapping", 0);
  for (int pass = 1; pass <= 20; ++pass) {
    ASSERT_FALSE(kora::ScopeStart(scope));
    ASSERT_EQ(get("vxo_scopegrabtrigger"), pass >= 12 ? 1 : 0) << pass;
  }
  set("vxo_scopegrabstatus", 1);  // the scope took the trigger
  EXPECT_TRUE(kora::ScopeStart(scope));

  // A scope that takes the trigger and finishes between two passes has started too.
  set("vxo_scopegrabstatus", 4);
  set("vxo_scopegrabtrigger", 0);
  for (int pass = 1; pass <= 12; ++pass) ASSERT_FALSE(kora::ScopeStart(scope)) << pass;
  EXPECT_FALSE(kora::ScopeStart(scope));  // the trigger not yet taken up
  set("vxo_scopegrabtrigger", 0);
  EXPECT_TRUE(kora::ScopeStart(scope));

  // Busy without a trigger of ours: reset, and about ten passes before trying again.
  set("vxo_scopegrabstatus", 2);
  EXPECT_FALSE(kora::ScopeStart(scope));
  EXPECT_EQ(get("vxo_scopegrabreset"), 1);
  set("vxo_scopegrabstatus", 0);
  set("vxo_scopegrabtrigger", 0);
  int passes = 1;
  while (!kora::ScopeStart(scope) && get("vxo_scopegrabtrigger") == 0 && passes < 100) ++passes;
  EXPECT_EQ(passes, 9 + 12);  // the reset's count, then twelve passes to the trigger

  // Ready on the third consecutive good pass; an invalid analysis restarts the count.
  kora::ScopeProtocol ready;
  set("vxo_scopegrabstatus", 4);
  EXPECT_FALSE(kora::isScopeReady(ready));
  EXPECT_FALSE(kora::isScopeReady(ready));
  setInternal(kAnalysisInvalid, 1);
  EXPECT_FALSE(kora::isScopeReady(ready));
  setInternal(kAnalysisInvalid, 0);
  EXPECT_FALSE(kora::isScopeReady(ready));
  EXPECT_FALSE(kora::isScopeReady(ready));
  EXPECT_TRUE(kora::isScopeReady(ready));
}

TEST_F(KoraMeasurementsTest, LaterStepsNeedMoreSamplesAndTheirMeanCounts) {
  using kora::Capture;
  const struct {
    int step, needed;
  } cases[] = {
      {10, 1},
      {11, 2},
      {13, 2},
      {14, 3},
      {19, 3},
      {20, 4},
      {26, 4}
  };
  for (const auto& c : cases) {
    for (int sample = 1; sample <= c.needed; ++sample) {
      set("vxi_koralastqfull01", 10000 + 100 * sample);
      ASSERT_EQ(kora::measurementDone(state_, c.step, Capture::kFull), sample == c.needed) << c.step;
    }
    // The rounded mean of 10100 .. 10000 + 100 n.
    EXPECT_EQ(kora::stepQValue(state_.qvaluesMeasuredAtThisStep, c.step, Capture::kFull), 10000 + 50 * (c.needed + 1))
        << c.step;
  }
  // A full capture gives a truncated sample only when the next step has the same density.
  set("vxi_koralastqtrunc01", 10777);
  kora::measurementDone(state_, 5, Capture::kFull);
  EXPECT_EQ(kora::stepQValue(state_.qvaluesMeasuredAtThisStep, 5, Capture::kTrunc), 0);
  state_.shared.step[4].currentDensity = state_.shared.step[5].currentDensity;
  kora::measurementDone(state_, 4, Capture::kFull);
  EXPECT_EQ(kora::stepQValue(state_.qvaluesMeasuredAtThisStep, 4, Capture::kTrunc), 10777);
  // A fifth sample finds the slots taken and is dropped.
  set("vxi_koralastqfull01", 90000);
  EXPECT_TRUE(kora::measurementDone(state_, 20, Capture::kFull));
  EXPECT_EQ(kora::stepQValue(state_.qvaluesMeasuredAtThisStep, 20, Capture::kFull), 10250);
  kora::clearSamples(state_.qvaluesMeasuredAtThisStep);
  EXPECT_EQ(kora::stepQValue(state_.qvaluesMeasuredAtThisStep, 20, Capture::kFull), 0);
}

TEST_F(KoraMeasurementsTest, HistoryCountsRepeatsAndShiftsChanges) {
  set("vxo_date", 1001);
  set("vxo_time", 2002);
  kora::frOptimationHistory(state_.shared, 2);  // 5000
  kora::frOptimationHistory(state_.shared, 2);
  set("vxo_date", 1003);
  kora::frOptimationHistory(state_.shared, 4);   // 2500
  kora::frOptimationHistory(state_.shared, 5);   // 2000
  kora::frOptimationHistory(state_.shared, 10);  // 1000
  EXPECT_EQ(get("vxi_koralastfrchange01fr"), 1000);
  EXPECT_EQ(get("vxi_koralastfrchange01cnt"), 1);
  EXPECT_EQ(get("vxi_koralastfrchange03fr"), 2500);
  EXPECT_EQ(get("vxi_koralastfrchange04fr"), 5000);
  EXPECT_EQ(get("vxi_koralastfrchange04cnt"), 2);
  EXPECT_EQ(get("vxi_koralastfrchange04date"), 1001);
  EXPECT_EQ(get("vxi_koralastfrchange04time"), 2002);
  EXPECT_EQ(get("vxi_koralastfrchange02date"), 1003);
}

}  // namespace
