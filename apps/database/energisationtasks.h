// The spark statistics, limiter and mode functions as tasks of the main loop's schedule;
// none of them asks the loop to skip its sleep.
#pragma once

#include "daemon.h"

// Slot tasks
bool runSetSpmString(Daemon& daemon);            // slot 1
bool runCheckModeSettings(Daemon& daemon);       // slots 2 and 15
bool runCalculateImpedance(Daemon& daemon);      // slots 2 and 15
bool runSetCurrDens(Daemon& daemon);             // slot 7
bool runSetAuxCurr(Daemon& daemon);              // slot 7
bool runCollectorArea(Daemon& daemon);           // slot 7
bool runDynamicLimits(Daemon& daemon);           // slot 12
bool runRiseTimeCalculations(Daemon& daemon);    // slot 12
bool runSparkRecoveryCurve(Daemon& daemon);      // slot 12
bool runViMin(Daemon& daemon);                   // slot 13

// Every pass, in this order among the loop's other every-pass work
bool runUpdateTronFile(Daemon& daemon);
bool runFunctionalLimiter(Daemon& daemon);
bool runHandleTronCmd(Daemon& daemon);
bool runSparkStatistics(Daemon& daemon);
bool runSparkRecoveryRotation(Daemon& daemon);
bool runCurrDensWhileMeasuring(Daemon& daemon);  // setCurrDens while vxi_measurement is 1

// Clock tasks (slot 19)
bool runUpdateComSpeed(Daemon& daemon);          // every 10 s
bool runSetPositionString(Daemon& daemon);       // every 10 s
bool runPulseCurrentRatio(Daemon& daemon);       // every 10 s
bool runMaxMediumDvDt(Daemon& daemon);           // every 3 s
bool runMasterModeSelector(Daemon& daemon);      // every 3 s
