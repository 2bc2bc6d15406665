// The unit's alarms: the alarm table (handle, alarm code, class, sum group, reset), the
// three sum alarms, the operator reset, and the small alarm flag handlers of the loop.
#pragma once

#include <span>

enum class AlarmClass { none, warning, trip };

// Which sum alarm an active alarm raises in setSumAlarm.
enum class SumGroup { none, warning, trip };

struct AlarmDefinition {
  int handle;
  const char* tag;
  int code;  // alarm code of the history; 0 = none
  AlarmClass alarmClass;
  SumGroup sum;
  bool clearedByReset;  // resetAlarms clears it (signal processor alarms it does not)
};

std::span<const AlarmDefinition> alarmTable();

// The alarm handles in the order the history looks for a new alarm.
std::span<const int> alarmScanOrder();

// Table look-ups; 0 means "no alarm" both ways.
int lookUpAlarmCode(int handle);
int lookUpAlarmHandle(int alarmCode);
AlarmClass alarmClassOf(int handle);

// Every pass: folds the active unit-side alarms into the latched sum alarms; an active
// trip keeps the T/R set off.
void setSumAlarm();

// Clears the unit-side alarms and the three sum alarms; 0.
int resetAlarms();

// Every pass: the inverted reset input requests one reset while a sum alarm is active.
void handleSumAlarmResetRev();

// Once a second: the local/remote lock raises its warning (the operator reset clears it).
void checkExternalControlBlocked();

// Every pass: vxi_vicancelpossible while a V-I measurement runs or is requested.
void controlCancelPossibleFlag();
