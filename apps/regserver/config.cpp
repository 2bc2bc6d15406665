#include "config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace regserver {

namespace {
constexpr int kFieldLength = 127;  // longest key and longest value of a line

FILE* openConfig(const std::string& fileName) {
  if (fileName.empty()) return nullptr;
  return std::fopen(orvix::platform::resolvePath(fileName).c_str(), "r");
}
}  // namespace

std::optional<int> readLeadingInteger(const std::string& fileName, bool* opened) {
  FILE* file = openConfig(fileName);
  *opened    = file != nullptr;
  if (file == nullptr) return std::nullopt;
  int value           = 0;
  const bool isNumber = std::fscanf(file, "%d", &value) == 1;
  std::fclose(file);
  return isNumber ? std::optional<int>(value) : std::nullopt;
}

std::optional<int> readConfigInteger(const std::string& fileName, const char* key) {
  FILE* file = openConfig(fileName);
  if (file == nullptr) return std::nullopt;
  std::optional<int> result;
  char line[2 * kFieldLength + 8];
  while (!result && std::fgets(line, sizeof line, file) != nullptr) {
    line[std::strcspn(line, "\n")] = '\0';
    char* equals                   = std::strchr(line, '=');
    if (equals == nullptr || equals - line > kFieldLength) continue;
    *equals = '\0';
    if (std::strcmp(line, key) == 0) result = std::atoi(equals + 1);
  }
  std::fclose(file);
  return result;
}

ServerConfig readServerConfig(const std::string& fileName) {
  ServerConfig config;
  if (auto port = readConfigInteger(fileName, "port"); port && *port > 0 && *port < 65536) config.port = *port;
  if (auto clients = readConfigInteger(fileName, "max_clients"); clients && *clients > 0) config.maxClients = *clients;
  config.sizes.coils          = readConfigInteger(fileName, "nr_coils");
  config.sizes.discreteInputs = readConfigInteger(fileName, "nr_diginp");
  config.sizes.holding        = readConfigInteger(fileName, "nr_holding");
  config.sizes.inputRegisters = readConfigInteger(fileName, "nr_input");
  return config;
}

}  // namespace regserver
