// The working copy and the six stored mode sets kept in step by checkModeSettings, as the
// register server and the web pages edit either side; and the master's mode selection.
#include <gtest/gtest.h>

#include "energisation_fixture.h"
#include "modes.h"

namespace {

class ModesTest : public orvix::testing::EnergisationTest {
 protected:
  void SetUp() override {
    EnergisationTest::SetUp();
    checkModeSettings(state_);  // the first check after start loads the working copy
  }
  ModeState state_;
};

TEST_F(ModesTest, FirstCheckLoadsTheWorkingCopyThenNothingChanges) {
  ms working{};
  ms stored{};
  getActSettings(&working);
  getModeSettings(0, &stored);
  EXPECT_TRUE(msStructCmp(&working, &stored));
  EXPECT_FALSE(checkModeSettings(state_));
}

TEST_F(ModesTest, ModeSwitchCopiesTheModesSetEvenOverAnEdit) {
  set("vxo_mode3currlim", 640);
  set("vxo_mode3voltpeaklim", 700);
  set("vxo_mode3kora", 1);
  set("vxo_mode3rappall", 1);
  set("vxo_mode3idlecurrent", 30);
  set("vxo_actmodecurrlim", 900);  // edited in the same half second
  set("vxo_mode", 2);
  EXPECT_TRUE(checkModeSettings(state_));
  EXPECT_EQ(get("vxo_actmodecurrlim"), 640);
  EXPECT_EQ(get("vxo_actmodevoltpeaklim"), 700);
  EXPECT_EQ(get("vxo_actmodekora"), 1);
  EXPECT_EQ(get("vxo_actmoderappall"), 1);
  EXPECT_EQ(get("vxo_actmodeidlecurrent"), 30);
  EXPECT_EQ(get("vxo_mode1currlim"), 500) << "the edit is not stored into the mode left";
  EXPECT_FALSE(checkModeSettings(state_));
}

TEST_F(ModesTest, WorkingCopyEditIsStoredIntoTheActiveMode) {
  set("vxo_mode", 2);
  checkModeSettings(state_);
  set("vxo_actmodecurrlim", 720);
  set("vxo_actmodefiringratio", 3333);
  set("vxo_actmodemira", 1);
  EXPECT_TRUE(checkModeSettings(state_));
  EXPECT_EQ(get("vxo_mode3currlim"), 720);
  EXPECT_EQ(get("vxo_mode3firingratio"), 3333);
  EXPECT_EQ(get("vxo_mode3mira"), 1);
  EXPECT_EQ(get("vxo_mode1currlim"), 500);
  EXPECT_FALSE(checkModeSettings(state_));
  // An edit of the stored set of the active mode reaches the working copy.
  set("vxo_mode3rappintens", 9);
  EXPECT_TRUE(checkModeSettings(state_));
  EXPECT_EQ(get("vxo_actmoderappintens"), 9);
}

TEST_F(ModesTest, SixthModeUndoesWorkingCopyEdits) {
  set("vxo_mode6currlim", 300);
  set("vxo_mode", 5);
  checkModeSettings(state_);
  ASSERT_EQ(get("vxo_actmodecurrlim"), 300);
  set("vxo_actmodecurrlim", 800);
  set("vxo_actmodeshortquench", 9);
  EXPECT_TRUE(checkModeSettings(state_));
  EXPECT_EQ(get("vxo_actmodecurrlim"), 300);
  EXPECT_EQ(get("vxo_actmodeshortquench"), get("vxo_mode6quenching"));
  EXPECT_EQ(get("vxo_mode6currlim"), 300);
  EXPECT_FALSE(checkModeSettings(state_));
  set("vxo_mode6currlim", 350);  // its stored tags are the way to change it
  EXPECT_TRUE(checkModeSettings(state_));
  EXPECT_EQ(get("vxo_actmodecurrlim"), 350);
}

TEST_F(ModesTest, RefusedStoredValueIsUndoneInTheWorkingCopy) {
  // The working copy's range was widened past the stored tag's: the stored write is refused.
  dbEnforceNewLimits(handle("vxo_actmodecurrlim"), 0, 3000, 500);
  set("vxo_actmodecurrlim", 2500);
  EXPECT_TRUE(checkModeSettings(state_));
  EXPECT_EQ(get("vxo_mode1currlim"), 500);
  EXPECT_TRUE(checkModeSettings(state_));
  EXPECT_EQ(get("vxo_actmodecurrlim"), 500) << "the stored set differs from the last synchronised one";
  EXPECT_FALSE(checkModeSettings(state_));
}

TEST_F(ModesTest, ModeOutsideTheSixDoesNothing) {
  ms set{};
  set.currlim = 100;
  setModeSettings(6, set);
  setModeSettings(-1, set);
  ms read{};
  read.currlim = 77;
  getModeSettings(6, &read);
  EXPECT_EQ(read.currlim, 77);
  for (int mode = 1; mode <= 6; ++mode) {
    EXPECT_EQ(get(("vxo_mode" + std::to_string(mode) + "currlim").c_str()), 500) << mode;
  }
}

class MasterModeTest : public orvix::testing::EnergisationTest {
 protected:
  void SetUp() override {
    EnergisationTest::SetUp();
    set("vxo_mastermodeselector", 1);
    set("vxo_master", 1);
    set("vxo_mastermodeparunder", 3000);
    set("vxo_mastermodeparover", 6000);
  }
  ModeState state_;
};

TEST_F(MasterModeTest, ModeFromTheReading) {
  set("vxo_boilerload", 2999);
  masterModeSelector(state_);
  EXPECT_EQ(get("vxi_mastermodecontparreading"), 2999);
  EXPECT_EQ(get("vxo_mastermode"), 1);
  set("vxo_boilerload", 3000);
  masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermode"), 2);
  set("vxo_boilerload", 6001);
  masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermode"), 3);
  set("vxo_mastermodecontpar", 7);  // no such source: the reading stays
  set("vxo_boilerload", 100);
  masterModeSelector(state_);
  EXPECT_EQ(get("vxi_mastermodecontparreading"), 6001);
  set("vxo_mastermodecontpar", 1);
  set("vxo_gastemperature", 4000);
  masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermode"), 2);
}

TEST_F(MasterModeTest, UpperBoundKeptAboveTheLowerAndTimerOverride) {
  set("vxo_mastermodeparover", 1000);
  masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermodeparover"), 3001);
  set("vxo_mastermodeoverridetimer", 10);
  set("vxo_mastermodeoverridemode", 4);
  masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermode"), 1);
  set("vxi_timer10cstatus", 1);
  masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermode"), 4);
}

TEST_F(MasterModeTest, OtherUnitsAreCommandedEveryFiftiethCall) {
  set("vxo_boilerload", 4000);  // mode index 2
  set("vxi_masternrinmode3", 5);
  set("vxi_masternrinmode1", 1);  // one unit in another mode from the start
  for (int call = 1; call <= 49; ++call) {
    masterModeSelector(state_);
    ASSERT_EQ(get("vxo_mastermodecmd"), 0) << "call " << call;
  }
  masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermodecmd"), 1);

  // Only the other modes' counters count: all units in the master's mode, no command.
  set("vxo_mastermodecmd", 0);
  set("vxi_masternrinmode1", 0);
  for (int call = 51; call <= 100; ++call) masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermodecmd"), 0);

  set("vxo_mastermodecmd", 0);
  set("vxo_mastermodeselector", 0);  // not the selecting master: no calls counted
  for (int call = 0; call < 60; ++call) masterModeSelector(state_);
  EXPECT_EQ(get("vxo_mastermodecmd"), 0);
}

}  // namespace
