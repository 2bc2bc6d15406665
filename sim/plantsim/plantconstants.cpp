#include "plantconstants.h"

namespace plantsim {
namespace {

using P = PlantConstants;

// clang-format off
//   key                    field                    min   max
constexpr PlantConstantRow kRows[] = {
    {"periodMs",            &P::periodMs,            100,  10000},
    {"responseMs",          &P::responseMs,          0,    600000},
    {"inletDust",           &P::inletDust,           0,    200000},
    {"gasFlow",             &P::gasFlow,             1,    10000},
    {"fieldArea",           &P::fieldArea,           1,    100000},
    {"migrationVelocity",   &P::migrationVelocity,   0,    1000},
    {"referenceVoltage",    &P::referenceVoltage,    1,    2000},
    {"downstreamFactor",    &P::downstreamFactor,    0,    1000},
    {"stackDensity",        &P::stackDensity,        1,    2000},
    {"extinction",          &P::extinction,          0,    10000},
    {"opticalPath",         &P::opticalPath,         1,    1000},
    {"fullScaleOpacity",    &P::fullScaleOpacity,    1,    10000},
};
// clang-format on

}  // namespace

std::span<const PlantConstantRow> plantConstantRows() { return kRows; }

PlantConstants loadPlantConstants(const char* path, std::string& problems) {
  return orvix::loadIntSettings(path, plantConstantRows(), problems);
}

}  // namespace plantsim
