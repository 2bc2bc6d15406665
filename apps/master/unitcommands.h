// Commands a master sends that change this unit beyond single tags: the web front end's
// passwords and the statistics counters.
#pragma once

#include "message.h"

namespace master {

// Rewrites the web front end's access configuration with the three passwords (low,
// medium, high level) and stores them.
void updatePasswords(const char (&passwords)[kPasswordCount][kPasswordSize]);

// Clears the counters of the reset and asks the database to save the settings.
void resetStatistics(StatisticsReset reset);

}  // namespace master
