// The alarm log file and the alarm log setup file: the line format of a history entry,
// its reader, and the parsers of a setup line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace alarmlog {

// One history entry, as held in memory and stored as one log line.
struct error {
  bool found;        // set by the reader when a stored entry was found
  int cause;         // alarm code; 0 marks an empty entry
  int date;          // packed date: ((year mod 100) + 100) << 16 | month << 8 | day
  int time;          // packed time: hours << 24 | minutes << 16 | seconds << 8
  int commonCode;    // the unit's status word at the moment of the alarm
  int specificCode;  // internal tag 1121 at the moment of the alarm
  int userValue1;    // first logged tag of this alarm, or 0
  int userValue2;    // second logged tag of this alarm, or 0
};

constexpr size_t kLogLineSize = 128;  // longest log line with its terminator

// "errNo%02d=..." for entry index 0..99, newline included; the length written.
int formatErrorLine(int index, const error& entry, char (&line)[kLogLineSize]);

// The fields of a log line after its key (the text from "=" on). False when the line
// has no "=".
bool parseErrorLine(const char* line, error* value);

// Reads the entry stored under key (e.g. "errNo07") from the log at the unit path
// filePath. False, with value all zero, when the key is empty or not in the file.
bool getErrorHistory(const char* filePath, const char* tag, error* value);

constexpr size_t kSetupNameSize = 64;  // longer names are cut; no tag name is that long

// The handle of the alarm named before "=" (spaces dropped); -1 when empty or unknown.
int getAlarmHandle(const char* line);

// The names after "=": up to the first "," into string1, the rest into string2 (spaces
// and commas dropped, each cut to kSetupNameSize - 1). How many names were found, 0..2.
int getStrings(const char* line, char (&string1)[kSetupNameSize], char (&string2)[kSetupNameSize]);

}  // namespace alarmlog
