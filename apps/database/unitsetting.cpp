#include "unitsetting.h"

#include <cstdlib>

#include "platform/platform.h"
#include "platform/shell.h"

namespace {
constexpr const char* kSettingReader = "confget";
}  // namespace

std::string readUnitSettingText(const char* key) {
  orvix::platform::ShellCommand command;
  command.format("%s %s %s", kSettingReader,
                 orvix::platform::shellQuote(orvix::platform::resolvePath(kUnitIniFile)).c_str(), key);
  char line[orvix::platform::kShellLineSize] = {};
  if (command.fits()) exec_shell_command(command.text(), line);
  return line;
}

int readUnitSetting(const char* key) { return std::atoi(readUnitSettingText(key).c_str()); }
