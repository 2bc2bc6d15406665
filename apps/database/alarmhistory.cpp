#include "orxtags/handles.h"
#include "alarmhistory.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "alarms.h"
#include "atomicfile/atomicfile.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "sharedmem/tagaccess.h"

namespace {

using alarmlog::error;
using orvix::platform::resolvePath;

constexpr const char* kProgressFlag      = "/home/root/AL_PROGRESS";  // a log write is under way
constexpr const char* kArchiveDateScript = "/var/lib/orvix/date.sh";
constexpr int kAlarmResetPasses          = 25;  // passes before another reset is acted on
constexpr int kPublishedEntries          = 10;
constexpr int kTopErrors                 = 10;

// Tags by handle
constexpr int kSumAlarm          = tags::vxi_sumalarm;             // vxi_sumalarm
constexpr int kSumAlarmTrip      = tags::vxi_sumalarmtrip;         // vxi_sumalarmtrip
constexpr int kSumAlarmWarning   = tags::vxi_sumalarmwarning;      // vxi_sumalarmwarning
constexpr int kErrorsInLogFile   = tags::vxi_errorsinlogfile;      // vxi_errorsinlogfile
constexpr int kClearHistory      = tags::vxo_clearhistory;         // vxo_clearhistory
constexpr int kHistoryNr1        = 294;                           // vxi_alhistory1nr .. vxi_alhistory10nr
constexpr int kHistoryDate1      = 306;                           // vxi_alhistory1date, then time, date, time ..
constexpr int kTopErrorNr1       = 374;                           // vxi_toperror1nr .. vxi_toperror10nr
constexpr int kTopErrorCount1    = 384;                           // vxi_toperror1count .. vxi_toperror10count
constexpr int kErrLogSinceDate   = 394;                           // vxi_errlogsincedate
constexpr int kErrLogSinceTime   = 395;                           // vxi_errlogsincetime
constexpr int kErrLogSize        = tags::vxi_errlogsize;           // vxi_errlogsize
constexpr int kCommonStatus      = tags::vxi_commonstatus;         // vxi_commonstatus
constexpr int kDateTag           = tags::vxo_date;                 // vxo_date
constexpr int kTimeTag           = tags::vxo_time;                 // vxo_time
constexpr int kSecondsOfDay      = internal::kSecondsOfDay;       // seconds since midnight
constexpr int kAlarmSpecificCode = internal::kAlarmSpecificCode;  // specific code of the next entry
constexpr int kTimeWord          = internal::kTimeWord;           // hours * 10000 + minutes * 100 + seconds

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}
int tag(int handle) { return dbReadValueByHandle(handle); }

int tagHandleOf(const char* name) {
  int handle = -1;
  int code   = 0;
  if (name[0] == '\0' || !dbGetHandleByTagname(name, &handle, &code)) {
    std::printf("alarm log setup: tag not found %s\n", name);
    return -1;
  }
  return handle;
}

bool isBlankOrComment(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t\r");
  return first == std::string::npos || line[first] == '#';
}

// Moves a file, also across file systems; false with errno-like text in why.
bool moveFile(const std::string& from, const std::string& to, std::string* why) {
  std::error_code failure;
  std::filesystem::rename(from, to, failure);
  if (!failure) return true;
  if (failure != std::errc::cross_device_link) {
    *why = failure.message();
    return false;
  }
  if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, failure) ||
      !std::filesystem::remove(from, failure)) {
    *why = failure.message();
    return false;
  }
  return true;
}

// The backup becomes a second name of the present log (a copy where the file system has
// no links), put in place by one rename: the log itself never leaves its place.
bool keepAsBackup(const std::string& log, const std::string& backup) {
  const std::string staged = backup + ".new";
  std::error_code failure;
  std::filesystem::remove(staged, failure);
  std::filesystem::create_hard_link(log, staged, failure);
  if (failure) std::filesystem::copy_file(log, staged, failure);
  if (!failure) std::filesystem::rename(staged, backup, failure);
  return !failure;
}

// Two clears within one second name the same archive: the later one takes the next free
// name, so that no archive is ever overwritten.
std::string freeArchiveName(const std::string& name) {
  std::string candidate = name;
  std::error_code ignored;
  for (int next = 2; std::filesystem::exists(resolvePath(candidate), ignored); ++next) {
    candidate = name + "-" + std::to_string(next);
  }
  return candidate;
}

}  // namespace

AlarmHistory::AlarmHistory() {
  logOnAlarmHandle1_.fill(-1);
  logOnAlarmHandle2_.fill(-1);
}

int AlarmHistory::inUse() const {
  int count = 0;
  while (count < kEntries && errHistory_[static_cast<size_t>(count)].cause != 0) ++count;
  return count;
}

bool AlarmHistory::maintainAlarmHistory(bool reset) {
  if (!init_) {
    lastErrors_.fill(false);
    init_ = true;
  }
  if (!reset) {
    int newAlarm = -1;
    for (const int handle : alarmScanOrder()) {
      const bool active = dbIsEqual(handle, 1);  // every tag of the order is read each call
      if (active && newAlarm < 0 && !lastErrors_[static_cast<size_t>(handle)]) newAlarm = handle;
    }
    if (newAlarm >= 0) record(newAlarm);
  }
  for (int handle = 0; handle < kWatchedHandles; ++handle) {
    bool& logged = lastErrors_[static_cast<size_t>(handle)];
    if (logged && (reset || dbIsEqual(handle, 0))) logged = false;
  }
  return false;
}

int AlarmHistory::loggedValue(int tagHandle) const { return tagHandle < 0 ? 0 : tag(tagHandle); }

void AlarmHistory::record(int alarmHandle) {
  lastErrors_[static_cast<size_t>(alarmHandle)] = true;
  setTag(kSumAlarm, 1);
  switch (alarmClassOf(alarmHandle)) {
    case AlarmClass::warning:
      setTag(kSumAlarmWarning, 1);
      break;
    case AlarmClass::trip:
      setTag(kSumAlarmTrip, 1);
      break;
    case AlarmClass::none:
      break;
  }

  for (int index = kEntries - 1; index > 0; --index) {
    errHistory_[static_cast<size_t>(index)] = errHistory_[static_cast<size_t>(index - 1)];
  }
  updateShmFromErrorHistory();

  error& newest       = errHistory_[0];
  newest              = error{};
  newest.cause        = lookUpAlarmCode(alarmHandle);
  newest.commonCode   = tag(kCommonStatus);
  newest.specificCode = tag(kAlarmSpecificCode);
  newest.userValue1   = loggedValue(logOnAlarmHandle1_[static_cast<size_t>(alarmHandle)]);
  newest.userValue2   = loggedValue(logOnAlarmHandle2_[static_cast<size_t>(alarmHandle)]);
  newest.time         = tag(kTimeTag);
  if (newest.time == 0) {
    std::printf("ALARM TIME 0 ----------------------------------------- time %d %d %d\n", 0, tag(kTimeTag),
                tag(kTimeWord));
  }
  newest.date = tag(kDateTag);

  setTag(kHistoryNr1, newest.cause);
  setTag(kHistoryDate1, newest.date);
  setTag(kHistoryDate1 + 1, newest.time);
  saveErrorHistory(files_.alarmLog.c_str());
}

bool AlarmHistory::saveErrorHistory(const char* filePath) {
  if (filePath[0] == '\0') {
    std::printf("no alarm log path configured\n");
    return false;
  }
  const std::string log    = resolvePath(filePath);
  const std::string backup = log + ".bak";
  std::error_code ignored;
  // A missing log (an earlier write failed) must not take the backup with it.
  if (std::filesystem::exists(log, ignored) && !keepAsBackup(log, backup)) {
    std::printf("cannot keep the alarm log backup %s\n", backup.c_str());
  }

  std::printf("--%s \n", "touch /home/root/AL_PROGRESS");
  orvix::platform::touchFile(kProgressFlag);
  std::string contents;
  char line[alarmlog::kLogLineSize];
  for (int index = 0; index < inUse(); ++index) {
    const int length = alarmlog::formatErrorLine(index, errHistory_[static_cast<size_t>(index)], line);
    contents.append(line, static_cast<size_t>(length));
  }
  if (!orvix::writeFileAtomically(log, contents)) {
    std::printf("cannot write the alarm log %s: %s\n", log.c_str(), std::strerror(errno));
    return false;
  }
  std::printf("--%s \n", "rm /home/root/AL_PROGRESS");
  orvix::platform::removeFile(kProgressFlag);
  return true;
}

int AlarmHistory::loadErrorHistory() {
  std::printf("loading error log\n");
  const std::string& log   = files_.alarmLog;
  const std::string backup = log + ".bak";
  std::string source       = log;
  if (orvix::platform::fileExists(kProgressFlag)) {
    std::printf("alarmlog was'nt saved correctly use backup file\n");
    if (orvix::platform::fileExists(backup)) source = backup;
  }
  if (!orvix::platform::fileExists(log)) {
    std::printf("no alarmLog file, check if the backup file is there !\n");
    if (orvix::platform::fileExists(backup)) {
      std::printf("it's there use alarmlog.bak\n");
      source = backup;
    }
  }

  clearEntries();
  int loaded = 0;
  for (; loaded < kEntries; ++loaded) {
    char key[16];
    std::snprintf(key, sizeof key, "errNo%02d", loaded);
    error stored{};
    if (!alarmlog::getErrorHistory(source.c_str(), key, &stored) || stored.cause == 0) break;
    errHistory_[static_cast<size_t>(loaded)] = stored;
  }
  updateShmFromErrorHistory();
  return loaded;
}

void AlarmHistory::updateShmFromErrorHistory() const {
  for (int index = 0; index < kPublishedEntries; ++index) {
    const error& entry = errHistory_[static_cast<size_t>(index)];
    setTag(kHistoryNr1 + index, entry.cause);
    setTag(kHistoryDate1 + 2 * index, entry.date);
    setTag(kHistoryDate1 + 2 * index + 1, entry.time);
  }
}

void AlarmHistory::updateErrorStatistics() const {
  for (int rank = 0; rank < kTopErrors; ++rank) {
    setTag(kTopErrorNr1 + rank, 0);
    setTag(kTopErrorCount1 + rank, 0);
  }
  const int size = inUse();
  std::array<int, kWatchedHandles> counts{};
  for (int index = 0; index < size; ++index) {
    ++counts[static_cast<size_t>(lookUpAlarmHandle(errHistory_[static_cast<size_t>(index)].cause))];
  }
  setTag(kErrLogSize, size);
  if (size == 0) {
    setTag(kErrLogSinceTime, 0);
    setTag(kErrLogSinceDate, 0);
    return;
  }
  const error& oldest = errHistory_[static_cast<size_t>(size - 1)];
  setTag(kErrLogSinceTime, oldest.time);
  setTag(kErrLogSinceDate, oldest.date);

  // Ties go to the lower handle.
  for (int rank = 0; rank < kTopErrors; ++rank) {
    int best      = -1;
    int bestCount = 0;
    for (int handle = 0; handle < kWatchedHandles; ++handle) {
      if (counts[static_cast<size_t>(handle)] > bestCount) {
        best      = handle;
        bestCount = counts[static_cast<size_t>(handle)];
      }
    }
    if (best < 0) break;
    setTag(kTopErrorNr1 + rank, lookUpAlarmCode(best));
    setTag(kTopErrorCount1 + rank, bestCount);
    counts[static_cast<size_t>(best)] = -1;
  }
}

void AlarmHistory::clearAndStoreErrorHistory() {
  char dateText[orvix::platform::kShellLineSize] = {};
  exec_shell_command(orvix::platform::shellQuote(resolvePath(kArchiveDateScript)).c_str(), dateText);
  // The date text names a file; it must not lead into another directory.
  for (char* c = dateText; *c != '\0'; ++c) {
    if (*c == '/') *c = '_';
  }
  const std::string archive =
      freeArchiveName(files_.storeDirectory + "aL" + dateText + "-" + std::to_string(tag(kSecondsOfDay)));
  const std::string log     = resolvePath(files_.alarmLog);
  std::error_code ignored;
  std::string why;
  if (std::filesystem::exists(log, ignored) && !moveFile(log, resolvePath(archive), &why)) {
    // The operator's history is kept rather than lost with a log that went nowhere.
    std::printf("cannot archive the alarm log to %s: %s\n", archive.c_str(), why.c_str());
    setTag(kClearHistory, 0);
    return;
  }
  if (!orvix::writeFileAtomically(log, "")) {
    std::printf("cannot write the alarm log %s: %s\n", log.c_str(), std::strerror(errno));
  }
  clearEntries();
  updateShmFromErrorHistory();
  updateErrorStatistics();
  updateAlarmLogVars();
  setTag(kClearHistory, 0);
  setTag(kErrorsInLogFile, 0);
}

void AlarmHistory::clearEntries() { errHistory_.fill(error{}); }

void AlarmHistory::updateAlarmLogVars() {
  // Entry 0 stands for no alarm and is never looked up.
  std::fill(logOnAlarmHandle1_.begin() + 1, logOnAlarmHandle1_.end(), -1);
  std::fill(logOnAlarmHandle2_.begin() + 1, logOnAlarmHandle2_.end(), -1);
  std::ifstream setup(resolvePath(files_.setup));
  std::string line;
  while (std::getline(setup, line)) {
    if (isBlankOrComment(line)) continue;
    const int alarmHandle = alarmlog::getAlarmHandle(line.c_str());
    if (alarmHandle < 0 || alarmHandle >= kSetupHandles) continue;
    char first[alarmlog::kSetupNameSize];
    char second[alarmlog::kSetupNameSize];
    const int names = alarmlog::getStrings(line.c_str(), first, second);
    if (names >= 1) logOnAlarmHandle1_[static_cast<size_t>(alarmHandle)] = tagHandleOf(first);
    if (names == 2) logOnAlarmHandle2_[static_cast<size_t>(alarmHandle)] = tagHandleOf(second);
  }
}

bool handleAlarms(int* AlarmReset, AlarmHistory& history) {
  if (*AlarmReset == -1) {
    *AlarmReset = kAlarmResetPasses;
    resetAlarms();
    return history.maintainAlarmHistory(true);
  }
  return history.maintainAlarmHistory(false);
}
