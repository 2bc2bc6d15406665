#include "looptasks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "housekeeping.h"
#include "orxtags/handles.h"
#include "orxtime/clocktags.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "schedule.h"
#include "settings.h"
#include "sharedmem/tagaccess.h"

namespace {

// Tags by handle
constexpr int kSetNoChange      = 83;                               // vxi_setnochange: unsaved settings
constexpr int kErrorsInLogFile  = tags::vxi_errorsinlogfile;         // vxi_errorsinlogfile
constexpr int kMaster           = tags::vxo_master;                  // vxo_master
constexpr int kSumAlarmReset    = tags::vxo_sumalarmreset;           // vxo_sumalarmreset
constexpr int kMasterSync       = 163;                              // vxo_mastersync
constexpr int kErrLogSize       = tags::vxi_errlogsize;              // vxi_errlogsize
constexpr int kHeartbeat        = 480;                              // vxi_heartbeat
constexpr int kRatioSecCurr     = tags::vxo_ratioseccurr;            // vxo_ratioseccurr
constexpr int kDateTag          = tags::vxo_date;                    // vxo_date
constexpr int kSecondsOfDay     = internal::kSecondsOfDay;          // seconds since midnight
constexpr int kModbusLogLimit   = internal::kModbusLogLimit;        // Modbus log size limit, KB
constexpr int kModbusPollRate   = 1127;                             // vxi_modbuspollrate, requests per 10 s
constexpr int kModbusRequests   = 1128;                             // Modbus request counter
constexpr int kIdleCurrentLimit = internal::kMaxIdleCurrent;        // maximum idle current, mA
constexpr int kModbusRefresh    = internal::kModbusRefreshCounter;  // register server synchronisation counter

constexpr int kMasterSyncSecond = 86340;     // 23:59:00
constexpr int kHeartbeatStuckSeconds = 10;

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}
int tag(int handle) { return dbReadValueByHandle(handle); }

}  // namespace

bool updateDateTag(Daemon&) {
  date(kDateTag);
  return false;
}

bool requestMasterSync(Daemon&) {
  if (tag(kSecondsOfDay) == kMasterSyncSecond && tag(kMaster) == 1) setTag(kMasterSync, 1);
  return false;
}

bool countModbusRefresh(Daemon&) {
  dbIncrementByHandle(kModbusRefresh);
  return false;
}

bool flagErrorsInLogFile(Daemon&) {
  setTag(kErrorsInLogFile, tag(kErrLogSize) != 0 ? 1 : 0);
  return false;
}

bool saveOnRequest(Daemon& daemon) {
  checkSaveSettings(daemon);
  return false;
}

bool restoreDefaultsOnRequest(Daemon&) { return checkSetDefaults(); }

bool restartDspOnRequest(Daemon& daemon) { return restartDspCheck(daemon); }

bool reportUnsavedSettings(Daemon&) {
  setTag(kSetNoChange, checkForModifications() ? 1 : 0);
  return false;
}

namespace {

constexpr int kSecondsPerDay = 86400;
// A loop slower than the clock steps over a second now and then; a longer step is the clock
// being set, whose skipped seconds are not worth catching up.
constexpr int kLongestCatchUpSeconds = 60;

// Seconds of the day that slot 19 has not yet served, counting back from now.
int unservedSeconds(int lastServed, int now) {
  if (lastServed < 0) return 1;
  const int step = (now - lastServed + kSecondsPerDay) % kSecondsPerDay;
  return step > kLongestCatchUpSeconds ? 1 : step;
}

bool dueWithin(const ClockTask& task, int now, int seconds) {
  for (int back = 0; back < seconds; ++back) {
    if ((now - back + kSecondsPerDay) % kSecondsPerDay % task.period == task.phase) return true;
  }
  return false;
}

}  // namespace

// Each task runs once for its second, also when a slow loop stepped over that second.
bool runClockTasks(Daemon& daemon) {
  const int now = tag(kSecondsOfDay);
  const int seconds = unservedSeconds(daemon.lastClockSecond, now);
  daemon.lastClockSecond = now;
  bool work = false;
  for (const ClockTask& task : clockSchedule()) {
    if (dueWithin(task, now, seconds)) work = task.run(daemon) || work;
  }
  return work;
}

bool handleHeartBeat(Daemon& daemon) {
  if (tag(kHeartbeat) != 1) {
    daemon.heartbeatSeconds = 0;
    return false;
  }
  daemon.heartbeatSeconds = std::min(daemon.heartbeatSeconds + 1, kHeartbeatStuckSeconds + 1);
  if (daemon.heartbeatSeconds != kHeartbeatStuckSeconds) return false;
  resetDSPreadings();
  return true;
}

bool runSignalTest(Daemon& daemon) {
  signalTestStateLoop(daemon.signalTest);
  return false;
}

bool restartScopeOnRequest(Daemon& daemon) {
  scopeGrabReset(daemon);
  return false;
}

bool countAlarmReset(Daemon& daemon) {
  int& counter = daemon.alarmResetCounter;
  if (tag(kSumAlarmReset) == 1 && counter == 0) {
    counter = -1;
  } else if (counter != -1 && counter != 0) {
    --counter;
  }
  return false;
}

bool writeHardwareClock(Daemon&) {
  orvix::platform::runShellCommand("hwclock -w");
  return true;
}

bool checkModbusLogSize(Daemon& daemon) {
  const int limitKb = tag(kModbusLogLimit);
  if (limitKb == 0) return false;
  orvix::platform::ShellCommand command;
  command.format("if [ $( du -b %s --block-size=1K | cut -f 1 ) -gt %d ]; then echo stop; fi",
                 orvix::platform::shellQuote(orvix::platform::resolvePath(daemon.path.modbusLog)).c_str(), limitKb);
  char answer[orvix::platform::kShellLineSize] = {};
  int exitStatus = 0;
  if (command.fits() && orvix::platform::readShellCommand(command.text(), answer, sizeof answer, &exitStatus) &&
      std::strcmp(answer, "stop") == 0) {
    std::printf("stop modbus logging maximum filesize is reached %s %d \n", daemon.path.modbusLog, limitKb);
    setTag(kModbusLogLimit, 0);
  }
  return true;
}

bool updateIdleCurrentLimit(Daemon& daemon) {
  setTag(kIdleCurrentLimit, (tag(kRatioSecCurr) * daemon.maxIdleCurrent + 500) / 1000);
  return false;
}

bool takeModbusPollRate(Daemon&) {
  setTag(kModbusPollRate, tag(kModbusRequests));
  setTag(kModbusRequests, 0);
  return false;
}
