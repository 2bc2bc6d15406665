// confget <file> <key>: prints the value of one key=value setting of a text file (an
// empty line when the key is not there) for scripts and the database daemon.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/shell.h"

namespace {

constexpr size_t kLineSize = 120;  // first matching line: 119 characters and the terminator

// The value of the first line that grep finds for "key=": everything after its first
// "=", so further "=" belong to the value. Empty when nothing matches.
std::string readSetting(const char* file, const char* key, bool* refused) {
  using orvix::platform::shellQuote;
  using orvix::platform::shellQuoteFile;
  orvix::platform::ShellCommand command;
  const std::string pattern = std::string(key) + "=";
  // After "--" a file name such as "-r" stays a file instead of becoming an option.
  if (!command.format("grep -e %s -- %s\n", shellQuote(pattern).c_str(),
                      shellQuoteFile(orvix::platform::resolvePath(file)).c_str())) {
    *refused = true;
    return {};
  }
  char line[kLineSize] = {};
  int exitStatus = -1;
  if (!orvix::platform::readShellCommand(command.text(), line, sizeof line, &exitStatus)) {
    std::fprintf(stderr, "Could not open pipe for output\n");
    return {};
  }
  if (exitStatus != 0) return {};
  const char* equals = std::strchr(line, '=');
  return equals == nullptr ? std::string() : std::string(equals + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: %s <file> <key>\n", argv[0]);
    return 1;
  }
  bool refused = false;
  const std::string value = readSetting(argv[1], argv[2], &refused);
  if (refused) {
    std::fprintf(stderr, "%s: file name and key too long for one command\n", argv[0]);
    return 1;
  }
  std::printf("%s\n", value.c_str());
  return 0;
}
