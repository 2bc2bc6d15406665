#include "orxtags/handles.h"
#include "settings.h"

#include <unistd.h>

#include <cstdio>

#include "filehelpers.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace {

using orvix::platform::resolvePath;
using orvix::platform::ShellCommand;
using orvix::platform::shellQuote;

constexpr const char* kSettingsFile = "/var/lib/orvix/saveFile";
constexpr const char* kSettingsBackup = "/var/lib/orvix/saveFile.bak";
constexpr const char* kUnitIniFile = "/var/lib/orvix/orvix.ini";
constexpr const char* kScopeDataLog = "/home/ftp/scopedatalog";
constexpr const char* kSettingsLoader = "orxloadsave";
constexpr const char* kScopeProgram = "scopegrab";
constexpr long kShortestSettingsFile = 21;  // bytes; a shorter file is taken as lost

// Tags by handle
constexpr int kAle2Rest       = 35;                            // vxi_ale2rest: defaults were restored
constexpr int kTron           = tags::vxo_tron;                 // vxo_tron
constexpr int kSaveSet        = tags::vxo_saveset;              // vxo_saveset: save now
constexpr int kDefPar         = 107;                           // vxo_defpar: restore defaults
constexpr int kRestartDsp     = 133;                           // vxo_restartdsp
constexpr int kScopeGrabReset = 166;                           // vxo_scopegrabreset
constexpr int kAlarmCode      = internal::kAlarmSpecificCode;  // specific code of the next alarm entry
constexpr int kLogDepth       = internal::kTrendLogDepth;      // trend log depth
constexpr int kScopeRestarts  = 1371;                          // scope restart counter
constexpr int kFirstChanged   = 1399;                          // first changed stored setting
constexpr int kLeastLogDepth  = 240;

// I/O group modes whose values 1 and 3 are not counted as unsaved changes.
constexpr int kIoGroupModes[] = {630, 632, 634, 636};  // vxo_iogr1mode .. vxo_iogr4mode

struct DefaultText {
  int handle;
  const char* text;
};

// Default texts of the text tags, in ascending handle order.
// handle  text        tag
constexpr DefaultText kDefaultTexts[] = {
    {767,  "Orvix"},    // vxo_unit_name
    {768,  "IoGrp1"},   // vxo_iogr1name
    {769,  "IoGrp2"},   // vxo_iogr2name
    {770,  "IoGrp3"},   // vxo_iogr3name
    {771,  "IoGrp4"},   // vxo_iogr4name
    {772,  "DigAux1"},  // vxo_digaux1name
    {773,  "DigAux2"},  // vxo_digaux2name
    {774,  "DigAux3"},  // vxo_digaux3name
    {775,  "DigAux4"},  // vxo_digaux4name
    {776,  "DigAux5"},  // vxo_digaux5name
    {777,  "DigAux6"},  // vxo_digaux6name
    {778,  "DigAux7"},  // vxo_digaux7name
    {779,  "DigAux8"},  // vxo_digaux8name
    {874,  "IoGrp5"},   // vxo_iogr5name
    {1343, "A1"},       // vxi_positiontag
    {1372, "0A1"},      // vxi_spmtag
};

// Scope restart: the request starts a count of passes; the new program starts at
// kScopeStartPass and further requests are ignored until the count has run out.
constexpr uint8_t kScopeRequestPass = 149;
constexpr uint8_t kScopeStartPass = 100;

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

bool hasEmptyText(int handle) {
  int entry = 0;
  return dbGetTextIndexByHandle(handle, &entry, nullptr) && shared_mem->text.txt[entry][0] == '\0';
}

// A text tag left empty (a fresh unit, or a settings file that holds an empty text) takes
// its default text: the register server shows an empty text as "?" and stores that back,
// which would report the setting as unsaved right after every start.
void fillEmptyTexts() {
  int ignored = 0;
  for (const DefaultText& entry : kDefaultTexts) {
    if (hasEmptyText(entry.handle)) dbSetModbusTextByHandle(entry.handle, entry.text, &ignored);
  }
}

bool isIoGroupMode(int handle) {
  for (const int mode : kIoGroupModes) {
    if (mode == handle) return true;
  }
  return false;
}

void runQuoted(const char* format, const std::string& first) {
  ShellCommand command;
  command.format(format, shellQuote(first).c_str());
  orvix::platform::runShellCommand(command);
}

}  // namespace

void restoreSettingsAtStartup(const Daemon& daemon) {
  const long size = getFileSize(kSettingsFile);
  if (size >= kShortestSettingsFile) {
    std::printf("File size is greater than 20 bytes.\n");
  } else {
    std::printf(size == -1 ? "File does not exist or cannot be opened.\n" : "File size is not greater than 20 bytes.\n");
    copyFile(kSettingsBackup, kSettingsFile);
  }
  ShellCommand load;
  load.format("%s %s -ql \n", kSettingsLoader, shellQuote(resolvePath(kSettingsFile)).c_str());
  std::printf("%s", load.text());
  orvix::platform::runShellCommand(load);
  if (dbReadValueByHandle(kLogDepth) < kLeastLogDepth) setTag(kLogDepth, kLeastLogDepth);
  fillEmptyTexts();

  const std::string saveFile = resolvePath(daemon.path.saveFile);
  if (checkForModifications()) {
    std::printf("save file needs to be re-saved!!! \n");
    ShellCommand resave;
    resave.format("%s %s -s \n", shellQuote(resolvePath(daemon.path.program) + "a_loadSave").c_str(),
                  shellQuote(saveFile).c_str());
    orvix::platform::runShellCommand(resave);
  } else {
    ShellCommand backup;
    backup.format("cp %s %s \n", shellQuote(saveFile).c_str(), shellQuote(saveFile + ".bak").c_str());
    orvix::platform::runShellCommand(backup);
    orvix::platform::runShellCommand("sync");
  }
  setTag(kSaveSet, 0);
}

void checkSaveSettings(const Daemon& daemon) {
  if (dbReadValueByHandle(kSaveSet) == 0) return;
  std::printf("[DEBUG] \33[32mSAVESTTINGS CALLED to %s\33[0m\n", daemon.path.saveFile);
  ShellCommand save;
  save.format("%s %s -s &\n", kSettingsLoader, shellQuote(resolvePath(daemon.path.saveFile)).c_str());
  orvix::platform::runShellCommand(save);
  setTag(kSaveSet, 0);
  orvix::platform::runShellCommand("sync");
}

bool checkSetDefaults() {
  if (dbReadValueByHandle(kDefPar) != 1) return false;
  const int changed = dbFactoryReset();
  std::printf("values reseted by operator %d \n", changed);
  setTag(kAlarmCode, changed);
  setTag(kDefPar, 0);
  for (const DefaultText& entry : kDefaultTexts) {
    std::printf("%d %s \n", entry.handle, entry.text);
    int ignored = 0;
    dbSetModbusTextByHandle(entry.handle, entry.text, &ignored);
  }
  setTag(kAle2Rest, 1);
  return true;
}

bool restartDspCheck(const Daemon& daemon) {
  if (dbReadValueByHandle(kRestartDsp) != 1) return false;
  setTag(kRestartDsp, 0);
  setTag(kTron, 0);
  runQuoted("%s &", resolvePath(daemon.path.dspProgramPath) + "/reset");
  return true;
}

bool checkForModifications() {
  for (int handle = 0; handle < kNoOfHandles; ++handle) {
    if (dbParameterSaveStatus(handle) != kChangedSinceSave) continue;
    if (handle == 0) return true;
    if (isIoGroupMode(handle)) {
      const int mode = dbReadValueByHandle(handle);
      if (mode == 1 || mode == 3) continue;
    }
    setTag(kFirstChanged, handle);
    return true;
  }
  return false;
}

void scopeGrabReset(Daemon& daemon) {
  uint8_t& countdown = daemon.scopeRestartCounter;
  // The request is taken (or, during a restart, ignored) and cleared at once, so that a
  // request never lingers to restart the program again when the count runs out.
  const bool requested = dbReadValueByHandle(kScopeGrabReset) == 1;
  if (requested) setTag(kScopeGrabReset, 0);
  if (requested && countdown == 0) {
    std::printf("kill scopegrab prog\n");
    dbIncrementByHandle(kScopeRestarts);
    countdown = kScopeRequestPass;
    return;
  }
  if (countdown == kScopeStartPass) {
    runQuoted("rm -f %s", resolvePath(kScopeDataLog));
    std::printf("start scopegrab prog\n");
    ShellCommand start;
    start.format("%s %s &", kScopeProgram, shellQuote(resolvePath(kUnitIniFile)).c_str());
    std::printf("%s \n", start.text());
    usleep(5);
    orvix::platform::runShellCommand(start);
    countdown = kScopeStartPass - 1;
    return;
  }
  if (countdown != 0) --countdown;
}
