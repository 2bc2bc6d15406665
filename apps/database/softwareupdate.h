// Software arriving in the FTP area: signal-processor program files moved to the program
// directory and deciphered, unit update packages announced, removed or executed, and the
// system information dump on request.
#pragma once

#include "daemon.h"

// Moves the first signal-processor program file (ORX*.vxd; with the "dspUpdateDebug"
// setting also ORX*.CRB and ORX*.hex) to the program directory; true when one was moved.
bool checkDspUpdate(Daemon& daemon);
// The update-package check every 10 s: offers a manual package from its second check on,
// flags an automatic one for execution from its third.
bool checkUpdateFiles(Daemon& daemon);
// Removes the packages on vxo_updateremove, or stops every program (stop word) so that
// the updater can take over on vxo_updateexecute.
void handleUpdate();
// Starts the system information dump on vxo_updateftpsysinfo.
void updateFtpSystemInfo();

// Slot tasks
bool handleUpdateRequest(Daemon& daemon);    // slot 12, while a package is offered or due
bool dumpSystemInfoRequest(Daemon& daemon);  // slot 7
