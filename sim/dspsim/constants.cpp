#include "constants.h"

#include <climits>

#include "inihandler/intsettings.h"

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
    {"collectorArea",         &M::collectorArea,          1,       65535},
    {"backCoronaOnset",       &M::backCoronaOnset,        0,       10000},
    {"backCoronaDrop",        &M::backCoronaDrop,         0,       900},
};
// clang-format on

}  // namespace

std::span<const ConstantRow> constantRows() { return kConstantRows; }

ModelConstants applyConstants(INIFile* ini, std::string& problems) {
  return orvix::applyIntSettings(ini, constantRows(), problems);
}

ModelConstants loadConstants(const char* unitPath, std::string& problems) {
  return orvix::loadIntSettings(unitPath, constantRows(), problems);
}

}  // namespace dspsim
