// The work the main loop does itself, each as a task of the slot schedule: a true
// result means the task did significant work and the loop skips its long sleep.
#pragma once

#include "daemon.h"

// Slot tasks
bool updateDateTag(Daemon& daemon);           // vxo_date and the date word
bool requestMasterSync(Daemon& daemon);       // vxo_mastersync at 23:59:00 on the master
bool countModbusRefresh(Daemon& daemon);      // tells the register server to synchronise
bool flagErrorsInLogFile(Daemon& daemon);     // vxi_errorsinlogfile from the log size
bool saveOnRequest(Daemon& daemon);           // checkSaveSettings
bool restoreDefaultsOnRequest(Daemon& daemon);  // checkSetDefaults
bool restartDspOnRequest(Daemon& daemon);     // restartDspCheck
bool reportUnsavedSettings(Daemon& daemon);   // vxi_setnochange = checkForModifications
bool runSignalTest(Daemon& daemon);           // signalTestStateLoop
bool runClockTasks(Daemon& daemon);           // the clock schedule, slot 19

// Each new second
bool handleHeartBeat(Daemon& daemon);  // true on the tenth consecutive second of heartbeat 1

// Every pass
bool restartScopeOnRequest(Daemon& daemon);  // scopeGrabReset
bool countAlarmReset(Daemon& daemon);        // the alarm-reset counter

// Clock tasks (slot 19, by the seconds of the day)
bool writeHardwareClock(Daemon& daemon);
bool checkModbusLogSize(Daemon& daemon);
bool updateIdleCurrentLimit(Daemon& daemon);
bool takeModbusPollRate(Daemon& daemon);
