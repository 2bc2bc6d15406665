#include "opacitymodel.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace plantsim {

namespace {

constexpr int kZeroCurrent = 40;   // 0.1 mA at opacity 0
constexpr int kSpanCurrent = 160;  // 0.1 mA from 4 to 20 mA

// m/s: the field both charges the particles and drives them to the plates, so w grows with
// the square of its voltage.
double migrationVelocity(const PlantConstants& c, const FieldEnergisation& field) {
  const double voltage = std::max(field.meanVoltage, 0) / static_cast<double>(c.referenceVoltage);
  return c.migrationVelocity / 1000.0 * voltage * voltage * std::pow(c.downstreamFactor / 1000.0, field.fieldIndex);
}

// Beer-Lambert at stack conditions, and the meter's 4-20 mA over its range.
void readMeter(const PlantConstants& c, Stack& stack) {
  const double stackGramsPerM3 = stack.outletDust / 1000.0 * c.stackDensity / 1000.0;
  const double opacity         = 1.0 - std::exp(-c.extinction / 100.0 * stackGramsPerM3 * c.opticalPath / 10.0);
  stack.opacity                = static_cast<int>(std::lround(opacity * 10000));
  const double share           = std::min(1.0, static_cast<double>(stack.opacity) / c.fullScaleOpacity);
  stack.meterCurrent           = kZeroCurrent + static_cast<int>(std::lround(share * kSpanCurrent));
}

}  // namespace

Stack computeStack(const PlantConstants& c, std::span<const FieldEnergisation> fields, int cells) {
  cells                 = std::max(cells, 1);
  const double cellFlow = static_cast<double>(c.gasFlow) / cells;  // m3/s
  std::vector<double> exponent(static_cast<size_t>(cells), 0.0);   // sum of w A / Q per cell
  Stack stack{};
  for (const FieldEnergisation& field : fields) {
    stack.totalPower += field.power;
    if (field.cell < 1 || field.cell > cells) continue;
    exponent[static_cast<size_t>(field.cell - 1)] += migrationVelocity(c, field) * c.fieldArea / cellFlow;
  }
  double penetration = 0;
  for (double sum : exponent) penetration += std::exp(-sum) / cells;
  stack.outletDust = c.inletDust * penetration;
  readMeter(c, stack);
  return stack;
}

Stack StackResponse::next(const PlantConstants& c, const Stack& now) {
  const double step = c.responseMs == 0 ? 1.0 : 1.0 - std::exp(-static_cast<double>(c.periodMs) / c.responseMs);
  seenOutletDust_ = seenOutletDust_ < 0 ? now.outletDust : seenOutletDust_ + step * (now.outletDust - seenOutletDust_);
  Stack seen      = now;
  seen.outletDust = seenOutletDust_;
  readMeter(c, seen);
  return seen;
}

}  // namespace plantsim
