// scopegrab's command line and configuration.
#pragma once

#include "scopegrab.h"

namespace scopegrab {

constexpr const char* kDefaultConfigFile = "/var/lib/orvix/orvix.ini";

struct Options {
  const char* configFile = kDefaultConfigFile;
  bool verbose           = false;
};

// "-c CONFIG_FILE" or, as database starts the program, the path as the first plain argument.
Options parseOptions(int argc, char** argv);

// Reads the delimiter and the data-log directory into global; false after printing why.
bool readConfiguration(const char* configFile, Global& global);

}  // namespace scopegrab
