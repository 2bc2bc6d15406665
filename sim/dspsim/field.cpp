#include "field.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dspsim {
namespace {

double factorMaPerKv2(const ModelConstants& c) { return c.coronaFactor / 1000.0; }
double halfPeriodMs(const ModelConstants& c) { return 1000.0 / (2.0 * c.lineFrequency / 10.0); }
double ratedPowerKw(const TrRatings& r) { return r.secondaryVoltage * (r.secondaryCurrent / 10.0) / 1000.0; }
double share(int firingRatio) { return std::clamp(firingRatio, 0, 10000) / 10000.0; }
int raw(double value, double scale) { return static_cast<int>(std::lround(value * scale)); }

// The largest mean current at which the field takes at most this power; power rises with current.
double meanCurrentForPower(double powerKw, const ModelConstants& c) {
  double low  = 0;
  double high = 1.0;
  while (fieldVoltageKv(high, c) * high / 1000.0 < powerKw && high < 1e7) high *= 2;
  for (int step = 0; step < 60; ++step) {
    const double middle                                                   = (low + high) / 2;
    (fieldVoltageKv(middle, c) * middle / 1000.0 <= powerKw ? low : high) = middle;
  }
  return low;
}

}  // namespace

double meanCurrentDensity(double meanMa, const ModelConstants& c) {
  return c.collectorArea > 0 ? std::max(meanMa, 0.0) * 1000.0 / c.collectorArea : 0.0;
}

double onsetVoltageKv(double meanMa, const ModelConstants& c) {
  const double cleanKv = c.coronaOnsetVoltage / 10.0;
  const double density = meanCurrentDensity(meanMa, c);
  if (c.backCoronaOnset <= 0 || density <= c.backCoronaOnset) return cleanKv;
  const double severity = 1.0 - c.backCoronaOnset / density;
  return cleanKv * (1.0 - c.backCoronaDrop / 1000.0 * severity);
}

double coronaCurrentMa(double voltageKv, double meanMa, const ModelConstants& c) {
  const double excess = voltageKv - onsetVoltageKv(meanMa, c);
  return excess <= 0 ? 0.0 : factorMaPerKv2(c) * excess * excess;
}

double fieldVoltageKv(double currentMa, const ModelConstants& c) {
  if (currentMa <= 0) return 0.0;
  return onsetVoltageKv(currentMa, c) + std::sqrt(currentMa / factorMaPerKv2(c));
}

int firingRatioFromChargeRatio(int chargeRatio) {
  if (chargeRatio <= 1) return 10000;
  return chargeRatio % 2 == 1 ? 10000 / chargeRatio : 20000 / chargeRatio;
}

double firingAngleForPowerShare(double powerShare) {
  return std::acos(1.0 - 2.0 * std::clamp(powerShare, 0.0, 1.0)) / std::numbers::pi * 100.0;
}

double powerShareOfFiringAngle(double anglePercent) {
  return (1.0 - std::cos(std::numbers::pi * std::clamp(anglePercent, 0.0, 100.0) / 100.0)) / 2.0;
}

AllowedCurrent allowedPulseCurrent(const CurrentLimits& limits, const TrRatings& ratings, const ModelConstants& c) {
  const double fr = std::max(share(limits.firingRatio), 1e-4);
  AllowedCurrent allowed{static_cast<double>(std::max(limits.functionalLimit, 0)), kLimiterPulseCurrent};
  const double byAverage = std::max(limits.maxAverageCurrent, 0) / fr;
  if (byAverage < allowed.pulseMa) allowed = {byAverage, kLimiterAverageCurrent};
  const double powerLimitKw  = powerShareOfFiringAngle(limits.firingAngleLimit) * ratedPowerKw(ratings);
  const double byFiringAngle = meanCurrentForPower(powerLimitKw, c) / fr;
  if (byFiringAngle < allowed.pulseMa) allowed = {byFiringAngle, kLimiterIgnitionAngle};
  return allowed;
}

Measurements measure(double pulseMa, int firingRatio, int chargeRatio, const TrRatings& ratings,
                     const ModelConstants& c) {
  Measurements m;
  if (pulseMa <= 0) return m;
  const double fr        = share(firingRatio);
  const double averageMa = pulseMa * fr;
  const double voltageKv = fieldVoltageKv(averageMa, c);
  const double powerKw   = voltageKv * averageMa / 1000.0;
  const double angle     = firingAngleForPowerShare(powerKw / ratedPowerKw(ratings));

  // Between two conducting pulses the field discharges through its corona current.
  const double conductingMs = halfPeriodMs(c) * angle / 100.0;
  const double pulses       = std::max(chargeRatio, 1);
  const double offMs        = std::max(halfPeriodMs(c) * pulses - conductingMs, 0.0);
  const double rippleKv     = averageMa * offMs / c.fieldCapacitance;
  const double peakKv       = voltageKv + rippleKv / 2;
  const double valleyKv     = std::max(voltageKv - rippleKv / 2, std::min(voltageKv, onsetVoltageKv(averageMa, c)));

  // The primary side seen through the ratings: voltage by the turns ratio, current by the current ratio.
  const double turnsRatio      = ratings.secondaryVoltage * 1000.0 / ratings.lineVoltage;
  const double currentRatio    = ratings.primaryCurrent / (ratings.secondaryCurrent / 10000.0);
  const double primaryVoltsRms = peakKv * 1000.0 / turnsRatio / std::numbers::sqrt2;
  const double primaryAmpsRms  = pulseMa / 1000.0 * std::sqrt(fr) * currentRatio;

  m.secVoltAvg    = raw(voltageKv, 10);
  m.secVoltPeak   = raw(peakKv, 10);
  m.secVoltValley = raw(valleyKv, 10);
  m.secCurrPulse  = raw(pulseMa, 1);
  m.secCurrAvg    = raw(averageMa, 1);
  m.secCurrPeak   = raw(pulseMa * c.peakCurrentFactor / 1000.0, 1);
  m.primVoltRms   = raw(primaryVoltsRms, 10);
  m.primCurrRms   = raw(primaryAmpsRms, 10);
  m.primCurrAvg   = raw(averageMa / 1000.0 * currentRatio, 10);
  m.actPower      = raw(powerKw, 10);
  m.appPower      = raw(primaryVoltsRms * primaryAmpsRms / 1000.0, 10);
  m.firingAngle   = raw(angle, 10);
  m.secDvdt       = raw(rippleKv / std::max(conductingMs, 0.5), 1);
  return m;
}

}  // namespace dspsim
