// Results computed from samples as tag values: a capture may carry any float, also NaN or
// infinity, and converting those to int would be undefined.
#pragma once

#include <climits>
#include <cmath>

namespace scopegrab {

// The value truncated toward zero, NaN as 0, beyond the int range its nearest end.
inline int saturatedInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace scopegrab
