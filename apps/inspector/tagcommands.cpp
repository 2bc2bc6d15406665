#include "tagcommands.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "arguments.h"
#include "scaledvalue.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace inspector {

namespace {

int reportError(int code) {
  std::printf("ERROR: %d\n", code);
  return kExitFailed;
}

// A range keyword names one of the tag's bounds or its default.
struct RangeKeyword {
  const char* lower;
  const char* upper;
  bool (*read)(int handle, int* value);
};

constexpr RangeKeyword kRangeKeywords[] = {
    // keyword    KEYWORD     reader
    {"max",     "MAX",     dbGetMaximumValueByHandle},
    {"min",     "MIN",     dbGetMinimumValueByHandle},
    {"default", "DEFAULT", dbGetDefaultValueByHandle},
};

const RangeKeyword* rangeKeyword(const char* text) {
  for (const RangeKeyword& keyword : kRangeKeywords) {
    if (std::strcmp(text, keyword.lower) == 0 || std::strcmp(text, keyword.upper) == 0) return &keyword;
  }
  return nullptr;
}

}  // namespace

int readTag(const TagCall& call) {
  int value = 0;
  int code = 0;
  if (!dbGetValueByHandle(call.handle, &value, &code)) return reportError(code);
  std::printf("%d\n", value);
  return kExitOk;
}

int printScaledTag(const TagCall& call) {
  int value = 0;
  int code = 0;
  if (!dbGetValueByHandle(call.handle, &value, &code)) return reportError(code);
  std::printf("%s", engineeringText(value, shared_mem->parameter.cExponent[call.handle]).c_str());
  return kExitOk;
}

// The library counts any handle in range up; a tool must not write into a handle that
// holds no tag, so that is refused like a read.
int incrementTag(const TagCall& call) {
  int value = 0;
  int code = 0;
  if (!dbGetValueByHandle(call.handle, &value, &code)) return reportError(code);
  dbIncrementByHandle(call.handle);
  return kExitOk;
}

int setTag(const TagCall& call) {
  if (!dbIsInitialized(call.handle)) {
    std::printf("parameter not initialized\n");
    return kExitFailed;
  }
  if (dbIsProtected(call.handle)) {
    std::printf("parameter is protected, can't be set\n");
    return kExitFailed;
  }
  if (call.extra == nullptr) {
    std::printf("missing argument, -s requires more arguments\n");
    return kExitFailed;
  }
  std::optional<int> value;
  if (const RangeKeyword* keyword = rangeKeyword(call.extra)) {
    int bound = 0;
    if (!keyword->read(call.handle, &bound)) {
      std::printf("parameter has no range, %s can't be used\n", call.extra);
      return kExitFailed;
    }
    value = bound;
  } else {
    value = parseDecimal(call.extra);
  }
  if (!value) {
    std::printf("argument not a number %s\n", call.extra);
    return kExitFailed;
  }
  int code = 0;
  if (!dbSetValueByHandle(call.handle, *value, &code)) return reportError(code);
  return kExitOk;
}

}  // namespace inspector
