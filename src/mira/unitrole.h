// What every unit does with the limit the master sends it: its field type, its lowest
// firing ratio, its own firing ratio, its status for the master and its notes, and the
// firing ratio it finally uses.
#pragma once

namespace mira {

constexpr int kLimitTimeoutSeconds = 150;  // without a new limit the unit leaves MIRA

struct UnitRoleState {
  int cntMyLimitTimeout = kLimitTimeoutSeconds;  // seconds until the limit times out
  bool lastMiraOn       = false;                 // vxo_actmodemira of the previous pass
};

// Once a second: field type, minimum, time-out, own firing ratio, status and notes.
void runUnitRole(UnitRoleState& state);

// True when no limit has arrived for 150 calls; a limit arriving restarts the count.
bool timeoutMira(UnitRoleState& state);

// Every pass: vxi_funfiringratio and vxi_frsource; returns the firing ratio (0.01 %) that
// goes to the signal processor.
int updateFunFiringRatio(UnitRoleState& state);

}  // namespace mira
