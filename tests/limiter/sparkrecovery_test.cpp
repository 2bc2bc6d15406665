// Recovery times entered as spark rates, visited one setting per pass, and the recovery
// curve of the web front end.
#include <gtest/gtest.h>

#include <array>

#include "energisation_fixture.h"
#include "sparkrecovery.h"

namespace {

constexpr std::array<int, 7> kCurveTimes = {1357, 1358, 1359, 1360, 1361, 1364, 1366};
constexpr std::array<int, 7> kCurveValues = {1352, 1353, 1354, 1355, 1356, 1363, 1365};

class SparkRecoveryTest : public orvix::testing::EnergisationTest {
 protected:
  static std::array<int, 7> column(const std::array<int, 7>& handles) {
    std::array<int, 7> values{};
    for (size_t row = 0; row < handles.size(); ++row) values[row] = internal(handles[row]);
    return values;
  }
  void setUpCurve() {
    set("vxo_actmodecurrlim", 1000);
    set("vxi_sparkcurrent", 500);
    set("vxo_risetimea", 30);
    set("vxi_risetimeb", 70);
    set("vxo_firstignangle", 80);  // 905 per mille of the power
    set("vxo_ratioseccurr", 10000);
    set("vxo_sparkcurrstep", 30);
    set("vxo_riseperca", 500);
    set("vxo_actmodesparkrecoverytime", 6000);
    set("vxi_riseslopec", 500);
  }
};

TEST_F(SparkRecoveryTest, RatesBecomeTimes) {
  EXPECT_EQ(recoveryTimeFromRate(0), 245);
  EXPECT_EQ(recoveryTimeFromRate(1), 60000);
  EXPECT_EQ(recoveryTimeFromRate(100), 600);
  EXPECT_EQ(recoveryTimeFromRate(244), 245);
  EXPECT_EQ(recoveryTimeFromRate(245), 245);
  EXPECT_EQ(recoveryTimeFromRate(6000), 6000);
}

TEST_F(SparkRecoveryTest, OneSettingPerPassInRotation) {
  RecoveryTimeRotation rotation;
  set("vxo_actmodesparkrecoverytime", 0);
  set("vxo_mode1sparkrecoverytime", 100);
  set("vxo_mode6sparkrecoverytime", 244);
  handleSPMtoSparcRecovery(rotation);
  EXPECT_EQ(get("vxo_actmodesparkrecoverytime"), 245);
  EXPECT_EQ(get("vxo_mode1sparkrecoverytime"), 100) << "its turn is the next pass";
  for (int pass = 0; pass < 6; ++pass) handleSPMtoSparcRecovery(rotation);
  EXPECT_EQ(get("vxo_mode1sparkrecoverytime"), 600);
  EXPECT_EQ(get("vxo_mode6sparkrecoverytime"), 245);
  EXPECT_EQ(rotation.next, 0);
  set("vxo_actmodesparkrecoverytime", 50);
  handleSPMtoSparcRecovery(rotation);
  EXPECT_EQ(get("vxo_actmodesparkrecoverytime"), 1200);
}

TEST_F(SparkRecoveryTest, CurveClampedAtTheCurrentLimit) {
  setUpCurve();
  sparkRecoveryCurve();
  EXPECT_EQ(column(kCurveTimes), (std::array<int, 7>{0, 1, 30, 100, 170, 184, 249}));
  EXPECT_EQ(column(kCurveValues), (std::array<int, 7>{9050, 3500, 4250, 5000, 5750, 10000, 10000}));
}

TEST_F(SparkRecoveryTest, CurveBelowTheLimitAndWithTheLimitCloseAbove) {
  setUpCurve();
  set("vxi_riseslopec", 0);  // no rise C: the curve ends where rise B ends
  sparkRecoveryCurve();
  EXPECT_EQ(column(kCurveTimes), (std::array<int, 7>{0, 1, 30, 100, 170, 249, 249}));
  EXPECT_EQ(column(kCurveValues)[5], 5750);
  EXPECT_EQ(column(kCurveValues)[6], 5750);

  // A limit of 550 mA is reached on rise B: row 4 moves to where the limit is crossed.
  set("vxi_riseslopec", 500);
  set("vxo_actmodecurrlim", 550);
  sparkRecoveryCurve();
  EXPECT_EQ(column(kCurveTimes), (std::array<int, 7>{0, 1, 30, 100, 146, 146, 249}));
  EXPECT_EQ(column(kCurveValues), (std::array<int, 7>{9050, 3500, 4250, 5000, 5500, 5500, 5500}));
}

TEST_F(SparkRecoveryTest, CurveKeptWhenTheSparkCurrentIsAboveTheLimitOrZero) {
  setUpCurve();
  sparkRecoveryCurve();
  const std::array<int, 7> times = column(kCurveTimes);
  const std::array<int, 7> values = column(kCurveValues);
  set("vxi_sparkcurrent", 1001);
  set("vxi_risetimeb", 10);
  sparkRecoveryCurve();
  EXPECT_EQ(column(kCurveTimes), times);
  EXPECT_EQ(column(kCurveValues), values);
  set("vxi_sparkcurrent", 0);
  sparkRecoveryCurve();
  EXPECT_EQ(column(kCurveValues), values);
}

}  // namespace
