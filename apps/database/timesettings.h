// The operator's time settings (zone, date and time, network time sync and its server),
// applied once per request after they have been checked.
#pragma once

#include "daemon.h"

// Applies the settings with the new date and time when vxo_newtimeset asks for it, else
// with the clock's own; a date, time, zone or sync setting that is not one is refused with
// a log line and nothing changes. True when applied.
bool applyTimeSettings(bool newClock);

// Slot task (slot 9): on vxo_timesyncapply or vxo_newtimeset.
bool applyTimeRequest(Daemon& daemon);
