#include "startup.h"

#include <argp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "inihandler/inihandler.h"

const char* argp_program_version = "scopegrab 1.0";

namespace scopegrab {
namespace {

constexpr const char* kDelimiterKey = "scopegrabDelimiter";
constexpr const char* kLogPathKey   = "scopedatalogFilePath";

// clang-format off
// long name   key  argument        flags  help
const argp_option kOptions[] = {
    {"config",  'c', "CONFIG_FILE", 0,     "Specify the configuration file", 0},
    {"verbose", 'v', nullptr,       0,     "Produce verbose output",         0},
    {},
};
// clang-format on

struct Parsed {
  Options options;
  bool configGiven = false;
};

error_t parseOption(int key, char* arg, argp_state* state) {
  auto* parsed = static_cast<Parsed*>(state->input);
  switch (key) {
    case 'c':
      parsed->options.configFile = arg;
      parsed->configGiven        = true;
      return 0;
    case 'v':
      parsed->options.verbose = true;
      return 0;
    case ARGP_KEY_ARG:
      // Further arguments are accepted; the first names the configuration unless -c does.
      if (!parsed->configGiven && state->arg_num == 0) parsed->options.configFile = arg;
      return 0;
    default:
      return ARGP_ERR_UNKNOWN;
  }
}

struct IniDeleter {
  void operator()(INIFile* ini) const { ini_destroy(ini); }
};

}  // namespace

Options parseOptions(int argc, char** argv) {
  Parsed parsed;
  const argp parser{kOptions, parseOption, nullptr, nullptr, nullptr, nullptr, nullptr};
  argp_parse(&parser, argc, argv, 0, nullptr, &parsed);
  return parsed.options;
}

bool readConfiguration(const char* configFile, Global& global) {
  std::unique_ptr<INIFile, IniDeleter> ini(ini_create());
  errno = 0;
  if (ini == nullptr || ini_read_file(ini.get(), configFile) != 1) {
    std::fprintf(stderr, "Error opening config file: %s", std::strerror(errno != 0 ? errno : ENOENT));
    return false;
  }
  char value[kIniFieldSize] = {};
  if (ini_get_string(ini.get(), kDelimiterKey, value, sizeof value) != 1) {
    std::fprintf(stderr, "Error opening config file: %s missing setting %s", configFile, kDelimiterKey);
    return false;
  }
  global.delim[0] = value[0];
  global.delim[1] = '\0';
  if (ini_get_string(ini.get(), kLogPathKey, value, sizeof value) != 1) {
    std::fprintf(stderr, "Error opening config file: %s missing setting %s", configFile, kLogPathKey);
    return false;
  }
  std::snprintf(global.logFilePath, sizeof global.logFilePath, "%s", value);
  std::snprintf(global.iniFile, sizeof global.iniFile, "%s", configFile);
  return true;
}

}  // namespace scopegrab
