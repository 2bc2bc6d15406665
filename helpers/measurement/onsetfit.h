// The voltage at which a field's corona current starts, from the points of a V-I
// measurement: above the onset the current grows with the square of the excess voltage,
// so the mean voltage is a straight line over the square root of the mean current, and the
// line's value at zero current is the onset.
#pragma once

#include <optional>
#include <span>

namespace measurement {

struct ViPoint {
  double currentMa = 0;  // mean current
  double voltageKv = 0;  // mean voltage
};

// The onset in kV; none when fewer than two points carry distinct currents or the voltage
// does not rise with the current.
std::optional<double> coronaOnsetKv(std::span<const ViPoint> points);

}  // namespace measurement
