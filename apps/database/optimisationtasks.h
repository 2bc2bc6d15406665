// The opacity optimisation as tasks of the main loop's schedule; neither asks the loop
// to skip its sleep.
#pragma once

#include "daemon.h"

bool runMira(Daemon& daemon);                  // slot 6, after the KORA loops
bool runUpdateFunFiringRatio(Daemon& daemon);  // every pass: the firing ratio in use, as a charge ratio
