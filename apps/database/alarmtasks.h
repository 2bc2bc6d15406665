// The alarm, status word, LED and history work as tasks of the loop and steps of the
// start-up, on the daemon's one alarm history and trend-log trigger.
#pragma once

#include "alarmhistory.h"
#include "daemon.h"
#include "trendlog.h"

AlarmHistory& unitAlarmHistory();
TrendLogTrigger& unitTrendLog();

// Start-up
void loadAlarmLogSetup(Daemon& daemon);  // takes the daemon's paths; which tags each alarm logs
void loadErrorLog(Daemon& daemon);       // the history of the last run, from the alarm log

// Slot tasks; true when the task did significant work
bool recordAlarms(Daemon& daemon);             // handleAlarms, from the 31st pass on
bool publishStatusWord(Daemon& daemon);        // setStatusWord
bool clearHistoryOnRequest(Daemon& daemon);    // clearAndStoreErrorHistory on vxo_clearhistory
bool publishErrorStatistics(Daemon& daemon);   // updateErrorStatistics
bool raiseLocalRemoteWarning(Daemon& daemon);  // checkExternalControlBlocked
bool blinkLeds(Daemon& daemon);                // signalLed with the DHCP state

// Every pass
bool foldSumAlarms(Daemon& daemon);           // setSumAlarm
bool flagViCancelPossible(Daemon& daemon);    // controlCancelPossibleFlag
bool triggerTrendLog(Daemon& daemon);         // letsLog
bool takeInvertedResetInput(Daemon& daemon);  // handleSumAlarmResetRev
