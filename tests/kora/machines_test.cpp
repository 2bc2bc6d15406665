// The four KORA machines on a store of their own, seconds played as the database loop
// plays them, against a stand-in scope program that answers from a field model and a
// stand-in V-I program.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <vector>

#include "energisation_fixture.h"
#include "kora/kora.h"
#include "temp_image.h"

namespace {

constexpr int kAnalysisInvalid = 1270;
constexpr int kPreviousStepFr  = 1269;
constexpr int kBusyPasses      = 6;  // a capture and its analysis take a few seconds

int ratioOf(int s) { return 10000 / s; }
int densityOf(int s) { return 200 + 50 * s; }  // distinct: no capture gives two values

struct CaptureRecord {
  int testFr, current, previousFr;
};

// Takes a trigger, is busy for two seconds of calls, then reports the charges of the model for the
// step it was set to. Hung: busy for ever after a trigger, until reset.
class StandInScope : public orvix::testing::EnergisationTest {
 public:
  std::function<int(int step, bool fullCapture)> model;
  std::vector<CaptureRecord> captures;
  bool hung = false;

  void pass() {
    if (get("vxo_scopegrabreset") == 1) {
      set("vxo_scopegrabreset", 0);
      set("vxo_scopegrabstatus", 0);
      busy_ = 0;
      return;
    }
    if (get("vxo_scopegrabtrigger") == 1) {
      set("vxo_scopegrabtrigger", 0);
      set("vxo_scopegrabstatus", 1);
      captures.push_back({get("vxi_koratestfr"), get("vxi_koracurrentlimit"), internal(kPreviousStepFr)});
      busy_ = kBusyPasses;
      return;
    }
    if (busy_ > 0 && --busy_ == 0 && !hung) {
      const CaptureRecord& c = captures.back();
      int step               = 1;
      while (step < kora::kSteps && ratioOf(step) != c.testFr) ++step;
      const bool full = c.current != densityOf(step);
      if (model) {
        set("vxi_koralastqfull01", model(step, full));
        set("vxi_koralastqtrunc01", model(step, false));
      }
      set("vxi_korameasuredcoronatime", 123);
      set("vxo_scopegrabstatus", 4);
    }
  }

 protected:
  int busy_ = 0;
};

class KoraMachinesTest : public StandInScope {
 protected:
  void SetUp() override {
    StandInScope::SetUp();
    auto& k = state_.shared;
    for (int s = 1; s <= kora::kSteps; ++s) {
      k.step[static_cast<size_t>(s)] = {static_cast<int16_t>(densityOf(s)), static_cast<int16_t>(ratioOf(s))};
    }
    k.Uninitialized          = -1;
    k.optimationIntervalBase = k.optimationInterval = 900;
    k.referenceInterval                             = 3600;
    set("vxo_collectorarea", 0);
    set("vxo_actmodecurrlim", densityOf(1));
    set("vxo_actmoderesistivity", 3);  // the operator's own steps
    set("vxo_customminstep", 1);
    set("vxo_custommaxstep", 26);
    set("vxo_customtypstep", 1);
    set("vxo_actmodekora", 1);
    set("vxo_tron", 1);
    set("vxo_actmodevoltpeaklim", 80);
    set("vxi_miramyfr", 10000);  // MIRA off: no limit on this unit
  }

  // One second of the loop: the step search in slots 2 and 15, the reference and the
  // timer in slot 6; the scope program runs between them.
  void second() {
    kora::KORAOptimation(state_);
    pass();
    kora::KORAReferenceStateLoop(state_);
    kora::KORAOptimationStateLoop(state_);
    pass();
    kora::KORAOptimation(state_);
    pass();
    viProgram();
  }
  void seconds(int n) {
    for (int i = 0; i < n; ++i) second();
  }
  bool runUntil(const std::function<bool()>& done, int limit = 5000) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      second();
    }
    return done();
  }

  // The V-I program: once the reference waits for it, it leaves its result.
  void viProgram() {
    if (state_.shared.ReferenceMeasurementState == 8 && get("vxi_vivref") == 0) {
      set("vxi_vivref", vref_);
      set("vxi_koracoronakv", coronaKv_);
    }
  }

  // Rapping starts and ends once; the reference measurement follows it.
  void completeReference(int vref, int coronaKv) {
    vref_     = vref;
    coronaKv_ = coronaKv;
    ASSERT_TRUE(runUntil([&] { return state_.shared.ReferenceMeasurementState == 1; }));
    set("vxi_rapping", 1);
    second();
    set("vxi_rapping", 0);
    ASSERT_TRUE(runUntil([&] { return state_.shared.ReferenceMeasurementState == 0; }));
  }

  // A field whose best step is `best`: up to `best` each step's truncated charge gains
  // more on the full charge of the step below than the threshold (10 thousandths of the
  // 1000 above zero: 10), above it less.
  void fieldWithBestStep(int best) {
    model = [best](int step, bool full) {
      if (full) return 11000;
      return step <= best ? 11015 : 11005;
    };
  }

  bool optimising() const { return get("vxi_koraoptimizing") != 0; }
  bool trunCaptureAt(int s) const {
    for (const auto& c : captures) {
      if (c.testFr == ratioOf(s) && c.current == densityOf(s)) return true;
    }
    return false;
  }
  bool fullCaptureAt(int s) const {
    for (const auto& c : captures) {
      if (c.testFr == ratioOf(s) && c.current == densityOf(s + 1)) return true;
    }
    return false;
  }
  // Runs the first reference and the first optimisation to its end.
  void firstOptimisation() {
    completeReference(250, 240);
    ASSERT_TRUE(runUntil([&] { return optimising(); }));
    ASSERT_TRUE(runUntil([&] { return !optimising(); }));
    ASSERT_TRUE(runUntil([&] { return state_.shared.OptimationTimerState == 1; }));  // the timer took the end
  }

  kora::KoraState state_;
  orvix::testing::TempImage image_;
  int vref_     = 0;
  int coronaKv_ = 0;
};

TEST_F(KoraMachinesTest, WithoutBackCoronaTheRunStaysAtContinuousEnergisation) {
  fieldWithBestStep(1);
  firstOptimisation();
  EXPECT_EQ(state_.shared.optimalStep, 1);
  EXPECT_EQ(get("vxi_koraoptimalfr"), 10000);
  EXPECT_EQ(get("vxi_koracurrentlimit"), densityOf(1));
  EXPECT_TRUE(fullCaptureAt(1));
  EXPECT_FALSE(trunCaptureAt(1));  // step 1 has no truncated charge
  EXPECT_TRUE(fullCaptureAt(2));
  EXPECT_TRUE(trunCaptureAt(2));
  EXPECT_EQ(get("vxi_koralastfrchange01fr"), 10000);
  EXPECT_EQ(get("vxi_koraoptimationstartstep"), 1);
  EXPECT_EQ(get("vxi_korarefstatus"), 10000 + 100 * 1);  // reference done, timer counting
  second();
  const int left = get("vxi_koraopttimer");
  seconds(10);
  EXPECT_EQ(get("vxi_koraopttimer"), left - 10);
}

TEST_F(KoraMachinesTest, SearchMovesUpToTheBestStepAndTheNextRunStartsThere) {
  set("vxo_customtypstep", 5);
  fieldWithBestStep(8);
  firstOptimisation();
  EXPECT_EQ(state_.shared.optimalStep, 8);
  EXPECT_EQ(get("vxi_koraoptimalfr"), ratioOf(8));
  EXPECT_EQ(get("vxi_koracurrentlimit"), densityOf(8));
  EXPECT_EQ(get("vxi_koraoptimationstartstep"), 8);
  EXPECT_EQ(get("vxo_actmodevoltpeaklim"), 80);

  captures.clear();
  fieldWithBestStep(7);
  ASSERT_TRUE(runUntil([&] { return optimising(); }, 1000));
  EXPECT_EQ(get("vxi_koratestfr"), ratioOf(8));
  ASSERT_TRUE(runUntil([&] { return !optimising(); }));
  EXPECT_EQ(state_.shared.optimalStep, 7);
  EXPECT_TRUE(fullCaptureAt(8));  // started from the step found
}

TEST_F(KoraMachinesTest, SearchAtTheTopSkipsTheFullCharge) {
  for (const int top : {6, 26}) {
    SCOPED_TRACE(top);
    state_ = kora::KoraState{};
    SetUp();
    set("vxo_custommaxstep", top);
    set("vxo_customtypstep", top);
    captures.clear();
    fieldWithBestStep(top - 3);
    firstOptimisation();
    EXPECT_FALSE(fullCaptureAt(top));
    EXPECT_TRUE(trunCaptureAt(top));
    EXPECT_EQ(state_.shared.optimalStep, top - 3);
  }
}

TEST_F(KoraMachinesTest, TypicalStepOutsideTheTableStartsAtStepOne) {
  set("vxo_actmoderesistivity", 0);
  set("vxo_fieldposition", 'A');
  for (const int typical : {0, 27}) {
    state_.shared.field[0] = {
        {1,                             1,  1 },
        {static_cast<int16_t>(typical), 0,  0 },
        {26,                            26, 26}
    };
    state_.shared.Uninitialized = -1;
    seconds(2);
    EXPECT_EQ(state_.shared.optimalStep, 1) << typical;
    EXPECT_EQ(get("vxi_koraoptimationstartstep"), 1) << typical;
    EXPECT_EQ(get("vxi_koraoptimalfr"), 10000) << typical;
  }
}

TEST_F(KoraMachinesTest, FailedRunsEndNormallyAndRetryAfterHalfAnInterval) {
  fieldWithBestStep(3);
  set("vxo_customtypstep", 5);
  completeReference(250, 240);
  const std::function<void()> faults[] = {
      [&] { state_.shared.vRefStarted = true; },          // a reference measurement starts
      [&] { set("vxo_tron", 0); }, [&] { hung = true; },  // six scope time-outs
  };
  for (size_t fault = 0; fault < std::size(faults); ++fault) {
    SCOPED_TRACE(fault);
    ASSERT_TRUE(runUntil([&] { return optimising() && state_.shared.Optimising >= 2; }));
    faults[fault]();
    const int historyCount = get("vxi_koralastfrchange01cnt");
    ASSERT_TRUE(runUntil([&] { return !optimising() && state_.shared.OptimationTimerState == 1; }, 2000));
    EXPECT_TRUE(state_.shared.optimationDone);
    EXPECT_EQ(state_.shared.optimationTimer, 450);  // half the interval
    EXPECT_EQ(state_.shared.QMeasureFailCnt, 0);
    EXPECT_EQ(get("vxi_koralastfrchange01cnt"), historyCount + 1);  // history recorded
    EXPECT_EQ(get("vxo_actmodevoltpeaklim"), 80);
    EXPECT_EQ(get("vxi_koraoptimalfr"), ratioOf(5));
    state_.shared.vRefStarted = false;
    set("vxo_tron", 1);
    hung = false;
  }
}

TEST_F(KoraMachinesTest, CurrentOptimisationStopsAfterTheSixteenthMeasurement) {
  fieldWithBestStep(1);
  set("vxo_actmodecurrlim", 1000);
  set("vxo_kora100pulsecurrmin", 800);
  firstOptimisation();
  int atFullRatio = 0;
  for (const auto& c : captures) atFullRatio += c.testFr == 10000 ? 1 : 0;
  EXPECT_EQ(atFullRatio, 1 + 16);  // Q full of step 1, then 100 %, 94 % ... 52 %
  EXPECT_EQ(captures.back().current, 520);
  EXPECT_EQ(state_.shared.optimalAverageCurrent, 55);
  // 55 % of 1000 mA on average, in pulses of 800 mA: 68.75 % of the half-periods.
  EXPECT_EQ(get("vxi_koracurrentlimit"), 800);
  EXPECT_EQ(get("vxi_koraoptimalfr"), 6875);
}

TEST_F(KoraMachinesTest, IntervalFollowsMiraOnlyWhileMiraIsOff) {
  auto& k = state_.shared;
  set("vxi_koraoptimalfr", 8000);
  const struct {
    int myFr, source, tick, interval;
  } cases[] = {
      {4000, 0, 300, 900 + 4 * 200 - 400},
      {0,    0, 400, 900 - 400          }, // no ratio from MIRA
      {4000, 1, 500, 900                }, // the ratio in use comes from elsewhere
      {4000, 0, 501, 900                }, // only on a hundredth second of the day
      {9000, 0, 600, 900                }, // MIRA at or above KORA's ratio
  };
  for (const auto& c : cases) {
    k.optimationInterval = 900;
    set("vxi_miramyfr", c.myFr);
    set("vxi_frsource", c.source);
    setInternal(1102, c.tick);
    kora::KORAOptimationStateLoop(state_);
    EXPECT_EQ(k.optimationInterval, c.interval) << c.myFr << " " << c.source << " " << c.tick;
  }
  set("vxo_actmodemira", 1);
  setInternal(1102, 700);
  set("vxi_frsource", 0);
  kora::KORAOptimationStateLoop(state_);
  EXPECT_EQ(k.optimationInterval, 900);
}

TEST_F(KoraMachinesTest, SwitchedOffKoraKeepsItsReferenceFor14400Seconds) {
  fieldWithBestStep(1);
  completeReference(250, 240);
  set("vxo_actmodekora", 0);
  for (int s = 0; s < 14400; ++s) kora::KORAReferenceStateLoop(state_);
  EXPECT_TRUE(state_.shared.FirstReferenceMeasurementDone);
  EXPECT_EQ(get("vxi_korarefstatus") / 10000, 1);
  kora::KORAReferenceStateLoop(state_);
  EXPECT_FALSE(state_.shared.FirstReferenceMeasurementDone);
  EXPECT_EQ(get("vxi_koralastrefok"), 0);
  set("vxo_actmodekora", 1);
  kora::KORAReferenceStateLoop(state_);
  EXPECT_EQ(state_.shared.ReferenceMeasurementState, 1);  // a new reference is due at once
}

TEST_F(KoraMachinesTest, ReferenceVoltageFallsBackAndWarnsAfterTwoBadOnes) {
  fieldWithBestStep(1);
  state_.shared.referenceInterval = 5;
  const struct {
    int vref, coronaKv, used, ok, warning;
    int oldVref;
  } cases[] = {
      {0,   0,   -1,  1, 0, 10 }, // nothing measured: the lowest reference (refused by the tag's range)
      {5,   300, 300, 0, 0, 10 }, // the corona voltage, the last reference being good
      {601, 700, 150, 0, 1, 10 }, // nothing usable, second bad one in a row
      {250, 0,   250, 1, 1, 250}, // good again; the warning stays for the operator
      {0,   0,   250, 0, 1, 250}, // the last good one
  };
  set("vxo_korausedvref", 777);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.vref);
    completeReference(c.vref, c.coronaKv);
    EXPECT_EQ(get("vxo_korausedvref"), c.used < 0 ? 777 : c.used);
    EXPECT_EQ(get("vxi_koralastrefok"), c.ok);
    EXPECT_EQ(get("vxi_alwkorarefmw"), c.warning);
    EXPECT_EQ(state_.shared.oldVref, c.oldVref);
  }
  EXPECT_EQ(get("vxo_korausedcoronatime"), 10);  // 12.3 ms to the next 5 ms
  EXPECT_EQ(get("vxi_koralastrefvr01"), 250);    // the voltages of the two before the last
  EXPECT_EQ(get("vxi_koralastrefvr02"), 601);
}

}  // namespace
