// The charge-ratio and opacity optimisations as tasks of the main loop's schedule; none
// asks the loop to skip its sleep.
#pragma once

#include "daemon.h"

bool runKoraOptimation(Daemon& daemon);        // slots 2 and 15: the step search
bool runKoraReference(Daemon& daemon);         // slot 6: the reference measurement
bool runKoraTimer(Daemon& daemon);             // slot 6: when a run starts and ends
bool runMira(Daemon& daemon);                  // slot 6, after the KORA loops
bool runUpdateFunFiringRatio(Daemon& daemon);  // every pass: the firing ratio in use, as a charge ratio
