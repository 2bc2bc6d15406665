#include "configuration.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "inihandler/inihandler.h"
#include "sharedmem/tagaccess.h"

namespace {

constexpr int kServerPortTag = 1132;  // local/remote server port
constexpr int kLowestPort = 1025;
constexpr int kHighestPort = 59999;
constexpr size_t kAlarmLogCountSize = 10;  // "noOfAlarmLogfiles": at most 9 characters

enum class KeyKind { kReadOnly, kPort, kPath };

struct ConfigKey {
  const char* key;
  KeyKind kind;
  char (paths::*target)[kPathSize];  // kPath only
};

// Keys in the order they are read.
// key                       kind                target
const ConfigKey kConfigKeys[] = {
    {"noOfAlarmLogfiles",      KeyKind::kReadOnly, nullptr},
    {"regserverLogPath",       KeyKind::kPath,     &paths::modbusLog},
    {"localRemoteServerPort",  KeyKind::kPort,     nullptr},
    {"alarmLogPath",           KeyKind::kPath,     &paths::alarmLog},
    {"storeFilePath",          KeyKind::kPath,     &paths::store},
    {"scriptsPath",            KeyKind::kPath,     &paths::script},
    {"programPath",            KeyKind::kPath,     &paths::program},
    {"saveFilePath",           KeyKind::kPath,     &paths::saveFile},
    {"alarmLogSetupPath",      KeyKind::kPath,     &paths::alarmLogSetup},
    {"dspProgramPath",         KeyKind::kPath,     &paths::dspProgramPath},
};

bool readKey(INIFile* ini, const ConfigKey& entry, Daemon& daemon) {
  char alarmLogCount[kAlarmLogCountSize];
  switch (entry.kind) {
    case KeyKind::kReadOnly:
      return ini_get_string(ini, entry.key, alarmLogCount, sizeof alarmLogCount) != 0;
    case KeyKind::kPort:
      return ini_get_int(ini, entry.key, &daemon.serverPort) != 0;
    case KeyKind::kPath:
      return ini_get_string(ini, entry.key, daemon.path.*entry.target, kPathSize) != 0;
  }
  return false;
}

using IniPointer = std::unique_ptr<INIFile, decltype(&ini_destroy)>;

}  // namespace

void readConfiguration(const char* iniFile, Daemon& daemon) {
  IniPointer ini(ini_create(), &ini_destroy);
  if (ini == nullptr) {
    std::fprintf(stderr, "Error reading %s: %s\n", iniFile, std::strerror(ENOMEM));
    return;
  }
  errno = 0;
  if (ini_read_file(ini.get(), iniFile) != 1) {
    std::fprintf(stderr, "Error reading %s: %s\n", iniFile, std::strerror(errno != 0 ? errno : EINVAL));
  }
  for (const ConfigKey& entry : kConfigKeys) {
    if (!readKey(ini.get(), entry, daemon)) {
      std::fprintf(stderr, "Missing setting %s: %s\n", entry.key, std::strerror(ENOENT));
    }
  }
  daemon.path.iniFile = iniFile;
}

void applyServerPort(const Daemon& daemon) {
  if (daemon.serverPort < kLowestPort || daemon.serverPort > kHighestPort) return;
  int ignored = 0;
  dbSetValueByHandle(kServerPortTag, daemon.serverPort, &ignored);
}
