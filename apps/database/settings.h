// Stored settings and the operator's requests: the start-up restore of the settings
// file, saving on request, the unsaved-change report, restoring defaults, restarting
// the signal processor and the scope program.
#pragma once

#include "daemon.h"

// Step 15 of the start-up: backup recovery, load, default texts for texts left empty,
// re-save or backup, vxo_saveset = 0.
void restoreSettingsAtStartup(const Daemon& daemon);

// Loop functions; a true result of checkSetDefaults and restartDspCheck means work done.
void checkSaveSettings(const Daemon& daemon);
bool checkSetDefaults();
bool restartDspCheck(const Daemon& daemon);
// True when a stored setting differs from its save value; tag 1399 names the first.
bool checkForModifications();
void scopeGrabReset(Daemon& daemon);
