// The alarm history: the 100 newest alarms in memory (index 0 newest), mirrored in the
// alarm log after every new entry, published as tags, reloaded at start-up, and
// archived and cleared on the operator's request.
#pragma once

#include <array>
#include <string>
#include <utility>

#include "errorlog.h"

class AlarmHistory {
 public:
  static constexpr int kEntries        = 100;
  static constexpr int kSetupHandles   = 300;  // alarm handles the setup file may name
  static constexpr int kWatchedHandles = 100;  // alarm handles whose activity is tracked

  // Unit paths (resolved under the image at use).
  struct Files {
    std::string alarmLog;
    std::string storeDirectory;  // with its trailing "/"
    std::string setup;           // the alarm log setup file
  };

  AlarmHistory();
  void setFiles(Files files) { files_ = std::move(files); }

  // Twice a second: records the first newly active alarm of the scan order (at most one
  // per call) and forgets alarms that went inactive, or all of them after a reset.
  // Always false.
  bool maintainAlarmHistory(bool reset);

  // Writes the in-use entries to the log at the unit path; the previous log is kept as its
  // backup and stays in place until the new one replaces it. False when the log could not
  // be written (the flag file then stays, so that the next start takes the backup).
  bool saveErrorHistory(const char* filePath);

  // Start-up: fills the history from the alarm log, or from its backup when the last
  // write was interrupted or the log is missing, and publishes it. The entries loaded.
  int loadErrorHistory();

  void updateShmFromErrorHistory() const;  // entries 0..9 to the history tags
  void updateErrorStatistics() const;      // log size, age and the ten most frequent alarms
  void clearAndStoreErrorHistory();        // archives the log into the store directory, never over an archive
  void updateAlarmLogVars();               // which tags each alarm logs, from the setup file

  int inUse() const;
  const alarmlog::error& entry(int index) const { return errHistory_[static_cast<size_t>(index)]; }
  int logOnAlarmHandle1(int alarmHandle) const { return logOnAlarmHandle1_[static_cast<size_t>(alarmHandle)]; }
  int logOnAlarmHandle2(int alarmHandle) const { return logOnAlarmHandle2_[static_cast<size_t>(alarmHandle)]; }

 private:
  void record(int alarmHandle);
  int loggedValue(int tagHandle) const;
  void clearEntries();

  Files files_;
  std::array<alarmlog::error, kEntries> errHistory_{};
  std::array<int, kSetupHandles> logOnAlarmHandle1_;  // tag handle, -1 = none
  std::array<int, kSetupHandles> logOnAlarmHandle2_;
  std::array<bool, kWatchedHandles> lastErrors_{};  // logged and still active
  bool init_ = false;
};

// Twice a second with the loop's alarm-reset counter: -1 (a reset was requested) resets
// the alarms and re-arms the counter to 25 passes. The history's result.
bool handleAlarms(int* AlarmReset, AlarmHistory& history);
