// Derived quantities: current density as a median of three, the V-I minimum current and
// density kept consistent in both directions, impedance, collector area from the field
// code, auxiliary current and the charge ratio of a firing ratio.
#include <gtest/gtest.h>

#include "derived.h"
#include "energisation_fixture.h"

namespace {

class DerivedTest : public orvix::testing::EnergisationTest {};

// Each sample overwrites the next slot of the array that the median sorted in place.
TEST_F(DerivedTest, CurrentDensityIsTheMedianOfTheSampleArray) {
  CurrentDensitySamples samples;
  set("vxo_collectorarea", 2000);
  const int pulses[] = {400, 1000, 600, 100};
  const int medians[] = {0, 200, 200, 200};  // densities 200, 500, 300, 50
  for (int i = 0; i < 4; ++i) {
    set("vxi_seccurrpulse", pulses[i]);
    setCurrDens(samples);
    EXPECT_EQ(get("vxi_seccurrdens"), medians[i]) << i;
  }
  set("vxo_collectorarea", 0);
  setCurrDens(samples);
  EXPECT_EQ(get("vxi_seccurrdens"), 0);
}

TEST_F(DerivedTest, MinimumDensityNeverAsksForMoreThanTheCurrentLimit) {
  CurrentDensitySamples samples;
  set("vxo_collectorarea", 1000);
  set("vxo_actmodecurrlim", 500);
  set("vxo_vimincurrdens", 600);  // 600 mA on 1000 m²
  setCurrDens(samples);
  EXPECT_EQ(get("vxo_vimincurrdens"), 500);
  set("vxo_vimincurrdens", 499);
  setCurrDens(samples);
  EXPECT_EQ(get("vxo_vimincurrdens"), 499);
}

TEST_F(DerivedTest, ViMinimumFollowsWhicheverSideWasEdited) {
  ViMinState state;
  set("vxo_collectorarea", 4000);
  set("vxo_vimincurrdens", 50);
  viMin(state);
  EXPECT_EQ(get("vxo_viminimumcurrent"), 200);  // (50 * 4000 + 500) / 1000
  set("vxo_viminimumcurrent", 300);  // the operator edits the current
  viMin(state);
  EXPECT_EQ(get("vxo_vimincurrdens"), 75);
  EXPECT_EQ(get("vxo_viminimumcurrent"), 300);
  set("vxo_vimincurrdens", 100);  // the density edited: the current follows on the next call
  viMin(state);
  EXPECT_EQ(get("vxo_viminimumcurrent"), 400);
}

TEST_F(DerivedTest, ImpedanceWithAndWithoutCurrent) {
  set("vxi_secvoltavg", 500);
  set("vxi_seccurravg", 0);
  calculateImpedance();
  EXPECT_EQ(get("vxi_secavgimpedance"), 0);
  set("vxi_seccurravg", 99);
  calculateImpedance();
  EXPECT_EQ(get("vxi_secavgimpedance"), 5000);
}

TEST_F(DerivedTest, CollectorAreaFromTheFieldCodeOnlyWhenUnset) {
  set("vxo_collectorarea", 0);
  set("vxo_espcodespacing", 0);  // divisor 175
  set("vxo_espcodewidth", 99);
  set("vxo_espcodefieldlength", 700);
  set("vxo_espcodeheight", 29);
  collectorArea();
  EXPECT_EQ(get("vxo_collectorarea"), 50 * 700 * 15 / 125 / 175);
  set("vxo_espcodespacing", 2);  // 225
  collectorArea();
  EXPECT_EQ(get("vxo_collectorarea"), 24) << "a set area is kept";
  set("vxo_collectorarea", 0);
  collectorArea();
  EXPECT_EQ(get("vxo_collectorarea"), 50 * 700 * 15 / 125 / 225);
}

TEST_F(DerivedTest, AuxiliaryCurrentBySource) {
  set("vxi_testauxinp1", 345);
  set("vxo_auxcurrincoming", 700);
  setAuxCurr();
  EXPECT_EQ(get("vxi_auxcurr"), 345);
  set("vxo_auxcurrmethod", 1);
  setAuxCurr();
  EXPECT_EQ(get("vxi_auxcurr"), 259);
  set("vxo_auxcurrincoming", 120);
  setAuxCurr();
  EXPECT_EQ(get("vxi_auxcurr"), 120);
}

TEST_F(DerivedTest, ChargeRatioOfAFiringRatio) {
  EXPECT_EQ(firingRatioToCR(5000), 4);
  EXPECT_EQ(get("vxo_fakecr"), 4);
  EXPECT_EQ(firingRatioToCR(3333), 3);
  EXPECT_EQ(firingRatioToCR(0), 1);
  EXPECT_EQ(get("vxo_fakecr"), 1);
  EXPECT_EQ(firingRatioToCR(10000), 1);
  EXPECT_EQ(firingRatioToCR(10001), 1);
  EXPECT_EQ(firingRatioToCR(1), 20000);  // 1/10000 of the half waves: an even count doubles
  EXPECT_EQ(firingRatioToCR(1538), 12);  // 6.5 half waves: .5 is not rounded up, 6 is even
  EXPECT_EQ(firingRatioToCR(1450), 7);   // 6.8 rounds up to 7, odd
}

}  // namespace
