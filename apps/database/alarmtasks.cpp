#include "orxtags/handles.h"
#include "alarmtasks.h"

#include "alarms.h"
#include "leds.h"
#include "sharedmem/tagaccess.h"
#include "statusword.h"

namespace {

constexpr const char* kDefaultSetupFile = "/var/lib/orvix/alarmLogSetup.ini";
constexpr int kFirstAlarmPass = 31;                     // earlier passes see the tags still settling after start
constexpr int kClearHistory   = tags::vxo_clearhistory;  // vxo_clearhistory

}  // namespace

AlarmHistory& unitAlarmHistory() {
  static AlarmHistory history;
  return history;
}

TrendLogTrigger& unitTrendLog() {
  static TrendLogTrigger trigger;
  return trigger;
}

void loadAlarmLogSetup(Daemon& daemon) {
  const paths& path = daemon.path;
  unitAlarmHistory().setFiles(
      {path.alarmLog, path.store, path.alarmLogSetup[0] != '\0' ? path.alarmLogSetup : kDefaultSetupFile});
  unitAlarmHistory().updateAlarmLogVars();
}

void loadErrorLog(Daemon&) { unitAlarmHistory().loadErrorHistory(); }

bool recordAlarms(Daemon& daemon) {
  if (daemon.passCounter < kFirstAlarmPass) return false;
  return handleAlarms(&daemon.alarmResetCounter, unitAlarmHistory());
}

bool publishStatusWord(Daemon&) {
  setStatusWord();
  return false;
}

bool clearHistoryOnRequest(Daemon&) {
  if (!dbIsEqual(kClearHistory, 1)) return false;
  unitAlarmHistory().clearAndStoreErrorHistory();
  return true;
}

bool publishErrorStatistics(Daemon&) {
  unitAlarmHistory().updateErrorStatistics();
  return false;
}

bool raiseLocalRemoteWarning(Daemon&) {
  checkExternalControlBlocked();
  return false;
}

bool blinkLeds(Daemon& daemon) {
  signalLed(daemon.eth0.dhcp, daemon.ledCalls);
  return false;
}

bool foldSumAlarms(Daemon&) {
  setSumAlarm();
  return false;
}

bool flagViCancelPossible(Daemon&) {
  controlCancelPossibleFlag();
  return false;
}

bool triggerTrendLog(Daemon&) {
  unitTrendLog().letsLog();
  return false;
}

bool takeInvertedResetInput(Daemon&) {
  handleSumAlarmResetRev();
  return false;
}
