// Integer settings of a flat key=value file as a table of rows, each naming its field and
// the values it accepts; a record's own initial values are the defaults.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "inihandler/inihandler.h"
#include "platform/platform.h"

namespace orvix {

template <typename Record>
struct IntSetting {
  const char* key;
  int Record::*field;
  int min;
  int max;
};

// Takes every known key of the file; a value that is not a number or lies outside its row's
// range keeps the default and adds a line to problems. Unknown keys are reported too.
template <typename Record>
Record applyIntSettings(INIFile* ini, std::span<const IntSetting<Record>> rows, std::string& problems) {
  Record record;
  for (size_t i = 0; i < ini->size; ++i) {
    const INIKeyValue& entry      = ini->data[i];
    const IntSetting<Record>* row = nullptr;
    for (const IntSetting<Record>& candidate : rows) {
      if (std::strcmp(candidate.key, entry.key) == 0) row = &candidate;
    }
    if (row == nullptr) {
      problems += std::string("unknown key ") + entry.key + "\n";
      continue;
    }
    errno            = 0;
    char* end        = nullptr;
    const long value = std::strtol(entry.value, &end, 10);
    if (errno != 0 || end == entry.value || *end != '\0' || value < row->min || value > row->max) {
      problems += std::string(entry.key) + "=" + entry.value + " is not a number in " + std::to_string(row->min) +
                  ".." + std::to_string(row->max) + ", default kept\n";
      continue;
    }
    record.*(row->field) = static_cast<int>(value);
  }
  return record;
}

// Reads the file (a unit path); a missing or malformed file leaves the defaults and says why.
template <typename Record>
Record loadIntSettings(const char* unitPath, std::span<const IntSetting<Record>> rows, std::string& problems) {
  if (!platform::fileExists(unitPath)) {
    problems += std::string("no ") + unitPath + ", the defaults apply\n";
    return Record{};
  }
  INIFile* ini = ini_create();
  if (ini == nullptr) {
    problems += std::string("out of memory reading ") + unitPath + "\n";
    return Record{};
  }
  Record record;
  if (ini_read_file(ini, unitPath) != 1) {
    problems += std::string(unitPath) + " is malformed, the defaults apply\n";
  } else {
    record = applyIntSettings(ini, rows, problems);
  }
  ini_destroy(ini);
  return record;
}

}  // namespace orvix
