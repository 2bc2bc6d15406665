#include "commandline.h"

#include <cstring>

namespace {

constexpr int kHighestDebugLevel = 2;
constexpr int kRaspberryPiLevel = 9;
constexpr int kNfsBootLevel = 8;

bool isDebugOption(const char* argument) { return argument[0] == 'D' || argument[0] == 'd'; }

int debugLevelOf(const char* argument, FILE* out) {
  const int level = argument[1] - '0';
  if (level == kRaspberryPiLevel) std::fprintf(out, "we are running on raspberryPi ");
  if (level == kNfsBootLevel) std::fprintf(out, "we are running on nfsBoot ");
  return level >= 0 && level <= kHighestDebugLevel ? level : 0;
}

}  // namespace

int parseCommandLine(int argc, char** argv, CommandLine* commandLine, FILE* out, FILE* err) {
  // Options come in "-c <path>" pairs; a debug option stands on its own between them.
  for (int i = 1; i < argc;) {
    if (std::strcmp(argv[i], "-c") == 0 && i + 1 < argc) {
      commandLine->iniFile = argv[i + 1];
      i += 2;
    } else if (isDebugOption(argv[i])) {
      commandLine->debugLevel = debugLevelOf(argv[i], out);
      ++i;
    } else {
      std::fprintf(err, "Usage: %s -c <config_file_path>\n", argv[0]);
      return 1;
    }
  }
  if (commandLine->iniFile == nullptr) {
    std::fprintf(err, "Error: You must specify a configuration file with -c\n");
    return 1;
  }
  return 0;
}
