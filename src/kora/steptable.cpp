#include "kora/steptable.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "inihandler/inihandler.h"
#include "kora/koratags.h"
#include "kora/tagio.h"
#include "platform/shell.h"

namespace kora {

namespace {

constexpr const char* kSettingReader = "confget";
constexpr int kMaxListItems          = 9;     // the longest list: a field-table entry
constexpr int kIntervalMin           = 100;   // s
constexpr int kIntervalMax           = 2000;  // s
constexpr int kIntervalFallback      = 900;   // s

enum class Column { kFiringRatio, kCurrentDensity };

struct StepKey {
  const char* key;
  Column column;
  int firstStep;
  int count;  // values read; a value beyond the key's steps lands in the next key's first step
  bool throughSettingReader;
};

// clang-format off
// key                          column                    first  count  through confget
constexpr StepKey kStepKeys[] = {
    {"koraFiringRatios1_5",       Column::kFiringRatio,     1,     5,     false},
    {"koraFiringRatios6_10",      Column::kFiringRatio,     6,     5,     false},
    {"koraFiringRatios11_15",     Column::kFiringRatio,     11,    6,     false},
    {"koraFiringRatios16_20",     Column::kFiringRatio,     16,    5,     false},
    {"koraFiringRatios21_26",     Column::kFiringRatio,     21,    6,     false},
    {"koraCurrentDensities1_5",   Column::kCurrentDensity,  1,     5,     false},
    {"koraCurrentDensities6_10",  Column::kCurrentDensity,  6,     5,     true},
    {"koraCurrentDensities11_15", Column::kCurrentDensity,  11,    5,     false},
    {"koraCurrentDensities16_20", Column::kCurrentDensity,  16,    5,     false},
    {"koraCurrentDensities21_26", Column::kCurrentDensity,  21,    6,     false},
};
// clang-format on

constexpr char kFirstLetter     = 'A';
constexpr char kLastTableLetter = 'I';  // J..L are copies of I

// The value of a key, from the INI object or from the setting reader's first line.
bool readValue(INIFile* ini, const char* path, const StepKey& row, char* value, size_t size) {
  errno = 0;
  if (!row.throughSettingReader) return ini_get_string(ini, row.key, value, size) == 1;
  orvix::platform::ShellCommand command;
  if (!command.format("%s %s %s", kSettingReader, orvix::platform::shellQuote(path).c_str(), row.key)) return false;
  char line[orvix::platform::kShellLineSize] = {};
  if (!exec_shell_command(command.text(), line) || line[0] == '\0') return false;
  std::snprintf(value, size, "%s", line);
  return true;
}

void missing(const char* key) { std::fprintf(stderr, "Missing setting %s: %s\n", key, std::strerror(errno)); }

void loadSteps(INIFile* ini, const char* path, KORA& kora) {
  for (const StepKey& row : kStepKeys) {
    char value[kIniFieldSize] = {};
    if (!readValue(ini, path, row, value, sizeof value)) {
      missing(row.key);
      continue;
    }
    int16_t* targets[kMaxListItems] = {};
    int count                       = 0;
    for (int step = row.firstStep; count < row.count && step <= kSteps; ++step, ++count) {
      stepData& entry = kora.step[static_cast<size_t>(step)];
      targets[count]  = row.column == Column::kFiringRatio ? &entry.firingRatio : &entry.currentDensity;
    }
    parseStepList(value, targets, count);
  }
}

void loadFields(INIFile* ini, KORA& kora) {
  for (char letter = kFirstLetter; letter <= kLastTableLetter; ++letter) {
    char key[32];
    std::snprintf(key, sizeof key, "koraField%cExpertTable", letter);
    char value[kIniFieldSize] = {};
    errno                     = 0;
    if (ini_get_string(ini, key, value, sizeof value) != 1) {
      missing(key);
      continue;
    }
    expertData& entry               = kora.field[static_cast<size_t>(letter - kFirstLetter)];
    int16_t* targets[kMaxListItems] = {};
    for (size_t rc = 0; rc < kTableClasses; ++rc) {
      targets[rc * 3]     = &entry.min[rc];
      targets[rc * 3 + 1] = &entry.typ[rc];
      targets[rc * 3 + 2] = &entry.max[rc];
    }
    parseStepList(value, targets, kMaxListItems);
  }
  const expertData copied = kora.field[static_cast<size_t>(kLastTableLetter - kFirstLetter)];
  for (size_t index = kLastTableLetter - kFirstLetter + 1; index < kFieldLetters; ++index) kora.field[index] = copied;
}

void loadIntervals(INIFile* ini, KORA& kora) {
  int seconds = 0;
  errno       = 0;
  if (ini_get_int(ini, "koraOptimationInterval", &seconds) == 1) {
    if (seconds < kIntervalMin || seconds > kIntervalMax) seconds = kIntervalFallback;
    kora.optimationIntervalBase = static_cast<int16_t>(seconds);
    kora.optimationInterval     = static_cast<int16_t>(seconds);
  } else {
    missing("koraOptimationInterval");
  }
  errno = 0;
  if (ini_get_int(ini, "koraReferenceInterval", &seconds) == 1) {
    // The interval is otherwise taken as it stands, but one that the 16-bit field cannot
    // hold would wrap negative and start a reference measurement on every pass.
    if (seconds > std::numeric_limits<int16_t>::max()) {
      std::fprintf(stderr, "koraReferenceInterval %d s: the longest interval, %d s, is taken\n", seconds,
                   std::numeric_limits<int16_t>::max());
      seconds = std::numeric_limits<int16_t>::max();
    }
    kora.referenceInterval = static_cast<int16_t>(seconds);
  } else {
    missing("koraReferenceInterval");
  }
}

// The field-table entry of this unit's position and class; null when the table has none.
const expertData* fieldEntry(const KORA& kora, int* resistivity) {
  *resistivity     = value(tag::kActModeResistivity);
  const int letter = std::toupper(static_cast<unsigned char>(value(tag::kFieldPosition) & 0xff));
  const int index  = letter - kFirstLetter;
  if (index < 0 || index >= kFieldLetters || *resistivity < 0 || *resistivity >= kTableClasses) return nullptr;
  return &kora.field[static_cast<size_t>(index)];
}

// A position or class without a table entry may use the whole table, starting from
// continuous energisation.
constexpr int kNoEntryMin = 1;
constexpr int kNoEntryTyp = 1;
constexpr int kNoEntryMax = kSteps;

}  // namespace

int parseStepList(const char* text, int16_t* const values[], int count) {
  const char* cursor = text;
  int items          = 0;
  while (items < count) {
    char* end         = nullptr;
    errno             = 0;
    const long number = std::strtol(cursor, &end, 10);
    if (end != cursor && errno == 0 && values[items] != nullptr) *values[items] = static_cast<int16_t>(number);
    ++items;
    const char* separator = std::strchr(end, ';');
    if (separator == nullptr) break;
    cursor = separator + 1;
  }
  return items;
}

void loadKoraTable(const char* path, KORA& kora) {
  INIFile* ini = ini_create();
  errno        = 0;
  if (ini_read_file(ini, path) != 1) std::fprintf(stderr, "Error reading %s: %s\n", path, std::strerror(errno));
  loadSteps(ini, path, kora);
  loadFields(ini, kora);
  loadIntervals(ini, kora);
  ini_destroy(ini);
}

int pulseCurrent(int cDensity) {
  const int area = value(tag::kCollectorArea);
  return area != 0 ? (cDensity * area + 500) / 1000 : cDensity;
}

int currentDensity(int pulseCurrent) {
  const int area = value(tag::kCollectorArea);
  return area != 0 ? (pulseCurrent * 1000 + area / 2) / area : pulseCurrent;
}

int fieldMinStep(const KORA& kora) {
  int rc = 0;
  if (value(tag::kActModeResistivity) == kCustomClass) return value(tag::kCustomMinStep);
  const expertData* entry = fieldEntry(kora, &rc);
  return entry != nullptr ? entry->min[static_cast<size_t>(rc)] : kNoEntryMin;
}

int fieldTypStep(const KORA& kora) {
  int rc = 0;
  if (value(tag::kActModeResistivity) == kCustomClass) return value(tag::kCustomTypStep);
  const expertData* entry = fieldEntry(kora, &rc);
  return entry != nullptr ? entry->typ[static_cast<size_t>(rc)] : kNoEntryTyp;
}

int fieldMaxStep(const KORA& kora) {
  int rc = 0;
  if (value(tag::kActModeResistivity) == kCustomClass) return value(tag::kCustomMaxStep);
  const expertData* entry = fieldEntry(kora, &rc);
  return entry != nullptr ? entry->max[static_cast<size_t>(rc)] : kNoEntryMax;
}

int stepToCR(const KORA& kora, int step) {
  if (step <= 0 || step > kSteps) return 1;
  const int ratio = kora.step[static_cast<size_t>(step)].firingRatio;
  return ratio != 0 ? 10033 / ratio : 1;
}

}  // namespace kora
