// Opacity-based firing-ratio optimisation: the master unit scales a power limit per cell
// and field type so that the stack opacity stays at its set value with as little power
// as it needs; every unit turns the limit it receives into its own firing ratio.
#pragma once

#include "mira/opacity.h"
#include "mira/profile.h"
#include "mira/unitrole.h"

namespace mira {

struct MiraState {
  miraSettings mira;
  OpacityHistory opacity;
  UnitRoleState unit;
  int cntMinutesSinceApply = 0;  // full minutes since the last change of the limits
  bool firstdone           = false;
};

// Once a second. iniPath: the configuration file read again at the first call.
void MIRA(MiraState& state, const char* iniPath);

}  // namespace mira
