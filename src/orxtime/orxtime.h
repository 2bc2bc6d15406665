// The unit's time module: the system clock, the packed date and time words that every
// date and time tag carries, setting the clock, the time zones and network time sync.
#pragma once

#include <cstddef>
#include <ctime>

// Packed time: hours << 24 | minutes << 16 | seconds << 8 (low byte 0).
// Packed date: ((year mod 100) + 100) << 16 | month << 8 | day.

constexpr int timezoneCount = 347;
constexpr int kOrxDateTextSize = 12;  // "%03d-%02d-%02d" and its terminator

// The local time of the system clock (full year, month 1..12).
void getCurrentSystemTime(int* hour, int* minute, int* second);
void getCurrentSystemDate(int* year, int* month, int* day);

int convertTimeToOrxValue(int hours, int minutes, int seconds);
// A year above 9999 prints "Invalid year" and packs 99 in the year field.
int convertDateToOrxValue(int year, int month, int day);
// year mod 100; -1 (with "Invalid year") above 9999.
int stripCentury(int year);

// Packed words from decimal texts; -1 when a text is not a number in its field's range.
int timeStringToSeconds(const char* hour, const char* minute, const char* second);
// A year above 9999 packs as convertDateToOrxValue packs it (99, "Invalid year").
int dateStringToInteger(const char* year, const char* month, const char* day);

// "hh:mm:ss"; nothing when the buffer is missing or empty.
void convertOrxtimeToTimeString(int orxTime, char* buffer, size_t size);
// "yyy-mm-dd" with the stored year field (100..199) into a buffer of kOrxDateTextSize.
void dateToORXDateString(int orxDate, char* buffer);
// "20yy-mm-dd".
void dateToDateString(int orxDate, char* buffer, size_t size);

// Set the system clock through "date -s", keeping the time of day, respectively the date.
void setSystemDate(int year, int month, int day);
void setSystemTime(int hour, int minute, int second);

// The zone name of an index 0..346, null outside.
const char* getTimezoneByIndex(int index);
// The whole table, timezoneCount names.
const char* const* timezones();

// Applies a complete time setting: zone, date and time, hardware clock, network sync.
void updateSystemTimeSettings(int newTime, int newDate, int locale, int sync, int ntpip);
// Writes "/etc/systemd/timesyncd.conf" (NTP line active for sync 2, commented out for 0
// and 1) and starts or stops the sync service; -1 when the file cannot be written.
int updateTimeSyncDConfigFile(int sync, int ntpip);

namespace orxtime {

// Where the local time comes from; null restores the system clock. Tests fix the clock.
using ClockSource = std::tm (*)();
void setClockSource(ClockSource source);

}  // namespace orxtime
