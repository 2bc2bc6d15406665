// The gas path: the dust each cell's fields collect in series (Deutsch-Anderson, with a
// migration velocity that grows with the square of the field's mean voltage), the outlet concentration of
// the cells together, the stack opacity (Beer-Lambert) and the meter's 4-20 mA signal.
#pragma once

#include <span>

#include "plantconstants.h"

namespace plantsim {

// One field as its unit reports it.
struct FieldEnergisation {
  int cell;         // 1..
  int fieldIndex;   // 0 = A, the inlet field of its cell
  int meanVoltage;  // 0.1 kV, vxi_secvoltavg
  int power;        // 0.1 kW, vxi_actpower
};

struct Stack {
  double outletDust;  // mg/Nm3 leaving the precipitator
  int totalPower;     // 0.1 kW drawn by all fields
  int opacity;        // 0.01 %
  int meterCurrent;   // 0.1 mA: 40 at opacity 0, 200 at full scale and above
};

// cells: the cells in parallel that share the gas flow; a cell without reported fields
// passes its dust uncollected.
Stack computeStack(const PlantConstants& c, std::span<const FieldEnergisation> fields, int cells);

// The gas takes its time from the fields to the stack and the meter averages, so the meter
// follows the fields' collection with a first-order lag (c.responseMs); a spark's short dip in
// a field's voltage is not a puff of dust.
class StackResponse {
 public:
  // One period later: the stack the meter sees, given the fields' collection now.
  Stack next(const PlantConstants& c, const Stack& now);

 private:
  double seenOutletDust_ = -1;  // mg/Nm3; negative until the first period
};

}  // namespace plantsim
