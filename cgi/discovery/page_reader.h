#pragma once
// Readers of the values on a unit's summary page: lines of the form key, " = ", value.

#include <optional>
#include <string>
#include <string_view>

namespace discovery {

// The text after the key up to the first carriage return, line feed or the end of the
// page. The key counts only at the start of a line, so "NAME = " is not found inside
// "HOSTNAME = ". Empty when the key is missing.
std::optional<std::string_view> findPageValue(std::string_view page, std::string_view key);

// The value as an integer with automatic base (decimal, "0x" hexadecimal, leading "0"
// octal) from at most 19 characters ending at ";" or a line feed. A missing key reads
// as 0 and a node without a page as -1. 64 bits wide on every host, so that bit 31 of
// an alarm word survives on the 32-bit front end.
long long readPageNumber(const std::optional<std::string>& page, std::string_view key);

// Appends the value as it is, except for bytes that would break the XML document, the
// comma-separated list or the cookie header; those are written as in the escaped form.
void appendRawValue(std::string& out, std::string_view value);

// Appends letters, digits, space and "-" as they are and every other byte as "%"
// followed by its value in lower-case hexadecimal without leading zeros.
void appendEscapedValue(std::string& out, std::string_view value);

// The page's alarm state: 2 when any of ALARMS1..9 shares a bit with its trip mask
// ALARMSn_MASK_T, else 1 when any shares a bit with its warning mask ALARMSn_MASK_W,
// else 0.
int alarmLevel(const std::string& page);

}  // namespace discovery
