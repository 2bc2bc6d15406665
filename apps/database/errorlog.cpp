#include "errorlog.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "sharedmem/tagaccess.h"

namespace alarmlog {

namespace {

constexpr int kYearOffset = 100;  // the packed date stores the year of the century + 100

// A log line's fields in the order they follow "=".
enum Field { kCause, kTime, kDate, kCommonCode, kSpecificCode, kUserValue1, kUserValue2, kFieldCount };

// A signed decimal field; digits beyond the int range are held at its bound.
struct Number {
  int64_t magnitude = 0;
  bool negative     = false;
  bool anyDigit     = false;
  void take(char c) {
    if (c == '-' && !anyDigit) negative = true;
    if (!std::isdigit(static_cast<unsigned char>(c))) return;
    anyDigit = true;
    if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (c - '0');
  }
  int value() const {
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX) return INT_MAX;
    if (signedValue < INT_MIN) return INT_MIN;
    return static_cast<int>(signedValue);
  }
};

// Six digits in three pairs (hh mm ss, or yy mm dd); other characters are skipped.
struct DigitPairs {
  int pair[3] = {0, 0, 0};
  int digits  = 0;
  void take(char c) {
    if (!std::isdigit(static_cast<unsigned char>(c)) || digits >= 6) return;
    pair[digits / 2] = pair[digits / 2] * 10 + (c - '0');
    ++digits;
  }
};

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The non-blank characters of [begin, end) into name, cut to its size.
void collectName(const char* begin, const char* end, char* name, size_t size) {
  size_t length = 0;
  for (const char* c = begin; c < end; ++c) {
    if (isBlank(*c) || *c == ',') continue;
    if (length + 1 < size) name[length++] = *c;
  }
  name[length] = '\0';
}

}  // namespace

int formatErrorLine(int index, const error& entry, char (&line)[kLogLineSize]) {
  const unsigned time = static_cast<unsigned>(entry.time);
  const unsigned date = static_cast<unsigned>(entry.date);
  const int length = std::snprintf(line, sizeof line, "errNo%02d=%d,%02u:%02u:%02u,%02u%02u%02u,%d,%d,%d,%d\n", index,
                                   entry.cause, time >> 24 & 0xFF, time >> 16 & 0xFF, time >> 8 & 0xFF,
                                   (date >> 16 & 0xFF) % kYearOffset, date >> 8 & 0xFF, date & 0xFF, entry.commonCode,
                                   entry.specificCode, entry.userValue1, entry.userValue2);
  return length < static_cast<int>(sizeof line) ? length : static_cast<int>(sizeof line) - 1;
}

bool parseErrorLine(const char* line, error* value) {
  *value        = error{};
  const char* c = std::strchr(line, '=');
  if (c == nullptr) return false;
  ++c;
  if (*c == ' ') ++c;
  Number numbers[kFieldCount];
  DigitPairs time;
  DigitPairs date;
  int field = kCause;
  for (; *c != '\0' && field < kFieldCount; ++c) {
    if (*c == ',') {
      ++field;
    } else if (field == kTime) {
      time.take(*c);
    } else if (field == kDate) {
      date.take(*c);
    } else {
      numbers[field].take(*c);
    }
  }
  value->found        = true;
  value->cause        = numbers[kCause].value();
  value->time         = time.pair[0] << 24 | time.pair[1] << 16 | time.pair[2] << 8;
  value->date         = (date.pair[0] + kYearOffset) << 16 | date.pair[1] << 8 | date.pair[2];
  value->commonCode   = numbers[kCommonCode].value();
  value->specificCode = numbers[kSpecificCode].value();
  value->userValue1   = numbers[kUserValue1].value();
  value->userValue2   = numbers[kUserValue2].value();
  return true;
}

bool getErrorHistory(const char* filePath, const char* tag, error* value) {
  *value = error{};
  if (tag == nullptr || tag[0] == '\0') return false;
  std::ifstream file(orvix::platform::resolvePath(filePath));
  const std::string key = std::string(tag) + "=";
  std::string line;
  while (std::getline(file, line)) {
    const size_t at = line.find(key);
    if (at != std::string::npos) return parseErrorLine(line.c_str() + at, value);
  }
  return false;
}

int getAlarmHandle(const char* line) {
  const char* equals = std::strchr(line, '=');
  char name[kSetupNameSize];
  collectName(line, equals != nullptr ? equals : line + std::strlen(line), name, sizeof name);
  if (name[0] == '\0') return -1;
  int handle = -1;
  int code   = 0;
  if (!dbGetHandleByTagname(name, &handle, &code)) return -1;
  return handle;
}

int getStrings(const char* line, char (&string1)[kSetupNameSize], char (&string2)[kSetupNameSize]) {
  string1[0]         = '\0';
  string2[0]         = '\0';
  const char* equals = std::strchr(line, '=');
  if (equals == nullptr) return 0;
  const char* first = equals + 1;
  const char* comma = std::strchr(first, ',');
  const char* end   = line + std::strlen(line);
  collectName(first, comma != nullptr ? comma : end, string1, sizeof string1);
  if (comma != nullptr) collectName(comma + 1, end, string2, sizeof string2);
  return (string1[0] != '\0' ? 1 : 0) + (string2[0] != '\0' ? 1 : 0);
}

}  // namespace alarmlog
