#include "startup.h"

#include <unistd.h>

#include <cstdio>

#include "alarmtasks.h"
#include "configuration.h"
#include "kora/steptable.h"
#include "looptasks.h"
#include "mira/profile.h"
#include "networksettings.h"
#include "orxtags/handles.h"
#include "orxtags/internaltags.h"
#include "orxtags/storebuilder.h"
#include "orxtime/clocktags.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "settings.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"
#include "statistics.h"
#include "tron.h"
#include "unitsetting.h"

namespace {

constexpr const char* kStoreCreatedFlag = "/tmp/SHM_CREATED";
constexpr const char* kTronFlag = "/home/root/TRON";
constexpr const char* kJustUpdatedFlag = "/home/root/JUSTUPDATED";
constexpr const char* kOwnRegisterServer = "127.0.0.1";
constexpr int kOwnRegisterServerPort = 502;

// Tags by handle
constexpr int kAltRestarted         = 15;                            // vxi_altrestartedt
constexpr int kAltProgramUpdatedDsp = 79;                            // vxi_altprogramupdatedspt
constexpr int kAlwProgramUpdatedSom = 80;                            // vxi_alwprogramupdatesomw
constexpr int kTron                 = tags::vxo_tron;                 // vxo_tron
constexpr int kSaveSet              = tags::vxo_saveset;              // vxo_saveset
constexpr int kAlwaysTripOnUpdate   = 183;                           // vxo_alwaystriponsoftupdt
constexpr int kSystemVersion        = tags::vxi_systemversion;        // vxi_systemversion
constexpr int kDateTag              = tags::vxo_date;                 // vxo_date
constexpr int kTimeTag              = tags::vxo_time;                 // vxo_time
constexpr int kCollectorArea        = tags::vxo_collectorarea;        // vxo_collectorarea
constexpr int kViMinCurrDens        = tags::vxo_vimincurrdens;        // vxo_vimincurrdens
constexpr int kAlarmCode            = internal::kAlarmSpecificCode;  // specific code of the next alarm entry
constexpr int kDebugLogHandle1      = 1264;
constexpr int kDebugLogHandle2      = 1265;
constexpr int kDebugLogTrigger      = 1271;
constexpr int kViMinCurrent         = 1350;                          // V-I minimum current

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

void stampClock() {
  cust_time(kTimeTag);
  date(kDateTag);
}

void createStore(Daemon&) {
  // A flag left by an earlier run must not announce a store that is not there yet.
  orvix::platform::removeFile(kStoreCreatedFlag);
  init_shm();
  if (!orvix::platform::touchFile(kStoreCreatedFlag)) std::fprintf(stderr, "cannot touch %s\n", kStoreCreatedFlag);
}

void defineTable(Daemon&) {
  tagstore::resetStore();
  tagstore::defineGeneratedTags();
}

void markNeverSaved(Daemon&) { tagstore::markNeverSavedTags(); }
void markNoFactoryReset(Daemon&) { tagstore::markNoFactoryResetTags(); }
void switchOffTron(Daemon&) { tagstore::switchOffTronAndTestMode(); }
void markModes(Daemon&) { tagstore::markModeSettings(); }
void setWordSwaps(Daemon&) { tagstore::setWordSwaps(); }
void defineInternal(Daemon&) { tagstore::defineInternalTags(); }

void readLoopSettings(Daemon& daemon) {
  setTag(kDebugLogHandle1, readUnitSetting("debugLogHandle1"));
  setTag(kDebugLogHandle2, readUnitSetting("debugLogHandle2"));
  daemon.maxIdleCurrent = readUnitSetting("maxIdleCurrent");
  readUnitSetting("kVoffset");
  setTag(kDebugLogTrigger, 0);
}

void defineMeasurement(Daemon&) { tagstore::defineMeasurementTags(); }

void loadKoraTables(Daemon& daemon) {
  daemon.kora.shared.Uninitialized = -1;  // the first pass with KORA on initialises it
  kora::loadKoraTable(kUnitIniFile, daemon.kora.shared);
}

void readMiraProfile(Daemon& daemon) { mira::getMiraDataFromIniFile(kUnitIniFile, daemon.mira.mira); }

void applyPort(Daemon& daemon) { applyServerPort(daemon); }

void finishDefinitions(Daemon&) {
  tagstore::finishDefinitions();
  std::printf("build date %s \n", __DATE__);
}

void protectTags(Daemon&) { openTags(false); }

void restoreSettings(Daemon& daemon) { restoreSettingsAtStartup(daemon); }

void checkTronFlag(Daemon&) {
  if (!orvix::platform::fileExists(kTronFlag)) return;
  std::printf("TRON was on at reset !\n");
  stampClock();
  usleep(1000);
  orvix::platform::removeFile(kTronFlag);
  setTag(kAltRestarted, 1);
  setTag(kAlarmCode, 0);
}

void checkJustUpdatedFlag(Daemon&) {
  if (!orvix::platform::fileExists(kJustUpdatedFlag)) return;
  std::printf("!!! controller just updated \n");
  stampClock();
  usleep(1000);
  orvix::platform::removeFile(kJustUpdatedFlag);
  if (dbReadValueByHandle(kAlwaysTripOnUpdate) != 0) {
    setTag(kAltProgramUpdatedDsp, 1);
    std::printf("trip \n");
  } else {
    setTag(kAlwProgramUpdatedSom, 1);
    std::printf("warning \n");
  }
  setTag(kAlarmCode, dbReadValueByHandle(kSystemVersion));
}

void prepareLoop(Daemon& daemon) {
  if (!daemon.modbus.create(kOwnRegisterServer, kOwnRegisterServerPort)) {
    std::fprintf(stderr, "cannot create the Modbus context\n");
  }
  setTag(kTron, 0);
  makeDSPtroff();
  stampClock();  // the first slots already work on the time of day
  setTag(kViMinCurrent, (dbReadValueByHandle(kCollectorArea) * dbReadValueByHandle(kViMinCurrDens) + 500) / 1000);
  // The limiter caps the idle current with this from the first pass, not from the first minute mark.
  updateIdleCurrentLimit(daemon);
  setTag(kSaveSet, 1);  // the first pass of slot 5 saves the settings once
}

// clang-format off
// step  function               what
constexpr StartupStep kStartupSteps[] = {
    {2,  createStore,          "create or attach the tag store"},
    {3,  defineTable,          "reset the store, run the definition table"},
    {4,  markNeverSaved,       "settings that are never saved"},
    {5,  markNoFactoryReset,   "settings a factory reset keeps"},
    {6,  switchOffTron,        "T/R set and test mode off"},
    {7,  markModes,            "actual-mode and per-mode settings"},
    {8,  setWordSwaps,         "32-bit registers high word first"},
    {9,  defineInternal,       "internal tags"},
    {10, readLoopSettings,     "debug log handles, maximum idle current"},
    {11, defineMeasurement,    "measurement tags"},
    {11, loadKoraTables,       "KORA step and field tables"},
    {11, readMiraProfile,      "MIRA power profile"},
    {12, applyPort,            "local/remote server port"},
    {13, finishDefinitions,    "name sort, versions, product code"},
    {14, loadAlarmLogSetup,    "alarm log setup file"},
    {14, protectTags,          "open tags file"},
    {15, restoreSettings,      "saved settings"},
    {16, loadErrorLog,         "error log of the last run"},
    {16, readNetworkInfo,      "network tags from eth0"},
    {16, loadStatistics,       "operating statistics"},
    {17, checkTronFlag,        "T/R set was on at reset"},
    {18, checkJustUpdatedFlag, "controller just updated"},
    {19, prepareLoop,          "Modbus context, first save"},
};
// clang-format on

}  // namespace

std::span<const StartupStep> startupSteps() { return kStartupSteps; }

void startUp(Daemon& daemon) {
  for (const StartupStep& step : kStartupSteps) step.run(daemon);
}
