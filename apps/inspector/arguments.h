// Numbers typed by the service engineer on the command line.
#pragma once

#include <optional>

namespace inspector {

// A decimal number with an optional leading "-"; nothing else may follow.
std::optional<int> parseDecimal(const char* text);
// A Modbus address: decimal, or "0x" followed by one to eight hexadecimal digits.
std::optional<int> parseAddress(const char* text);
// True when the text is one or more decimal digits and nothing else.
bool isAllDigits(const char* text);

}  // namespace inspector
