// The unit's side of the opacity optimisation: field type and lowest firing ratio from
// the unit's place, the limit time-out, its own firing ratio and status, and the firing
// ratio in use with its source for every situation of KORA and MIRA.
#include <gtest/gtest.h>

#include "energisation_fixture.h"
#include "mira/unitrole.h"

namespace {

constexpr int kKoraReferenceRunning = 1290;

class MiraUnitTest : public orvix::testing::EnergisationTest {
 protected:
  void place(char letter, int fields, int resistivity) {
    set("vxo_fieldposition", letter);
    set("vxo_espcodefields", fields);
    set("vxo_actmoderesistivity", resistivity);
  }
  mira::UnitRoleState state_;
};

TEST_F(MiraUnitTest, FieldTypeAndMinimumFollowThePlaceInTheCell) {
  const struct {
    char letter;
    int fields, resistivity, type, minimum;
  } cases[] = {
      {'A', 1,  0, 0, 2000}, // the only field is the first
      {'B', 2,  0, 2, 1428}, // few fields, last
      {'C', 4,  1, 1, 909 }, // medium, intermediate
      {'D', 4,  2, 2, 769 }, // medium, last
      {'E', 4,  2, 2, 0   }, // beyond the cell's fields
      {'I', 12, 3, 1, 526 }, // many
      {'L', 12, 0, 2, 667 },
  };
  set("vxo_actmodemira", 1);
  for (const auto& c : cases) {
    place(c.letter, c.fields, c.resistivity);
    mira::runUnitRole(state_);
    EXPECT_EQ(get("vxi_miramyfieldtype"), c.type) << c.letter;
    EXPECT_EQ(get("vxi_miramyfrmin"), c.minimum) << c.letter;
  }
}

TEST_F(MiraUnitTest, LimitTimesOutAfter150SecondsUnlessANewOneArrives) {
  place('B', 4, 1);  // FRmin 1111
  set("vxo_actmodemira", 1);
  set("vxo_actmodefiringratio", 8000);
  set("vxi_miramylimit", 500);
  set("vxi_miralimitreceived", 1);
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miralimitreceived"), -1);
  EXPECT_EQ(get("vxi_miramyfr"), 4000);  // 50 % of 80 %
  for (int second = 2; second <= 100; ++second) mira::runUnitRole(state_);
  set("vxi_miralimitreceived", 1);  // a new limit restarts the 150 s
  set("vxi_miramylimit", 100);
  mira::runUnitRole(state_);                       // takes the limit
  for (int second = 1; second <= 150; ++second) {  // and keeps it for another 150 s
    mira::runUnitRole(state_);
    ASSERT_EQ(get("vxi_miranotes"), second < 150 ? 0 : 6) << second;
    ASSERT_EQ(get("vxi_miramyfr"), second < 150 ? 1111 : 10000) << second;  // 10 % of 80 % is below FRmin
  }
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miranotes"), 6);
  set("vxi_miralimitreceived", 1);
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miranotes"), 0);
  set("vxi_opaccurrlim", 10000);  // the master runs at full power: no limitation
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miramyfr"), 10000);
}

TEST_F(MiraUnitTest, StatusTellsTheMasterWhichWayTheUnitCanFollow) {
  set("vxi_productcode", 11);
  set("vxo_cellposition", 3);
  place('B', 4, 1);  // intermediate, FRmin 1111
  set("vxo_actmodefiringratio", 8000);
  set("vxi_miramylimit", 500);
  set("vxi_miralimitreceived", 1);
  const int placeBits = 11 | 1 << 5 | 3 << 7;
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miramystatus"), placeBits);  // MIRA off: no follow bits
  EXPECT_EQ(get("vxi_miranotes"), 4);
  set("vxo_actmodemira", 1);
  set("vxo_tron", 1);
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miramystatus"), placeBits | 1 << 11 | 1 << 12);  // 4000: below 8000, above 1111
  set("vxi_miramylimit", 100);
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miramystatus"), placeBits | 1 << 11);  // at its minimum
  set("vxi_miramylimit", 1000);
  set("vxo_actmodekora", 1);
  set("vxi_koraoptimalfr", 5000);
  mira::runUnitRole(state_);  // 100 % of KORA's 5000: cannot go up
  EXPECT_EQ(get("vxi_miramystatus"), placeBits | 1 << 12);
  set("vxi_measurement", 1);
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miramystatus"), placeBits);
  EXPECT_EQ(get("vxi_miranotes"), 2);
  set("vxo_testmode", 1);
  mira::runUnitRole(state_);
  EXPECT_EQ(get("vxi_miranotes"), 3);
}

TEST_F(MiraUnitTest, FiringRatioInUseForEverySituation) {
  const struct {
    const char* situation;
    int kora, mira, optimizing, reference, myFr, myFrMin;
    int expectedRatio, expectedSource, expectedMyFr;
  } rows[] = {
  // mode 8000, KORA optimum 6000, KORA test 3000
      {"KORA optimising",            1, 1, 1, 0, 4000, 1000, 3000, 3, 4000},
      {"KORA reference",             1, 0, 0, 1, 4000, 1000, 3000, 4, 4000},
      {"KORA without MIRA",          1, 0, 0, 0, 4000, 1000, 6000, 2, 4000},
      {"KORA, MIRA at its optimum",  1, 1, 0, 0, 7000, 1000, 6000, 2, 6000},
      {"KORA, MIRA below",           1, 1, 0, 0, 4000, 1000, 4000, 0, 4000},
      {"MIRA below, at its minimum", 0, 1, 0, 0, 4000, 4000, 4000, 0, 4000},
      {"MIRA below its minimum",     0, 1, 0, 0, 900,  1111, 1111, 0, 1111},
      {"MIRA below the mode",        0, 1, 0, 0, 7999, 1000, 7999, 0, 7999},
      {"MIRA at the mode",           0, 1, 0, 0, 9000, 1000, 8000, 1, 8000},
      {"neither",                    0, 0, 0, 0, 4000, 1000, 8000, 1, 4000},
  };
  set("vxo_actmodefiringratio", 8000);
  set("vxi_koraoptimalfr", 6000);
  set("vxi_koratestfr", 3000);
  for (const auto& row : rows) {
    mira::UnitRoleState state;
    state.lastMiraOn = true;  // switched on earlier
    set("vxo_actmodekora", row.kora);
    set("vxo_actmodemira", row.mira);
    set("vxi_koraoptimizing", row.optimizing);
    setInternal(kKoraReferenceRunning, row.reference);
    set("vxi_miramyfr", row.myFr);
    set("vxi_miramyfrmin", row.myFrMin);
    EXPECT_EQ(mira::updateFunFiringRatio(state), row.expectedRatio) << row.situation;
    EXPECT_EQ(get("vxi_funfiringratio"), row.expectedRatio) << row.situation;
    EXPECT_EQ(get("vxi_frsource"), row.expectedSource) << row.situation;
    EXPECT_EQ(get("vxi_miramyfr"), row.expectedMyFr) << row.situation;
  }
}

TEST_F(MiraUnitTest, SwitchingMiraOnStartsFromTheBaseRatio) {
  set("vxo_actmodefiringratio", 8000);
  set("vxi_koraoptimalfr", 6000);
  set("vxi_miramyfr", 10000);
  set("vxo_actmodemira", 1);
  EXPECT_EQ(mira::updateFunFiringRatio(state_), 8000);
  EXPECT_EQ(get("vxi_miramyfr"), 8000);
  set("vxo_actmodemira", 0);
  mira::updateFunFiringRatio(state_);
  set("vxi_miramyfr", 300);
  set("vxo_actmodekora", 1);
  set("vxo_actmodemira", 1);
  mira::updateFunFiringRatio(state_);
  EXPECT_EQ(get("vxi_miramyfr"), 6000);
  set("vxi_miramyfr", 300);
  EXPECT_EQ(mira::updateFunFiringRatio(state_), 300);  // already on: MIRA's own ratio stays
}

}  // namespace
