#include "orxtags/handles.h"
#include "orxtime/clocktags.h"

#include <cstdio>

#include "orxtime/orxtime.h"
#include "sharedmem/tagaccess.h"

namespace {

constexpr int kDateTag      = tags::vxo_date;            // vxo_date
constexpr int kSecondsOfDay = internal::kSecondsOfDay;  // seconds since midnight
constexpr int kDateWord     = internal::kDateWord;      // year * 10000 + month * 100 + day
constexpr int kTimeWord     = internal::kTimeWord;      // hours * 10000 + minutes * 100 + seconds

bool debugLines = false;
int previousPackedTime = -1;

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

}  // namespace

namespace orxtime {
void setClockDebugLines(bool on) { debugLines = on; }
}  // namespace orxtime

bool cust_time(int timeHandle) {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  getCurrentSystemTime(&hours, &minutes, &seconds);
  const int packed = convertTimeToOrxValue(hours, minutes, seconds);
  setTag(timeHandle, packed);
  if (debugLines) std::printf("[DEBUG] Current Time: %02d:%02d:%02d\n\33[0m\n", hours, minutes, seconds);
  if (packed == previousPackedTime) return false;
  previousPackedTime = packed;
  const int secondsOfDay = hours * 3600 + minutes * 60 + seconds;
  if (secondsOfDay == 0) date(kDateTag);
  setTag(kSecondsOfDay, secondsOfDay);
  setTag(kTimeWord, hours * 10000 + minutes * 100 + seconds);
  return true;
}

void date(int dateHandle) {
  int year = 0;
  int month = 0;
  int day = 0;
  getCurrentSystemDate(&year, &month, &day);
  setTag(dateHandle, convertDateToOrxValue(year, month, day));
  setTag(kDateWord, year * 10000 + month * 100 + day);
}
