// The register server's configuration file: an optional leading integer, then
// key=value lines looked up by exact key.
#pragma once

#include <optional>
#include <string>

namespace regserver {

// The file's first token as a decimal integer; nullopt when the file cannot be read or
// does not begin with a number (opened tells which).
std::optional<int> readLeadingInteger(const std::string& fileName, bool* opened);

// The value of the first line whose key equals key exactly, as a decimal integer.
std::optional<int> readConfigInteger(const std::string& fileName, const char* key);

struct TableSizes {
  std::optional<int> coils;  // above the coil base 16384
  std::optional<int> discreteInputs;
  std::optional<int> holding;  // above the holding base 1024
  std::optional<int> inputRegisters;
};

struct ServerConfig {
  int port       = 502;
  int maxClients = 64;  // connections beyond this are accepted and closed at once
  TableSizes sizes;
};

ServerConfig readServerConfig(const std::string& fileName);

}  // namespace regserver
