// The T/R set and field model and the spark model on their own.
#include <gtest/gtest.h>

#include <cmath>

#include "field.h"
#include "sparks.h"

namespace dspsim {
namespace {

const ModelConstants kDefaults;

TEST(CoronaLaw, NoCurrentUpToOnsetThenSquareOfTheExcess) {
  EXPECT_EQ(coronaCurrentMa(0.0, 0.0, kDefaults), 0.0);
  EXPECT_EQ(coronaCurrentMa(30.0, 0.0, kDefaults), 0.0);  // onset 30 kV
  const double at10 = coronaCurrentMa(40.0, 0.0, kDefaults);
  EXPECT_NEAR(at10, 0.556 * 100, 1e-9);
  EXPECT_NEAR(coronaCurrentMa(50.0, 0.0, kDefaults), 4 * at10, 1e-9);
  // The inverse gives the voltage back, and no current means no voltage.
  for (double kv : {30.5, 45.0, 80.0})
    EXPECT_NEAR(fieldVoltageKv(coronaCurrentMa(kv, 0.0, kDefaults), kDefaults), kv, 1e-9);
  EXPECT_EQ(fieldVoltageKv(0.0, kDefaults), 0.0);
}

TEST(ChargeRatio, FiringRatioIsTheInverseOfTheUnitsConversion) {
  EXPECT_EQ(firingRatioFromChargeRatio(0), 10000);
  EXPECT_EQ(firingRatioFromChargeRatio(1), 10000);
  EXPECT_EQ(firingRatioFromChargeRatio(3), 3333);  // 1 of 3 half-cycles
  EXPECT_EQ(firingRatioFromChargeRatio(4), 5000);  // 2 of 4
  EXPECT_EQ(firingRatioFromChargeRatio(7), 1428);
  EXPECT_EQ(firingRatioFromChargeRatio(-5), 10000);
}

TEST(FiringAngle, PowerShareRoundTripsAndMatchesTheUnitsTable) {
  EXPECT_NEAR(powerShareOfFiringAngle(25) * 1000, 146, 0.5);
  EXPECT_NEAR(powerShareOfFiringAngle(75) * 1000, 854, 0.5);
  for (double share : {0.0, 0.1, 0.5, 0.9, 1.0}) {
    EXPECT_NEAR(powerShareOfFiringAngle(firingAngleForPowerShare(share)), share, 1e-9);
  }
  EXPECT_EQ(firingAngleForPowerShare(1.5), 100.0);
}

TEST(FieldMeasurements, VoltagesCurrentsAndPowerAreConsistent) {
  const TrRatings ratings;
  const Measurements m = measure(500, 10000, 1, ratings, kDefaults);
  EXPECT_EQ(m.secCurrPulse, 500);
  EXPECT_EQ(m.secCurrAvg, 500);
  EXPECT_EQ(m.secCurrPeak, 750);
  EXPECT_NEAR(m.secVoltAvg, 600, 2);  // 30 kV onset + sqrt(500 / 0.556)
  EXPECT_GT(m.secVoltPeak, m.secVoltAvg);
  EXPECT_LT(m.secVoltValley, m.secVoltAvg);
  EXPECT_NEAR(m.actPower, m.secVoltAvg * m.secCurrAvg / 1000, 1);  // 0.1 kV * mA / 1000 = 0.1 kW
  EXPECT_GT(m.firingAngle, 0);
  EXPECT_EQ(measure(0, 10000, 1, ratings, kDefaults).secVoltAvg, 0);

  // Firing 1 of 3 half-cycles: a third of the mean current and more ripple.
  const Measurements third = measure(500, 3333, 3, ratings, kDefaults);
  EXPECT_NEAR(third.secCurrAvg, 167, 1);
  EXPECT_GT(third.secVoltPeak - third.secVoltValley, m.secVoltPeak - m.secVoltValley);
  EXPECT_GE(third.secVoltValley, 300);  // not below the onset while current flows
}

TEST(FieldMeasurements, PrimaryValuesFollowTheTransformerRatios) {
  TrRatings ratings;
  const Measurements base = measure(500, 10000, 1, ratings, kDefaults);
  // Primary rms voltage = peak voltage / turns ratio / sqrt 2, turns ratio = 100 kV / 500 V.
  EXPECT_NEAR(base.primVoltRms, base.secVoltPeak / 10.0 * 1000 / 200 / std::sqrt(2.0) * 10, 2);
  ratings.secondaryVoltage       = 200;  // twice the turns ratio
  const Measurements higherTurns = measure(500, 10000, 1, ratings, kDefaults);
  EXPECT_NEAR(higherTurns.primVoltRms, higherTurns.secVoltPeak / 10.0 * 1000 / 400 / std::sqrt(2.0) * 10, 2);
  ratings                          = TrRatings{};
  ratings.primaryCurrent           = 300;  // three times the current ratio
  const Measurements higherCurrent = measure(500, 10000, 1, ratings, kDefaults);
  EXPECT_NEAR(higherCurrent.primCurrRms, base.primCurrRms * 3, 2);
  EXPECT_NEAR(higherCurrent.primCurrAvg, base.primCurrAvg * 3, 2);
  // 500 mA at a rated 1000 mA for 100 A primary: 50 A.
  EXPECT_EQ(base.primCurrAvg, 500);
}

TEST(PulseCurrentLimits, TheSmallestLimitDecidesAndIsReported) {
  const TrRatings ratings;
  CurrentLimits limits{500, 1000, 95, 10000};
  AllowedCurrent allowed = allowedPulseCurrent(limits, ratings, kDefaults);
  EXPECT_EQ(allowed.limiter, kLimiterPulseCurrent);
  EXPECT_DOUBLE_EQ(allowed.pulseMa, 500);

  limits.maxAverageCurrent = 300;
  allowed                  = allowedPulseCurrent(limits, ratings, kDefaults);
  EXPECT_EQ(allowed.limiter, kLimiterAverageCurrent);
  EXPECT_DOUBLE_EQ(allowed.pulseMa, 300);
  limits.firingRatio = 3333;  // the mean is a third of the pulse current
  EXPECT_EQ(allowedPulseCurrent(limits, ratings, kDefaults).limiter, kLimiterPulseCurrent);

  // 2000 mA would need more than the rated 100 kW: the firing angle limit holds it back.
  limits  = {2000, 2000, 95, 10000};
  allowed = allowedPulseCurrent(limits, ratings, kDefaults);
  EXPECT_EQ(allowed.limiter, kLimiterIgnitionAngle);
  const Measurements m = measure(allowed.pulseMa, 10000, 1, ratings, kDefaults);
  EXPECT_NEAR(m.firingAngle, 950, 2);
}

TEST(SparkRate, RisesTowardsSparkOver) {
  EXPECT_EQ(sparkRatePerMinute(0, kDefaults), 0.0);
  EXPECT_NEAR(sparkRatePerMinute(850, kDefaults), 60.0, 1e-9);
  EXPECT_NEAR(sparkRatePerMinute(820, kDefaults), 60.0 / std::exp(1.0), 1e-9);
  double previous = 0;
  for (int kv = 500; kv <= 1000; kv += 25) {
    const double rate = sparkRatePerMinute(kv, kDefaults);
    EXPECT_GT(rate, previous) << kv;
    previous = rate;
  }
  EXPECT_TRUE(std::isfinite(sparkRatePerMinute(100000, kDefaults)));
}

TEST(SparkRecovery, QuenchThenSlopesABackToBelowThePreSparkCurrent) {
  const RecoverySettings settings{6000, 30, 500, 30, 2};  // 600 ms, 30 %, half the step in 30 %
  SparkRecovery recovery;
  recovery.start(1000, 1000.0, settings, kDefaults);
  // Two half-cycles of 10 ms without firing.
  EXPECT_TRUE(recovery.quenching(1019));
  EXPECT_EQ(recovery.setPointMa(1010), 0.0);
  EXPECT_EQ(recovery.slope(1010), kSlopeQuench);
  EXPECT_EQ(recovery.slope(1025), kSlopeFirstIgnition);
  EXPECT_NEAR(recovery.setPointMa(1020), 700.0, 1e-6);  // 100 - 30 %
  EXPECT_EQ(recovery.slope(1100), kSlopeA);
  EXPECT_NEAR(recovery.setPointMa(1020 + 180), 850.0, 1e-6);  // half the step back after 30 % of 600 ms
  EXPECT_EQ(recovery.slope(1300), kSlopeB);
  EXPECT_TRUE(recovery.active(1619));
  EXPECT_FALSE(recovery.active(1620));
  EXPECT_NEAR(recovery.setPointMa(1620), 970.0, 1e-6);  // 3 % setback
  EXPECT_EQ(recovery.slope(1620), kSlopeC);
}

TEST(SparkWindow, CountsTheLastMinute) {
  SparkWindow window;
  for (int64_t t : {0, 1000, 30000, 59000}) window.add(t);
  EXPECT_EQ(window.perMinute(59000), 4);
  EXPECT_EQ(window.perMinute(60000), 3);
  EXPECT_EQ(window.perMinute(119000), 0);
}

}  // namespace
}  // namespace dspsim
