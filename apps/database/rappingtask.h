// The rapping scheduler client as a task of the slot schedule.
#pragma once

#include "daemon.h"

bool runRappingScheduler(Daemon& daemon);  // rappingShedulderClient, once a second
