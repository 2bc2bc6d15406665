#include "statistics.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "atomicfile/atomicfile.h"
#include "orxtags/handles.h"
#include "platform/platform.h"
#include "sharedmem/tagaccess.h"

namespace {

// clang-format off
// Tags by handle
constexpr int kSumAlarmTrip = tags::vxi_sumalarmtrip;      // vxi_sumalarmtrip
constexpr int kTronStatus   = tags::vxi_tronstatus;        // vxi_tronstatus
constexpr int kActPower     = 222;                        // vxi_actpower, 0.1 kW
constexpr int kSecondsOfDay = internal::kSecondsOfDay;    // seconds since midnight

// The counters in the order of the statistics file's fields.
// handle  name
constexpr int kCounters[kStatisticsFields] = {
    397,   // vxi_uptime, min
    398,   // vxi_accintriptime, min
    399,   // vxi_acctrontime, min
    405,   // vxi_acckwh, 0.1 kWh
    400,   // vxi_acciogr1, min
    401,   // vxi_acciogr2, min
    402,   // vxi_acciogr3, min
    403,   // vxi_acciogr4, min
    404,   // vxi_acciogr5, min
};
constexpr int kUpTime     = kCounters[0];
constexpr int kInTripTime = kCounters[1];
constexpr int kTronTime   = kCounters[2];
constexpr int kEnergy     = kCounters[3];
// Each I/O group's output and its minutes counter
constexpr int kGroupOutputs[kIoGroups] = {49,  51,  53,  55,  57};   // vxi_iogr1outp .. vxi_iogr5outp
constexpr int kGroupMinutes[kIoGroups] = {400, 401, 402, 403, 404};  // vxi_acciogr1 .. vxi_acciogr5
// clang-format on

constexpr int kMinuteSecond           = 30;    // the second of each minute at which minutes count
constexpr long kPowerSecondsPerUnit   = 3600;  // 0.1 kW·s per 0.1 kWh
constexpr int kSecondsPerMinute       = 60;
constexpr const char* kStatisticsFile = "/home/ftp/statistics";
constexpr const char* kBackupName     = "statistics.bak";

int tag(int handle) { return dbReadValueByHandle(handle); }
void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

std::string backupPath(const Daemon& daemon) { return std::string(daemon.path.store) + kBackupName; }

StatisticsRecord readStatisticsFile(const std::string& unitPath) {
  std::ifstream file(orvix::platform::resolvePath(unitPath));
  std::string line;
  if (!file || !std::getline(file, line)) return {};
  return parseStatisticsLine(line);
}

bool writeStatisticsFile(const std::string& unitPath, const std::string& line) {
  if (orvix::writeFileAtomically(orvix::platform::resolvePath(unitPath), line)) return true;
  std::fprintf(stderr, "cannot write %s: %s\n", unitPath.c_str(), std::strerror(errno));
  return false;
}

}  // namespace

StatisticsRecord parseStatisticsLine(std::string_view line) {
  StatisticsRecord record;
  std::string rest(line);
  const char* cursor = rest.c_str();
  for (int field = 0; field < kStatisticsFields; ++field) {
    char* end          = nullptr;
    errno              = 0;
    const long value   = std::strtol(cursor, &end, 10);
    const bool counted = end != cursor && errno == 0 && value >= 0 && value <= INT32_MAX &&
                         (*end == ';' || *end == '\0' || *end == '\r' || *end == '\n');
    if (!counted) break;
    record[field] = value;
    if (*end != ';') break;
    cursor = end + 1;
  }
  return record;
}

void updateStatistics(Daemon& daemon) {
  StatisticsCounters& counters = daemon.statistics;
  counters.powerSeconds += tag(kActPower);
  if (tag(kSecondsOfDay) % kSecondsPerMinute == kMinuteSecond) {
    dbIncrementByHandle(kUpTime);
    if (tag(kSumAlarmTrip) == 1) dbIncrementByHandle(kInTripTime);
    if (tag(kTronStatus) == 1) dbIncrementByHandle(kTronTime);
    setTag(kEnergy, tag(kEnergy) + static_cast<int>(counters.powerSeconds / kPowerSecondsPerUnit));
    counters.powerSeconds %= kPowerSecondsPerUnit;
    saveStatistics(daemon);
  }
  for (int group = 0; group < kIoGroups; ++group) {
    if (tag(kGroupOutputs[group]) != 1) continue;
    if (++counters.outputSeconds[group] >= kSecondsPerMinute) {
      dbIncrementByHandle(kGroupMinutes[group]);
      counters.outputSeconds[group] -= kSecondsPerMinute;
    }
  }
}

void loadStatistics(Daemon& daemon) {
  const StatisticsRecord first  = readStatisticsFile(kStatisticsFile);
  const StatisticsRecord backup = readStatisticsFile(backupPath(daemon));
  for (int field = 0; field < kStatisticsFields; ++field) {
    const long value = std::max(first[field].value_or(0), backup[field].value_or(0));
    if (first[field] || backup[field]) setTag(kCounters[field], static_cast<int>(value));
  }
}

bool saveStatistics(const Daemon& daemon) {
  std::string line;
  for (int field = 0; field < kStatisticsFields; ++field) {
    if (field > 0) line += ';';
    line += std::to_string(tag(kCounters[field]));
  }
  line += '\n';
  // The backup follows the file, so one of the two always holds the last minute whole.
  const bool saved = writeStatisticsFile(kStatisticsFile, line);
  return writeStatisticsFile(backupPath(daemon), line) && saved;
}

bool countStatistics(Daemon& daemon) {
  updateStatistics(daemon);
  return false;
}
