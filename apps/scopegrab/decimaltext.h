// Sample values as the data log and the curves write them: tenths, truncated toward zero.
#pragma once

namespace scopegrab {

struct DecimalText {
  char text[24];  // the longest value, 1e11, with sign, point and terminator
  const char* c_str() const { return text; }
};

// value * 10 truncated toward zero, one digit after the point, a leading "-" when negative,
// no digit before the point below 1 (".5"), and "0.00" for zero.
DecimalText decimalText(double value);

}  // namespace scopegrab
