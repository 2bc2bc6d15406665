#include "scaledvalue.h"

#include <cstdlib>

namespace inspector {

std::string engineeringText(int value, int exponent) {
  if (exponent >= 0) {
    // Trailing zeros instead of a multiplication that could overflow.
    const std::string text = std::to_string(value);
    return value == 0 ? text : text + std::string(exponent, '0');
  }
  // The digits of the magnitude, padded with leading zeros so that the point has a digit before it.
  const size_t fractionDigits = static_cast<size_t>(-exponent);
  std::string digits = std::to_string(std::llabs(static_cast<long long>(value)));
  if (digits.size() <= fractionDigits) digits.insert(0, fractionDigits + 1 - digits.size(), '0');
  digits.insert(digits.size() - fractionDigits, ".");
  return value < 0 ? "-" + digits : digits;
}

}  // namespace inspector
