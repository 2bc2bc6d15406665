#include "page_reader.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>

namespace discovery {
namespace {

constexpr std::size_t kMaxNumberLength = 19;  // characters read for a numeric value
constexpr int kAlarmWords = 9;                 // ALARMS1 .. ALARMS9

bool isAsciiAlphanumeric(unsigned char byte) {
  return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

bool isSafeRaw(unsigned char byte) {
  if (byte < 0x20 || byte >= 0x7f) {
    return false;
  }
  switch (byte) {
    case '<': case '>': case '&': case '"': case ',': case ';':
      return false;
    default:
      return true;
  }
}

void appendHexEscape(std::string& out, unsigned char byte) {
  char escaped[4];
  std::snprintf(escaped, sizeof escaped, "%%%x", byte);
  out += escaped;
}

long long numberOnPage(std::string_view page, std::string_view key) {
  const std::optional<std::string_view> value = findPageValue(page, key);
  if (!value) {
    return 0;
  }
  std::string digits(value->substr(0, kMaxNumberLength));
  digits.resize(std::min(digits.size(), digits.find_first_of(";\n")));
  return std::strtoll(digits.c_str(), nullptr, 0);
}

}  // namespace

std::optional<std::string_view> findPageValue(std::string_view page, std::string_view key) {
  for (std::size_t at = page.find(key); at != std::string_view::npos; at = page.find(key, at + 1)) {
    if (at == 0 || page[at - 1] == '\n' || page[at - 1] == '\r') {
      std::string_view value = page.substr(at + key.size());
      return value.substr(0, value.find_first_of("\r\n"));
    }
  }
  return std::nullopt;
}

long long readPageNumber(const std::optional<std::string>& page, std::string_view key) {
  return page ? numberOnPage(*page, key) : -1;
}

void appendRawValue(std::string& out, std::string_view value) {
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (isSafeRaw(byte)) {
      out += c;
    } else {
      appendHexEscape(out, byte);
    }
  }
}

void appendEscapedValue(std::string& out, std::string_view value) {
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (isAsciiAlphanumeric(byte) || byte == ' ' || byte == '-') {
      out += c;
    } else {
      appendHexEscape(out, byte);
    }
  }
}

int alarmLevel(const std::string& page) {
  char alarmKey[32];
  char maskKey[32];
  bool warning = false;
  for (int word = 1; word <= kAlarmWords; ++word) {
    std::snprintf(alarmKey, sizeof alarmKey, "ALARMS%d = ", word);
    const long long alarms = numberOnPage(page, alarmKey);
    std::snprintf(maskKey, sizeof maskKey, "ALARMS%d_MASK_T = ", word);
    if ((alarms & numberOnPage(page, maskKey)) != 0) {
      return 2;
    }
    std::snprintf(maskKey, sizeof maskKey, "ALARMS%d_MASK_W = ", word);
    warning = warning || (alarms & numberOnPage(page, maskKey)) != 0;
  }
  return warning ? 1 : 0;
}

}  // namespace discovery
