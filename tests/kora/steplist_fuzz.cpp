// Arbitrary values of a step-table key through the list reader, for every list length.
#include <cstdint>
#include <string>

#include "kora/steptable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  int16_t values[9]   = {};
  int16_t* targets[9] = {};
  for (int count = 0; count <= 9; ++count) {
    for (int i = 0; i < count; ++i) targets[i] = &values[i];
    kora::parseStepList(text.c_str(), targets, count);
  }
  return 0;
}
