// Quantities derived from settings and readings: current density, the V-I minimum
// current, impedance, collector area, auxiliary current and the charge ratio.
#pragma once

#include <array>

struct CurrentDensitySamples {
  std::array<short, 3> samples{};  // current density, median of the last three
  int p = 0;                        // next sample slot
};

struct ViMinState {
  int lastMinimumCurrent = 0;  // mA, vxo_viminimumcurrent seen on the previous call
};

void setCurrDens(CurrentDensitySamples& state);
void viMin(ViMinState& state);
void calculateImpedance();
void collectorArea();
void setAuxCurr();
// Charge ratio (odd, 1 = every half wave) for a firing ratio in 0.01 %; also vxo_fakecr.
int firingRatioToCR(int firingRatio);
