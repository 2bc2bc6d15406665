// The T/R set feeding one precipitator field: corona characteristic of the field, firing
// ratio from the charge ratio, the limits on the pulse current and the measurements that
// follow from an operating point.
#pragma once

#include "constants.h"

namespace dspsim {

// Limiter codes the signal processor reports in vxi_limiter.
enum LimiterCode : int {
  kLimiterOff            = 0,
  kLimiterAverageCurrent = 2,
  kLimiterIgnitionAngle  = 5,
  kLimiterSpark          = 6,
  kLimiterRapping        = 7,
  kLimiterPulseCurrent   = 9,
  kLimiterArc            = 13,
};

// The T/R set's ratings, as the ratio settings give them.
struct TrRatings {
  int lineVoltage      = 500;    // V
  int primaryCurrent   = 100;    // A
  int secondaryVoltage = 100;    // kV
  int secondaryCurrent = 10000;  // 0.1 mA
};

// Mean current density over the collecting plates, uA/m2 (0 without a collector area).
double meanCurrentDensity(double meanMa, const ModelConstants& c);
// Corona onset voltage while the field carries this mean current. Above the back-corona onset
// density the dust layer breaks down and the onset falls, by backCoronaDrop at the most, in
// proportion to the share of the density beyond the onset (1 - onset / density).
double onsetVoltageKv(double meanMa, const ModelConstants& c);
// Corona law of the field: no current up to the onset voltage, then I = k (U - U0)^2, with U0
// the onset at the field's mean current.
double coronaCurrentMa(double voltageKv, double meanMa, const ModelConstants& c);
// The inverse: the mean field voltage at which the field draws this mean current (0 for none).
double fieldVoltageKv(double currentMa, const ModelConstants& c);

// Charge ratio n (vxo_fakecr): an odd n fires 1 of n half-cycles, an even n 2 of n; 0 and 1 fire all.
// Result in 0.01 %.
int firingRatioFromChargeRatio(int chargeRatio);

// Firing angle in % for a share of the rated power, the inverse of 500 (1 - cos(pi a / 100)).
double firingAngleForPowerShare(double share);
double powerShareOfFiringAngle(double anglePercent);

struct CurrentLimits {
  int functionalLimit   = 0;      // mA, vxi_funcurrlimit
  int maxAverageCurrent = 0;      // mA
  int firingAngleLimit  = 95;     // %
  int firingRatio       = 10000;  // 0.01 %
};

struct AllowedCurrent {
  double pulseMa      = 0;
  LimiterCode limiter = kLimiterPulseCurrent;
};

// The largest pulse current the limits allow, and which limit decides it.
AllowedCurrent allowedPulseCurrent(const CurrentLimits& limits, const TrRatings& ratings, const ModelConstants& c);

// Everything the signal processor measures at one operating point, in raw tag units.
struct Measurements {
  int secVoltAvg    = 0;  // 0.1 kV
  int secVoltPeak   = 0;  // 0.1 kV
  int secVoltValley = 0;  // 0.1 kV
  int secCurrPulse  = 0;  // mA
  int secCurrAvg    = 0;  // mA
  int secCurrPeak   = 0;  // mA
  int primVoltRms   = 0;  // 0.1 V
  int primCurrRms   = 0;  // 0.1 A
  int primCurrAvg   = 0;  // 0.1 A
  int actPower      = 0;  // 0.1 kW
  int appPower      = 0;  // 0.1 kVA
  int firingAngle   = 0;  // 0.1 %
  int secDvdt       = 0;  // kV/ms
};

Measurements measure(double pulseMa, int firingRatio, int chargeRatio, const TrRatings& ratings,
                     const ModelConstants& c);

}  // namespace dspsim
