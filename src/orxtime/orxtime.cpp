#include "orxtime/orxtime.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "atomicfile/atomicfile.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace {

constexpr int kLargestYear = 9999;
constexpr int kInvalidYearField = 99;    // year field packed for a year above 9999
constexpr int kYearFieldOffset = 100;    // the year field holds (year mod 100) + 100
constexpr const char* kTimesyncdConfigPath = "/etc/systemd/timesyncd.conf";

// The text of "/etc/systemd/timesyncd.conf": "#" to comment the NTP line out, the server.
constexpr const char* TIMESYNCD_CONFIG =
    "[Time]\n"
    "%sNTP=%s\n"
    "#FallbackNTP=0.pool.ntp.org 1.pool.ntp.org 2.pool.ntp.org 3.pool.ntp.org\n"
    "#RootDistanceMaxSec=5\n"
    "#PollIntervalMinSec=32\n"
    "#PollIntervalMaxSec=2048\n";

enum TimeSync : int {
  kSyncOff = 0,
  kSyncManual = 1,
  kSyncNtp = 2,
};

orxtime::ClockSource clockSource = nullptr;

std::tm localNow() {
  if (clockSource != nullptr) return clockSource();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// A decimal text within [low, high]; false for anything else.
bool parseField(const char* text, int low, int high, int* value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  *value = static_cast<int>(parsed);
  return true;
}

int packedHours(int orxTime) { return (orxTime >> 24) & 0xFF; }
int packedMinutes(int orxTime) { return (orxTime >> 16) & 0xFF; }
int packedSeconds(int orxTime) { return (orxTime >> 8) & 0xFF; }
int packedYearField(int orxDate) { return (orxDate >> 16) & 0xFF; }
int packedMonth(int orxDate) { return (orxDate >> 8) & 0xFF; }
int packedDay(int orxDate) { return orxDate & 0xFF; }

bool runDateCommand(int year, int month, int day, int hour, int minute, int second) {
  orvix::platform::ShellCommand command;
  command.format("date -s '%04d-%02d-%02d %02d:%02d:%02d'", year, month, day, hour, minute, second);
  return orvix::platform::runShellCommand(command) != -1;
}

}  // namespace

namespace orxtime {
void setClockSource(ClockSource source) { clockSource = source; }
}  // namespace orxtime

void getCurrentSystemTime(int* hour, int* minute, int* second) {
  const std::tm local = localNow();
  *hour = local.tm_hour;
  *minute = local.tm_min;
  *second = local.tm_sec;
}

void getCurrentSystemDate(int* year, int* month, int* day) {
  const std::tm local = localNow();
  *year = local.tm_year + 1900;
  *month = local.tm_mon + 1;
  *day = local.tm_mday;
}

int convertTimeToOrxValue(int hours, int minutes, int seconds) {
  return (hours << 24) | (minutes << 16) | (seconds << 8);
}

int stripCentury(int year) {
  if (year > kLargestYear) {
    std::printf("Invalid year: %d\n", year);
    return -1;
  }
  return year % 100;
}

int convertDateToOrxValue(int year, int month, int day) {
  const int century = stripCentury(year);
  const int yearField = century < 0 ? kInvalidYearField : century + kYearFieldOffset;
  return (yearField << 16) | (month << 8) | day;
}

int timeStringToSeconds(const char* hour, const char* minute, const char* second) {
  int h = 0;
  int m = 0;
  int s = 0;
  // A field out of its range would spill into the next byte of the packed word.
  if (!parseField(hour, 0, 23, &h) || !parseField(minute, 0, 59, &m) || !parseField(second, 0, 59, &s)) return -1;
  return convertTimeToOrxValue(h, m, s);
}

int dateStringToInteger(const char* year, const char* month, const char* day) {
  int y = 0;
  int m = 0;
  int d = 0;
  // A year above 9999 is no parse error: the packing reports it and writes 99.
  if (!parseField(year, 0, INT_MAX, &y) || !parseField(month, 1, 12, &m) || !parseField(day, 1, 31, &d)) return -1;
  return convertDateToOrxValue(y, m, d);
}

void convertOrxtimeToTimeString(int orxTime, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  std::snprintf(buffer, size, "%02d:%02d:%02d", packedHours(orxTime), packedMinutes(orxTime), packedSeconds(orxTime));
}

void dateToORXDateString(int orxDate, char* buffer) {
  if (buffer == nullptr) return;
  std::snprintf(buffer, kOrxDateTextSize, "%03d-%02d-%02d", packedYearField(orxDate), packedMonth(orxDate),
                packedDay(orxDate));
}

void dateToDateString(int orxDate, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  const int year = packedYearField(orxDate) - kYearFieldOffset;
  const int month = packedMonth(orxDate);
  const int day = packedDay(orxDate);
  std::snprintf(buffer, size, "20%02d-%02d-%02d", year, month, day);
  std::printf("[DEBUG] Date string %02d-%02d-%02d\33[0m\n", year, month, day);
  std::printf("[DEBUG] \33[31mdatetostring y:%d m:%d  d:%d %d %s  \33[0m\n", year, month, day, orxDate, buffer);
}

void setSystemDate(int year, int month, int day) {
  int hour = 0;
  int minute = 0;
  int second = 0;
  getCurrentSystemTime(&hour, &minute, &second);
  if (!runDateCommand(year, month, day, hour, minute, second)) {
    std::perror("Error setting system date and time");
    return;
  }
  std::printf("System date and time set to %04d-%02d-%02d %02d:%02d:%02d\n", year, month, day, hour, minute, second);
}

void setSystemTime(int hour, int minute, int second) {
  int year = 0;
  int month = 0;
  int day = 0;
  getCurrentSystemDate(&year, &month, &day);
  if (!runDateCommand(year, month, day, hour, minute, second)) {
    std::perror("Error setting system time");
    return;
  }
  std::printf("System time set to %04d-%02d-%02d %02d:%02d:%02d\n", year, month, day, hour, minute, second);
}

void updateSystemTimeSettings(int newTime, int newDate, int locale, int sync, int ntpip) {
  using orvix::platform::ShellCommand;
  const char* zone = getTimezoneByIndex(locale);
  if (zone != nullptr) {
    std::printf("[DEBUG] \33[32mTIMEZONE FOUND %s\33[0m\n", zone);
    ShellCommand setZone;
    setZone.format("timedatectl set-timezone %s", orvix::platform::shellQuote(zone).c_str());
    orvix::platform::runShellCommand(setZone);
  } else {
    // An unknown index leaves the zone as it is rather than naming no zone at all.
    std::printf("[DEBUG] \33[31mTIMEZONE %d UNKNOWN\33[0m\n", locale);
  }
  char timeText[16];
  char dateText[16];
  convertOrxtimeToTimeString(newTime, timeText, sizeof timeText);
  dateToDateString(newDate, dateText, sizeof dateText);
  std::printf("[DEBUG] \33[31mNEW DATE %s\33[0m\n", dateText);
  ShellCommand setDate;
  setDate.format("date -s '%s %s'", dateText, timeText);
  std::printf("[DEBUG] \33[32mSetting %s\33[0m\n", setDate.text());
  orvix::platform::runShellCommand(setDate);
  orvix::platform::runShellCommand("hwclock --systohc");
  updateTimeSyncDConfigFile(sync, ntpip);
}

int updateTimeSyncDConfigFile(int sync, int ntpip) {
  in_addr server{};
  server.s_addr = static_cast<in_addr_t>(ntpip);
  char address[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &server, address, sizeof address);

  char config[512] = {};
  const char* serviceCommand = nullptr;
  if (sync == kSyncNtp) {
    std::snprintf(config, sizeof config, TIMESYNCD_CONFIG, "", address);
    serviceCommand = "systemctl start systemd-timesyncd";
  } else if (sync == kSyncOff || sync == kSyncManual) {
    std::snprintf(config, sizeof config, TIMESYNCD_CONFIG, "#", address);
    serviceCommand = "systemctl stop systemd-timesyncd";
  }
  if (serviceCommand != nullptr) {
    if (!orvix::writeFileAtomically(orvix::platform::resolvePath(kTimesyncdConfigPath), config)) {
      std::perror("Error opening the file");
      return -1;
    }
    orvix::platform::runShellCommand(serviceCommand);
  }
  std::printf("[DEBUG] \33[31mUPDATE TIMESYNCD CONFIG FILE\n %s\33[0m\n", config);
  return 0;
}
