// The plant's gas path: collection by fields in series, cells sharing the gas, the stack
// opacity and the meter signal, against values worked out by hand from the laws in
// docs/plant.md.
#include "opacitymodel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace plantsim {
namespace {

// At the reference voltage the inlet field's w is 0.06 m/s; 5000 m2 and 125 m3/s give
// w A / Q = 2.4 for one field of one cell.
TEST(PlantOpacity, FieldsInSeriesMultiplyTheirPenetration) {
  PlantConstants c;
  c.inletDust = 1000;
  c.gasFlow   = 125;
  const FieldEnergisation a{1, 0, 600, 300};
  const FieldEnergisation b{1, 1, 600, 250};                                   // w x 0.8 downstream
  EXPECT_NEAR(computeStack(c, std::vector{a}, 1).outletDust, 90.7180, 0.001);  // e^-2.4
  const Stack both = computeStack(c, std::vector{a, b}, 1);
  EXPECT_NEAR(both.outletDust, 13.2999, 0.001);  // e^-4.32
  EXPECT_EQ(both.totalPower, 550);
  const FieldEnergisation lower{1, 0, 540, 300};  // w x 0.9^2
  EXPECT_NEAR(computeStack(c, std::vector{lower}, 1).outletDust, 143.130, 0.001);
  const FieldEnergisation off{1, 0, 0, 0};
  EXPECT_NEAR(computeStack(c, std::vector{off}, 1).outletDust, 1000, 0.001);
  // Two cells share the gas: cell 1 sees half the flow (w A / Q = 4.8), cell 2 collects nothing.
  EXPECT_NEAR(computeStack(c, std::vector{a}, 2).outletDust, 504.115, 0.001);
}

TEST(PlantOpacity, OpacityAndMeterCurrent) {
  PlantConstants c;
  c.gasFlow   = 125;
  c.inletDust = 100;  // 9.07 mg/Nm3 out, 5.90 mg/m3 in the hot stack, 6 m of path
  const FieldEnergisation a{1, 0, 600, 300};
  const Stack stack = computeStack(c, std::vector{a}, 1);
  EXPECT_EQ(stack.opacity, 348);      // 1 - e^(-1 m2/g x 0.0059 g/m3 x 6 m) = 3.48 %
  EXPECT_EQ(stack.meterCurrent, 46);  // 4 mA + 16 mA x 3.48 / 100
  c.inletDust = 0;
  EXPECT_EQ(computeStack(c, std::vector{a}, 1).meterCurrent, 40);
  c.fullScaleOpacity = 4000;  // a meter ranged 0-40 %
  c.inletDust        = 1000;  // 29.80 %: 4 mA + 16 mA x 29.80 / 40 = 15.9 mA
  EXPECT_EQ(computeStack(c, std::vector{a}, 1).meterCurrent, 159);
  c.inletDust = 10000;  // 97 %: the meter stays at 20 mA above its range
  EXPECT_EQ(computeStack(c, std::vector{a}, 1).meterCurrent, 200);
}

// A step in the fields' collection reaches the meter with the gas: after one time constant
// the meter has gone 1 - 1/e of the way.
TEST(PlantOpacity, TheMeterFollowsTheFieldsWithTheGasTransit) {
  PlantConstants c;
  c.gasFlow    = 125;
  c.inletDust  = 1000;
  c.periodMs   = 1000;
  c.responseMs = 10000;
  const FieldEnergisation on{1, 0, 600, 300};
  const FieldEnergisation off{1, 0, 0, 0};
  StackResponse response;
  EXPECT_NEAR(response.next(c, computeStack(c, std::vector{on}, 1)).outletDust, 90.718, 0.001);  // taken at once
  Stack seen{};
  for (int period = 0; period < 10; ++period) seen = response.next(c, computeStack(c, std::vector{off}, 1));
  EXPECT_NEAR(seen.outletDust, 1000 - (1000 - 90.718) * std::exp(-1.0), 0.01);
  EXPECT_EQ(seen.opacity, 9254);  // 1 - e^(-1 m2/g x 0.6655 g/Nm3 x 0.65 x 6 m)
  c.responseMs = 0;
  EXPECT_NEAR(response.next(c, computeStack(c, std::vector{on}, 1)).outletDust, 90.718, 0.001);
}

}  // namespace
}  // namespace plantsim
