// The constants of the plant's gas path and stack: one table of keys with working
// defaults, read from the plant's plant.ini (docs/plant.md).
#pragma once

#include <span>
#include <string>

#include "inihandler/intsettings.h"

namespace plantsim {

struct PlantConstants {
  int periodMs          = 1000;   // ms between two opacity values
  int responseMs        = 10000;  // ms: time constant of the gas transit to the stack and the meter
  int inletDust         = 10000;  // mg/Nm3 of dust in the gas entering the precipitator
  int gasFlow           = 250;    // m3/s of gas through the precipitator, shared evenly by the cells
  int fieldArea         = 5000;   // m2 of collecting plate per field
  int migrationVelocity = 60;     // mm/s at the reference voltage, inlet field
  int referenceVoltage  = 600;    // 0.1 kV: w grows with the square of the mean voltage over it
  int downstreamFactor  = 800;    // per mille: each further field sees finer dust, w falls by this
  int stackDensity      = 650;    // per mille: stack gas volume per normal volume (hot gas)
  int extinction        = 100;    // 0.01 m2/g: mass extinction coefficient of the dust
  int opticalPath       = 60;     // 0.1 m across the stack
  int fullScaleOpacity  = 10000;  // 0.01 %: the meter reads 20 mA at this opacity
};

using PlantConstantRow = orvix::IntSetting<PlantConstants>;

std::span<const PlantConstantRow> plantConstantRows();

// Reads the plant file; a missing or malformed file leaves the defaults and says why.
PlantConstants loadPlantConstants(const char* path, std::string& problems);

}  // namespace plantsim
