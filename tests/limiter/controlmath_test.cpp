// The integer helpers at their edges: square roots of perfect squares and their
// neighbours, medians of unsorted samples, the ignition-angle power table's symmetry.
#include <gtest/gtest.h>

#include <climits>

#include "controlmath.h"

namespace {

TEST(SquareRoot, ExactAtSquaresAndFloorsBetween) {
  const struct {
    int input;
    int root;
  } cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {15, 3}, {16, 4}, {17, 4}, {99, 9}, {100, 10},
               {65535, 255}, {65536, 256}, {INT_MAX, 46340}, {-1, 0}, {INT_MIN, 0}};
  for (const auto& c : cases) EXPECT_EQ(SquareRoot(c.input), c.root) << c.input;
  EXPECT_EQ(squareRootUnsigned(UINT32_MAX), 65535u);
}

TEST(Medians, SortInPlaceAndTakeTheMiddle) {
  short three[] = {30, -5, 10};
  EXPECT_EQ(median3(three), 10);
  EXPECT_EQ(three[0], -5);
  EXPECT_EQ(three[2], 30);
  short four[] = {9, 1, 4, 2};  // middle pair 2 and 4
  EXPECT_EQ(median4(four), 3);
  short fourOdd[] = {1, 2, 3, 10};  // (2 + 3 + 1) / 2
  EXPECT_EQ(median4(fourOdd), 3);
  short five[] = {5, 4, 3, 2, 1};
  EXPECT_EQ(median5(five), 3);
  short fifteen[] = {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  EXPECT_EQ(median15(fifteen), 8);
  EXPECT_EQ(fifteen[0], 1);
}

TEST(IgnitionAngle, PowerTableAndItsMirror) {
  EXPECT_EQ(ignAngleToPower(0), 0);
  EXPECT_EQ(ignAngleToPower(2), 1);
  EXPECT_EQ(ignAngleToPower(25), 146);
  EXPECT_EQ(ignAngleToPower(49), 484);
  EXPECT_EQ(ignAngleToPower(50), 500);
  EXPECT_EQ(ignAngleToPower(51), 516);
  EXPECT_EQ(ignAngleToPower(75), 854);
  EXPECT_EQ(ignAngleToPower(100), 1000);
  EXPECT_EQ(ignAngleToPower(101), 0);
  EXPECT_EQ(ignAngleToPower(-1), 0);
  for (int angle = 1; angle <= 100; ++angle) EXPECT_GE(ignAngleToPower(angle), ignAngleToPower(angle - 1)) << angle;
}

TEST(Bounds, ConstrainAndLimits) {
  EXPECT_EQ(constrain(5, 10, 0), 5);
  EXPECT_EQ(constrain(11, 10, 0), 10);
  EXPECT_EQ(constrain(-1, 10, 0), 0);
  EXPECT_EQ(constrain(5, 0, 10), 0);  // maximum tested first
  EXPECT_EQ(limits(11, 10, 1, true), 0);
  EXPECT_EQ(limits(0, 10, 1, true), 0);
  EXPECT_EQ(limits(0, 10, 1, false), 1);
  EXPECT_EQ(limits(10, 10, 1, true), 10);
  EXPECT_EQ(highest(-3, 2), 2);
  EXPECT_EQ(lowest(-3, 2), -3);
}

}  // namespace
