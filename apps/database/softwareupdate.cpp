#include "softwareupdate.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orxtags/handles.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "sharedmem/tagaccess.h"
#include "unitsetting.h"

namespace {

namespace fs = std::filesystem;
using orvix::platform::resolvePath;
using orvix::platform::shellQuote;

// clang-format off
// Tags by handle
constexpr int kUpdateAvailable = 91;                      // vxi_updateavailable: offered to the operator
constexpr int kUpdateExecute   = 193;                     // vxo_updateexecute
constexpr int kUpdateRemove    = 194;                     // vxo_updateremove
constexpr int kUpdateSysInfo   = 195;                     // vxo_updateftpsysinfo
constexpr int kSystemState     = internal::kSystemState;  // 470 ends every program
// clang-format on

constexpr int kStopWord                 = 470;
constexpr int kLowestUpdateCounter      = -999999;
constexpr int kUpdateOfferCounter       = -1;  // below: offer a manual update
constexpr int kUpdateExecuteCounter     = 3;   // from here: execute an automatic update
constexpr const char* kFtpDirectory     = "/home/ftp";
constexpr const char* kUpdatePrefix     = "vxupdate";
constexpr const char* kAutoUpdatePrefix = "vxupdateAuto";
constexpr const char* kDspFilePrefix    = "ORX";
constexpr const char* kMovingHexFlag    = "/home/root/orvix/MOVINGHEX";
constexpr const char* kSystemInfoScript = "/home/root/orvix/fileDump.sh";
constexpr const char* kCrbMessage       = "ORVIX DSP .CRB file, move before programming\n";
constexpr const char* kHexMessage       = "ORVIX DSP .hex file, move before programming\n";

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}
int tag(int handle) { return dbReadValueByHandle(handle); }

// Regular files of the FTP area whose names start with prefix and end with suffix, by name.
std::vector<fs::path> ftpFiles(std::string_view prefix, std::string_view suffix = {}) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(resolvePath(kFtpDirectory), error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() >= prefix.size() + suffix.size() && name.starts_with(prefix) && name.ends_with(suffix) &&
        entry.is_regular_file(error)) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The names come from whoever uploads them: they reach the shell only as quoted words.
void moveToProgramDirectory(const Daemon& daemon, const fs::path& file, const char* target) {
  orvix::platform::ShellCommand command;
  command.format("mv %s %s", shellQuote(file.string()).c_str(),
                 shellQuote(resolvePath(daemon.path.dspProgramPath) + "/" + target).c_str());
  orvix::platform::runShellCommand(command);
}

void startDecipher(const Daemon& daemon) {
  std::printf("Decipher\n");
  const std::string directory = resolvePath(daemon.path.dspProgramPath);
  orvix::platform::ShellCommand command;
  command.format("%s %s &", shellQuote(directory + "/dcrb").c_str(), shellQuote(directory).c_str());
  orvix::platform::runShellCommand(command);
}

}  // namespace

bool checkDspUpdate(Daemon& daemon) {
  if (const std::vector<fs::path> enciphered = ftpFiles(kDspFilePrefix, ".vxd"); !enciphered.empty()) {
    std::printf("%s", kCrbMessage);
    moveToProgramDirectory(daemon, enciphered.front(), "dsp.CRB");
    startDecipher(daemon);
    return true;
  }
  if (readUnitSettingText("dspUpdateDebug") != "Yes") return false;
  if (const std::vector<fs::path> plain = ftpFiles(kDspFilePrefix, ".CRB"); !plain.empty()) {
    std::printf("%s", kCrbMessage);
    moveToProgramDirectory(daemon, plain.front(), "dsp.CRB");
    startDecipher(daemon);
    return true;
  }
  if (const std::vector<fs::path> image = ftpFiles(kDspFilePrefix, ".hex"); !image.empty()) {
    std::printf("%s", kHexMessage);
    orvix::platform::touchFile(kMovingHexFlag);
    moveToProgramDirectory(daemon, image.front(), "dsp.hex");
    return true;
  }
  return false;
}

bool checkUpdateFiles(Daemon& daemon) {
  int& counter = daemon.updateCounter;
  if (ftpFiles(kUpdatePrefix).empty()) {
    counter = 0;
    setTag(kUpdateExecute, 0);
    setTag(kUpdateAvailable, 0);
  } else if (!ftpFiles(kAutoUpdatePrefix).empty()) {
    // An automatic update is executed after it has been seen on three checks.
    setTag(kUpdateAvailable, 0);
    ++counter;
    setTag(kUpdateRemove, 0);
    if (counter <= 1) {
      setTag(kUpdateExecute, 0);
      if (counter < kUpdateOfferCounter) setTag(kUpdateAvailable, 1);
    }
    if (counter >= kUpdateExecuteCounter) setTag(kUpdateExecute, 1);
  } else {
    // A manual update is offered to the operator.
    counter = std::max(counter - 1, kLowestUpdateCounter);
    if (counter < kUpdateOfferCounter) setTag(kUpdateAvailable, 1);
    if (counter >= kUpdateExecuteCounter) setTag(kUpdateExecute, 1);
  }
  return true;
}

void handleUpdate() {
  if (tag(kUpdateRemove) != 1 && tag(kUpdateExecute) != 1) return;
  if (tag(kUpdateRemove) == 1) {
    std::error_code error;
    for (const fs::path& package : ftpFiles(kUpdatePrefix)) fs::remove(package, error);
    std::printf("delete update \n");
  } else {
    std::printf("execute update \n");
    setTag(kSystemState, kStopWord);
  }
  setTag(kUpdateRemove, 0);
  setTag(kUpdateAvailable, 0);
}

void updateFtpSystemInfo() {
  if (tag(kUpdateSysInfo) == 0) return;
  orvix::platform::ShellCommand command;
  command.format("%s &", shellQuote(resolvePath(kSystemInfoScript)).c_str());
  orvix::platform::runShellCommand(command);
  setTag(kUpdateSysInfo, 0);
}

bool handleUpdateRequest(Daemon&) {
  // An automatic package is never offered, only flagged for execution: it is handled too.
  if (tag(kUpdateAvailable) != 1 && tag(kUpdateExecute) != 1) return false;
  handleUpdate();
  return false;
}

bool dumpSystemInfoRequest(Daemon&) {
  updateFtpSystemInfo();
  return false;
}
