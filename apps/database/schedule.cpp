#include "schedule.h"

#include <set>

#include "alarmtasks.h"
#include "energisationtasks.h"
#include "looptasks.h"
#include "networksettings.h"
#include "optimisationtasks.h"
#include "rappingtask.h"
#include "softwareupdate.h"
#include "statistics.h"
#include "timesettings.h"
#include "vimeasurement.h"

namespace {

// clang-format off
// The loop's work, in the order it runs within a pass.
// function                   when                 name
constexpr ScheduledTask kLoopSchedule[] = {
    {updateDateTag,             inSlots({1}),        "date"},
    {runSetSpmString,           inSlots({1}),        "setSpmString"},
    {requestMasterSync,         inSlots({1}),        "master sync at 23:59:00"},
    {runKoraOptimation,         inSlots({2, 15}),    "KORAOptimation"},
    {runCheckModeSettings,      inSlots({2, 15}),    "checkModeSettings"},
    {runCalculateImpedance,     inSlots({2, 15}),    "calculateImpedance"},
    // Last in its slot: the register server's pass that it starts finds this pass's values.
    {countModbusRefresh,        inSlots({2, 15}),    "Modbus refresh counter"},
    {recordAlarms,              inSlots({3, 16}),    "handleAlarms"},
    {publishStatusWord,         inSlots({3, 16}),    "setStatusWord"},
    {clearHistoryOnRequest,     inSlots({4, 17}),    "clearAndStoreErrorHistory"},
    {flagErrorsInLogFile,       inSlots({4, 17}),    "errors in log file"},
    {saveOnRequest,             inSlots({5, 18}),    "checkSaveSettings"},
    {restoreDefaultsOnRequest,  inSlots({5, 18}),    "checkSetDefaults"},
    {runKoraReference,          inSlots({6}),        "KORAReferenceStateLoop"},
    {runKoraTimer,              inSlots({6}),        "KORAOptimationStateLoop"},
    {runMira,                   inSlots({6}),        "MIRA"},
    {runSetCurrDens,            inSlots({7}),        "setCurrDens"},
    {runSetAuxCurr,             inSlots({7}),        "setAuxCurr"},
    {publishErrorStatistics,    inSlots({7}),        "updateErrorStatistics"},
    {runCollectorArea,          inSlots({7}),        "collectorArea"},
    {dumpSystemInfoRequest,     inSlots({7}),        "updateFtpSystemInfo"},
    {restartDspOnRequest,       inSlots({7}),        "restartDspCheck"},
    {reportUnsavedSettings,     inSlots({8}),        "checkForModifications"},
    {raiseLocalRemoteWarning,   inSlots({8}),        "checkExternalControlBlocked"},
    {holdNetworkEdit,           inSlots({9}),        "network edit pending"},
    {countIpChangeSeconds,      inSlots({9}),        "IP-change counter"},
    {applyNetworkRequest,       inSlots({9}),        "apply network settings"},
    {applyTimeRequest,          inSlots({9}),        "apply time settings"},
    {countStatistics,           inSlots({10}),       "updateStatistics"},
    {serveViRequests,           inSlots({10}),       "V-I requests"},
    {superviseViMeasurement,    inSlots({11}),       "V-I supervision"},
    {runSignalTest,             inSlots({12}),       "signalTestStateLoop"},
    {runRappingScheduler,       inSlots({12}),       "rappingShedulderClient"},
    {runDynamicLimits,          inSlots({12}),       "dynamicLimits"},
    {runRiseTimeCalculations,   inSlots({12}),       "handleRiseTimeCalculations"},
    {runSparkRecoveryCurve,     inSlots({12}),       "sparkRecoveryCurve"},
    {handleUpdateRequest,       inSlots({12}),       "handleUpdate"},
    {blinkLeds,                 inSlots({13}),       "signalLed"},
    {startTimerSimulation,      inSlots({13}),       "runTimerSimulation"},
    {runViMin,                  inSlots({13}),       "viMin"},
    {runClockTasks,             inSlots({19}),       "clock tasks"},
    {handleHeartBeat,           kEachNewSecond,      "handleHeartBeat"},
    {foldSumAlarms,             kEveryPass,          "setSumAlarm"},
    {runUpdateTronFile,         kEveryPass,          "updateTronFile"},
    {runFunctionalLimiter,      kEveryPass,          "functionalLimiter"},
    {runHandleTronCmd,          kEveryPass,          "handleTronCmd"},
    {flagViCancelPossible,      kEveryPass,          "controlCancelPossibleFlag"},
    {triggerTrendLog,           kEveryPass,          "letsLog"},
    {runUpdateFunFiringRatio,   kEveryPass,          "updateFunFiringRatio"},
    {restartScopeOnRequest,     kEveryPass,          "scopeGrabReset"},
    {runSparkStatistics,        kEveryPass,          "sparkStatistics"},
    {takeInvertedResetInput,    kEveryPass,          "handleSumAlarmResetRev"},
    {runSparkRecoveryRotation,  kEveryPass,          "handleSPMtoSparcRecovery"},
    {runCurrDensWhileMeasuring, kEveryPass,          "setCurrDens while measuring"},
    {countAlarmReset,           kEveryPass,          "alarm-reset counter"},
};

// Slot 19, by the seconds of the day t: runs when t % period == phase, in this order.
// function                 period  phase  name
constexpr ClockTask kClockSchedule[] = {
    {writeHardwareClock,      3600,   0,     "hwclock -w"},
    {checkModbusLogSize,      60,     1,     "Modbus log size"},
    {endIpChangeWait,         60,     1,     "IP-change time-out"},
    {updateIdleCurrentLimit,  60,     1,     "maximum idle current"},
    {takeModbusPollRate,      10,     2,     "Modbus poll rate"},
    {runUpdateComSpeed,       10,     2,     "updateComSpeed"},
    {runSetPositionString,    10,     2,     "setPositionString"},
    {runPulseCurrentRatio,    10,     2,     "pulseCurrentRatioCalculation"},
    {checkDspUpdate,          10,     2,     "checkDspUpdate"},
    {checkUpdateFiles,        10,     2,     "update-file check"},
    {runMaxMediumDvDt,        3,      0,     "maxMediumDvDt"},
    {runMasterModeSelector,   3,      0,     "masterModeSelector"},
    {refreshNetworkInfo,      3,      0,     "updateNetworkInfo"},
};
// clang-format on

constexpr uint32_t kSpecialBits = kEveryPass.bits | kEachNewSecond.bits;
constexpr uint32_t kSlotBits = ((1u << (kLastSlot + 1)) - 1) & ~((1u << kFirstSlot) - 1);

}  // namespace

std::span<const ScheduledTask> loopSchedule() { return kLoopSchedule; }
std::span<const ClockTask> clockSchedule() { return kClockSchedule; }

std::string checkSchedules(std::span<const ScheduledTask> loop, std::span<const ClockTask> clock) {
  std::set<LoopTask> functions;
  std::set<std::string> names;
  std::string problems;
  const auto unique = [&](LoopTask run, const char* name) {
    if (!functions.insert(run).second) problems += std::string(name) + ": function scheduled twice\n";
    if (!names.insert(name).second) problems += std::string(name) + ": name used twice\n";
  };
  for (const ScheduledTask& task : loop) {
    const uint32_t bits = task.when.bits;
    const bool special = bits == kEveryPass.bits || bits == kEachNewSecond.bits;
    if (!special && (bits == 0 || (bits & ~kSlotBits) != 0 || (bits & kSpecialBits) != 0)) {
      problems += std::string(task.name) + ": no slot, or a slot outside 1..19\n";
    }
    unique(task.run, task.name);
  }
  for (const ClockTask& task : clock) {
    if (task.period <= 0 || task.phase < 0 || task.phase >= task.period) {
      problems += std::string(task.name) + ": phase outside its period\n";
    }
    unique(task.run, task.name);
  }
  return problems;
}
