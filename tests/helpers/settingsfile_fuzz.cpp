// Settings file lines from a damaged or hand-edited file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settingsfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string why;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    const auto line = settingsfile::parseLine(text.substr(start, end - start), &why);
    if (line && line->isText && line->text.size() > 29) __builtin_trap();
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return 0;
}
