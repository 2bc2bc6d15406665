#include "constants.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "inihandler/inihandler.h"
#include "platform/platform.h"

namespace dspsim {
namespace {

using M = ModelConstants;

// clang-format off
//   key                      field                       min      max
constexpr ConstantRow kConstantRows[] = {
    {"cyclePeriodMs",         &M::cyclePeriodMs,          10,      1000},
    {"tronStartDelayMs",      &M::tronStartDelayMs,       0,       60000},
    {"heartbeatPeriodMs",     &M::heartbeatPeriodMs,      100,     5000},
    {"resetAckMs",            &M::resetAckMs,             0,       5000},
    {"lineFrequency",         &M::lineFrequency,          400,     700},
    {"ambientTemperature",    &M::ambientTemperature,     -400,    800},
    {"coronaOnsetVoltage",    &M::coronaOnsetVoltage,     0,       1500},
    {"coronaFactor",          &M::coronaFactor,           1,       100000},
    {"fieldCapacitance",      &M::fieldCapacitance,       1,       10000},
    {"currentTimeConstantMs", &M::currentTimeConstantMs,  1,       10000},
    {"peakCurrentFactor",     &M::peakCurrentFactor,      1000,    5000},
    {"sparkoverVoltage",      &M::sparkoverVoltage,       1,       3000},
    {"sparkRateAtSparkover",  &M::sparkRateAtSparkover,   0,       6000},
    {"sparkRateScale",        &M::sparkRateScale,         1,       1000},
    {"sparkSetback",          &M::sparkSetback,           0,       500},
    {"arcShare",              &M::arcShare,               0,       1000},
    {"sparkDvdt",             &M::sparkDvdt,              1,       10000},
    {"randomSeed",            &M::randomSeed,             0,       INT_MAX},
};
// clang-format on

const ConstantRow* findRow(const char* key) {
  for (const ConstantRow& row : kConstantRows) {
    if (std::strcmp(row.key, key) == 0) return &row;
  }
  return nullptr;
}

bool parseInt(const char* text, long& value) {
  errno     = 0;
  char* end = nullptr;
  value     = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0';
}

}  // namespace

std::span<const ConstantRow> constantRows() { return kConstantRows; }

ModelConstants applyConstants(INIFile* ini, std::string& problems) {
  ModelConstants constants;
  for (size_t i = 0; i < ini->size; ++i) {
    const INIKeyValue& entry = ini->data[i];
    const ConstantRow* row   = findRow(entry.key);
    if (row == nullptr) {
      problems += std::string("unknown key ") + entry.key + "\n";
      continue;
    }
    long value = 0;
    if (!parseInt(entry.value, value) || value < row->min || value > row->max) {
      problems += std::string(entry.key) + "=" + entry.value + " is not a number in " + std::to_string(row->min) +
                  ".." + std::to_string(row->max) + ", default kept\n";
      continue;
    }
    constants.*(row->field) = static_cast<int>(value);
  }
  return constants;
}

ModelConstants loadConstants(const char* unitPath, std::string& problems) {
  if (!orvix::platform::fileExists(unitPath)) {
    problems += std::string("no ") + unitPath + ", the defaults apply\n";
    return ModelConstants{};
  }
  INIFile* ini = ini_create();
  if (ini == nullptr) {
    problems += "out of memory reading the constants\n";
    return ModelConstants{};
  }
  ModelConstants constants;
  if (ini_read_file(ini, unitPath) != 1) {
    problems += std::string(unitPath) + " is malformed, the defaults apply\n";
  } else {
    constants = applyConstants(ini, problems);
  }
  ini_destroy(ini);
  return constants;
}

}  // namespace dspsim
