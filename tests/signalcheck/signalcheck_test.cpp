// The signal test on a private store, with a scope that answers each trigger after a few
// seconds with the figures the test gives it.
#include "signalcheck/signalcheck.h"

#include <gtest/gtest.h>

#include <vector>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "tags_by_name.h"

namespace {

using namespace orvix::testing::by_name;

struct Figures {
  int zeroCross, dvdt, primVolt, secVolt, primCurr, secCurr;
};

class SignalTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    // The operator's settings.
    set("vxi_tronstatus", 1);
    set("vxo_scopegrabmethod", 0);
    set("vxo_samplerate", 4);
    set("vxo_scopeview2type", 0);
    set("vxo_webscopedatasize", 2);
    set("vxo_actmodefiringratio", 5000);
    set("vxo_actmodekora", 1);
    set("vxo_actmodemira", 1);
  }
  // One second: the scope, then the test's pass.
  void second() {
    if (value("vxo_scopegrabtrigger") == 1 && scopeAnswers_) {
      set("vxo_scopegrabtrigger", 0);
      set("vxo_scopegrabstatus", 1);
      sampleRates_.push_back(value("vxo_samplerate"));
      answerIn_ = 3;
    }
    if (answerIn_ > 0 && --answerIn_ == 0) {
      const Figures& f = figures_[sampleRates_.size() - 1];
      set("vxi_zerocrossdeviation", f.zeroCross);
      set("vxi_dvdtpeak", f.dvdt);
      set("vxi_primaryvoltsq", f.primVolt);
      set("vxi_secondaryvoltsq", f.secVolt);
      set("vxi_primarycurrentsq", f.primCurr);
      set("vxi_secondarycurrentsq", f.secCurr);
      set("vxo_scopegrabstatus", 4);
    }
    signalTestStateLoop(test_);
  }
  void expectOperatorSettings() {
    EXPECT_EQ(value("vxo_scopegrabmethod"), 0);
    EXPECT_EQ(value("vxo_samplerate"), 4);
    EXPECT_EQ(value("vxo_scopeview2type"), 0);
    EXPECT_EQ(value("vxo_webscopedatasize"), 2);
    EXPECT_EQ(value("vxo_actmodefiringratio"), 5000);
    EXPECT_EQ(value("vxo_actmodekora"), 1);
    EXPECT_EQ(value("vxo_actmodemira"), 1);
  }
  SIGNALCHECK test_;
  bool scopeAnswers_ = true;
  int answerIn_      = 0;
  std::vector<int> sampleRates_;
  std::vector<Figures> figures_ = {
      {10, 30, 80, 70, 60, 50},
      {5,  40, 90, 60, 70, 40}
  };
};

TEST_F(SignalTest, TwoCapturesCombinedAndTheSettingsRestored) {
  set("vxo_runtest", 1);
  int seconds      = 0;
  bool overridden  = false;
  int lastProgress = 0;
  while (value("vxo_runtest") == 1 && seconds < 100) {
    second();
    ++seconds;
    overridden = overridden || (value("vxo_actmodefiringratio") == 10000 && value("vxo_actmodekora") == 0 &&
                                value("vxo_actmodemira") == 0);
    EXPECT_GE(value("vxi_signaltestprogress"), lastProgress) << seconds;
    lastProgress = value("vxi_signaltestprogress");
  }
  EXPECT_TRUE(overridden);
  EXPECT_LT(seconds, 40);  // about 20 s with a scope that answers in 3 s
  EXPECT_EQ(sampleRates_, (std::vector<int>{1, 8}));
  EXPECT_EQ(value("vxi_signaltestprogress"), 100);
  // The worse rise rate and zero-cross deviation, the better harmonic figures.
  EXPECT_EQ(value("vxi_zerocrossdeviation"), 10);
  EXPECT_EQ(value("vxi_dvdtpeak"), 40);
  EXPECT_EQ(value("vxi_primaryvoltsq"), 80);
  EXPECT_EQ(value("vxi_secondaryvoltsq"), 60);
  EXPECT_EQ(value("vxi_primarycurrentsq"), 60);
  EXPECT_EQ(value("vxi_secondarycurrentsq"), 40);
  expectOperatorSettings();
  second();
  EXPECT_EQ(value("vxi_runteststatus"), -1);
}

TEST_F(SignalTest, TrOffEndsAtOnce) {
  set("vxi_tronstatus", 0);
  set("vxi_primaryvoltsq", 55);
  set("vxo_runtest", 1);
  second();
  second();
  EXPECT_EQ(value("vxi_runteststatus"), -2);
  EXPECT_EQ(value("vxo_runtest"), 0);
  EXPECT_EQ(value("vxi_primaryvoltsq"), 0);
  second();
  EXPECT_EQ(value("vxi_runteststatus"), -1);
  expectOperatorSettings();
}

// Three captures in a row that never come end the test with -6, each time-out resetting
// the scope; sparks during a test end it with -5.
TEST_F(SignalTest, ErrorsRestoreTheSettings) {
  scopeAnswers_ = false;
  set("vxo_runtest", 1);
  int resets  = 0;
  int seconds = 0;
  while (value("vxo_runtest") == 1 && seconds < 400) {
    second();
    ++seconds;
    if (value("vxo_scopegrabreset") == 1) {
      ++resets;
      set("vxo_scopegrabreset", 0);
    }
  }
  EXPECT_EQ(resets, 3);
  EXPECT_EQ(value("vxi_runteststatus"), -6);
  expectOperatorSettings();

  scopeAnswers_ = true;
  set("vxo_runtest", 1);
  for (int i = 0; i < 10; ++i) second();
  set("vxi_spm", 2);
  second();
  second();
  EXPECT_EQ(value("vxi_runteststatus"), -5);
  EXPECT_EQ(value("vxo_runtest"), 0);
  expectOperatorSettings();
}

TEST_F(SignalTest, ClearingTheRequestLeavesTheOverrideUntilATestEnds) {
  set("vxo_runtest", 1);
  for (int i = 0; i < 5; ++i) second();
  set("vxo_runtest", 0);
  second();
  second();
  EXPECT_EQ(value("vxi_runteststatus"), -1);
  EXPECT_EQ(value("vxo_actmodefiringratio"), 10000);
  EXPECT_EQ(value("vxo_actmodekora"), 0);
}

}  // namespace
