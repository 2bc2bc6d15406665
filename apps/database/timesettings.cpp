#include "timesettings.h"

#include <cstdio>

#include "orxtags/handles.h"
#include "orxtime/orxtime.h"
#include "sharedmem/tagaccess.h"

namespace {

// clang-format off
// Tags by handle
constexpr int kDateTag       = tags::vxo_date;  // vxo_date, packed date
constexpr int kTimeTag       = tags::vxo_time;  // vxo_time, packed time
constexpr int kNtpServer     = 925;            // vxo_ntpserverip, network byte order
constexpr int kTimeSyncOpt   = 927;            // vxo_timesyncopt: 0, 1 manual, 2 NTP
constexpr int kTimeSyncApply = 928;            // vxo_timesyncapply
constexpr int kLocale        = 930;            // vxo_locale, time-zone index
constexpr int kNewTime       = 931;            // vxo_newtime, packed time
constexpr int kNewDate       = 932;            // vxo_newdate, packed date
constexpr int kNewTimeSet    = 933;            // vxo_newtimeset
// clang-format on

constexpr int kSyncNtp        = 2;
constexpr int kFirstYearField = 100;  // packed year field of 2000
constexpr int kLastYearField  = 199;

int tag(int handle) { return dbReadValueByHandle(handle); }
void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

bool isPackedTime(int packed) {
  const int hours   = (packed >> 24) & 255;
  const int minutes = (packed >> 16) & 255;
  const int seconds = (packed >> 8) & 255;
  return packed >= 0 && (packed & 255) == 0 && hours < 24 && minutes < 60 && seconds < 60;
}

bool isPackedDate(int packed) {
  static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int yearField                 = packed >> 16;
  const int month                     = (packed >> 8) & 255;
  const int day                       = packed & 255;
  if (yearField < kFirstYearField || yearField > kLastYearField || month < 1 || month > 12 || day < 1) return false;
  const int year  = 1900 + yearField;
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return day <= kDaysInMonth[month - 1] && (month != 2 || day <= 28 || leap);
}

}  // namespace

bool applyTimeSettings(bool newClock) {
  const int newTime = newClock ? tag(kNewTime) : tag(kTimeTag);
  const int newDate = newClock ? tag(kNewDate) : tag(kDateTag);
  const int locale  = tag(kLocale);
  const int sync    = tag(kTimeSyncOpt);
  const int server  = tag(kNtpServer);
  if (!isPackedTime(newTime) || !isPackedDate(newDate)) {
    std::printf("time settings refused: time 0x%08X or date 0x%06X is not a valid time and date\n",
                static_cast<unsigned>(newTime), static_cast<unsigned>(newDate));
    return false;
  }
  if (getTimezoneByIndex(locale) == nullptr) {
    std::printf("time settings refused: no time zone %d\n", locale);
    return false;
  }
  if (sync < 0 || sync > kSyncNtp) {
    std::printf("time settings refused: no time sync option %d\n", sync);
    return false;
  }
  if (sync == kSyncNtp && server == 0) {
    std::printf("time settings refused: network time sync without an NTP server\n");
    return false;
  }
  updateSystemTimeSettings(newTime, newDate, locale, sync, server);
  return true;
}

bool applyTimeRequest(Daemon&) {
  const bool newClock = tag(kNewTimeSet) == 1;
  if (!newClock && tag(kTimeSyncApply) != 1) return false;
  setTag(kNewTimeSet, 0);
  setTag(kTimeSyncApply, 0);
  applyTimeSettings(newClock);
  return true;
}
