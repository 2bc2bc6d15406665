#include "arguments.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace inspector {

namespace {
// strtol over the whole text; refuses empty text, trailing characters and overflow.
std::optional<int> parseWhole(const char* text, int base) {
  if (text == nullptr || *text == '\0' || std::isspace(static_cast<unsigned char>(*text)) || *text == '+') {
    return std::nullopt;
  }
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, base);
  if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}
}  // namespace

bool isAllDigits(const char* text) {
  if (text == nullptr || *text == '\0') return false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
  }
  return true;
}

std::optional<int> parseDecimal(const char* text) {
  if (text == nullptr) return std::nullopt;
  const char* digits = text[0] == '-' ? text + 1 : text;
  if (!isAllDigits(digits)) return std::nullopt;
  return parseWhole(text, 10);
}

std::optional<int> parseAddress(const char* text) {
  if (text == nullptr) return std::nullopt;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const char* digits = text + 2;
    const size_t length = std::strlen(digits);
    if (length == 0 || length > 8) return std::nullopt;
    for (size_t i = 0; i < length; ++i) {
      if (!std::isxdigit(static_cast<unsigned char>(digits[i]))) return std::nullopt;
    }
    // Eight digits may exceed a signed int; such an address is refused like any other bad one.
    const unsigned long value = std::strtoul(digits, nullptr, 16);
    if (value > static_cast<unsigned long>(INT_MAX)) return std::nullopt;
    return static_cast<int>(value);
  }
  if (!isAllDigits(text)) return std::nullopt;
  return parseWhole(text, 10);
}

}  // namespace inspector
