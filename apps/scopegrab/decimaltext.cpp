#include "decimaltext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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
    std::snprintf(out.text, sizeof out.text, "0.00");
    return out;
  }
  const long long magnitude = std::llabs(t);
  const char* sign          = t < 0 ? "-" : "";
  if (magnitude < 10) {
    std::snprintf(out.text, sizeof out.text, "%s.%lld", sign, magnitude);
  } else {
    std::snprintf(out.text, sizeof out.text, "%s%lld.%lld", sign, magnitude / 10, magnitude % 10);
  }
  return out;
}

}  // namespace scopegrab
