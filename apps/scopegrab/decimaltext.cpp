#include "decimaltext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace scopegrab {

DecimalText decimalText(double value) {
  DecimalText out{};
  // Beyond the range of the channels anyway; kept within the text's size.
  constexpr double kLargestTenths = 1e12;  // 13 digits
  // A value read back from its own text (-16.3f is -16.2999992) keeps that text: a product
  // within float precision of a whole number of tenths is that number.
  double tenths        = value * 10.0;
  const double nearest = std::round(tenths);
  if (std::fabs(tenths - nearest) <= 1e-6 * std::max(1.0, std::fabs(nearest))) tenths = nearest;
  tenths = std::trunc(tenths);
  if (std::isnan(tenths)) tenths = 0;
  if (tenths > kLargestTenths) tenths = kLargestTenths;
  if (tenths < -kLargestTenths) tenths = -kLargestTenths;
  const long long t = static_cast<long long>(tenths);
  if (t == 0) {
    std::memcpy(out.text, "0.00", 5);
    return out;
  }
  // Written by hand: a capture takes some 30000 of these, and formatting them through
  // snprintf cost more than every analysis together.
  const long long magnitude = std::llabs(t);
  char* p                   = out.text;
  if (t < 0) *p++ = '-';
  if (magnitude >= 10) p = std::to_chars(p, std::end(out.text) - 3, magnitude / 10).ptr;
  *p++ = '.';
  *p++ = static_cast<char>('0' + magnitude % 10);
  *p   = '\0';
  return out;
}

}  // namespace scopegrab
