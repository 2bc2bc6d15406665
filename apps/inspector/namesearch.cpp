#include "namesearch.h"

#include <regex.h>

#include <cstdio>
#include <string>

#include "sharedmem/tagaccess.h"

namespace inspector {

namespace {

// "0x0042      1234 name" or "0xNONE         0 1234" for a tag without address or name.
std::string tagLine(int handle) {
  char address[16] = "0xNONE";
  const int modbusAddress = shared_mem->parameter.modbus.address[handle];
  if (modbusAddress >= 0) std::snprintf(address, sizeof address, "0x%04x", static_cast<unsigned>(modbusAddress));
  char* unit = nullptr;
  char* name = nullptr;
  int code = 0;
  char nameColumn[48];
  if (dbGetUnitAndTagNameByHandle(handle, &unit, &name, &code)) {
    std::snprintf(nameColumn, sizeof nameColumn, "%30s", name);
  } else {
    std::snprintf(nameColumn, sizeof nameColumn, "%30d", handle);
  }
  char line[96];
  std::snprintf(line, sizeof line, "%s %10d %s", address, shared_mem->parameter.iValue[handle], nameColumn);
  return line;
}

}  // namespace

// The text is matched here, never handed to a shell: it comes straight from the operator.
int listTagsMatching(const char* pattern) {
  regex_t expression;
  const int compiled = regcomp(&expression, pattern, REG_NOSUB);
  if (compiled != 0) {
    char reason[128];
    regerror(compiled, &expression, reason, sizeof reason);
    std::fprintf(stderr, "search text %s: %s\n", pattern, reason);
    return kSearchExitStatus;
  }
  for (int handle = 0; handle < kNoOfHandles; ++handle) {
    if (!dbIsInitialized(handle)) continue;
    const std::string line = tagLine(handle);
    if (regexec(&expression, line.c_str(), 0, nullptr, 0) == 0) std::printf("%s\n", line.c_str());
  }
  regfree(&expression);
  return kSearchExitStatus;
}

}  // namespace inspector
