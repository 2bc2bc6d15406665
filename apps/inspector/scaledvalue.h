// A tag's engineering value as text: the raw value times 10 to the tag's exponent.
#pragma once

#include <string>

namespace inspector {

// 1205 with exponent -2 is "12.05", -5 with exponent -1 is "-0.5", 12 with exponent 1 is "120".
std::string engineeringText(int value, int exponent);

}  // namespace inspector
