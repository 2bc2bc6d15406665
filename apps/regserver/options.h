// The register server's command line.
#pragma once

#include <string>

namespace regserver {

struct Options {
  std::string confFile;
  std::string logFile;
  std::string pidFile;
  bool daemon = false;
};

// Parses the command line; -h, -t and unknown options end the program here.
Options parseOptions(int argc, char** argv);

}  // namespace regserver
