// The loop: which task runs in which slot, the pass sequence across seconds, the sleep
// and its once-a-second tuning, the stop word.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "alarmtasks.h"
#include "daemon_fixture.h"
#include "energisationtasks.h"
#include "looptasks.h"
#include "mainloop.h"
#include "networksettings.h"
#include "optimisationtasks.h"
#include "orxtime/clocktags.h"
#include "rappingtask.h"
#include "schedule.h"
#include "softwareupdate.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"
#include "statistics.h"
#include "timesettings.h"
#include "vimeasurement.h"

namespace {

using orvix::testing::DaemonTest;

constexpr int kModbusRefresh = 1378;
constexpr int kSlotsPerSecond = 1398;

// The tasks the selector picks, in their order within a pass.
template <typename Selected>
std::vector<LoopTask> tasksWhere(Selected selected) {
  std::vector<LoopTask> tasks;
  for (const ScheduledTask& task : loopSchedule()) {
    if (selected(task)) tasks.push_back(task.run);
  }
  return tasks;
}

// The names of the tasks, for the failure message only.
std::string namesOf(const std::vector<LoopTask>& tasks) {
  std::string names;
  for (const LoopTask run : tasks) {
    for (const ScheduledTask& task : loopSchedule()) {
      if (task.run == run) names += std::string(task.name) + "; ";
    }
  }
  return names;
}

TEST(Schedule, EachSlotRunsItsFunctionsInOrder) {
  using Tasks = std::vector<LoopTask>;
  const std::map<int, Tasks> expected = {
      {1, {updateDateTag, runSetSpmString, requestMasterSync}},
      {2, {runKoraOptimation, runCheckModeSettings, runCalculateImpedance, countModbusRefresh}},
      {3, {recordAlarms, publishStatusWord}},
      {4, {clearHistoryOnRequest, flagErrorsInLogFile}},
      {5, {saveOnRequest, restoreDefaultsOnRequest}},
      {6, {runKoraReference, runKoraTimer, runMira}},
      {7, {runSetCurrDens, runSetAuxCurr, publishErrorStatistics, runCollectorArea, dumpSystemInfoRequest,
           restartDspOnRequest}},
      {8, {reportUnsavedSettings, raiseLocalRemoteWarning}},
      {9, {holdNetworkEdit, countIpChangeSeconds, applyNetworkRequest, applyTimeRequest}},
      {10, {countStatistics, serveViRequests}},
      {11, {superviseViMeasurement}},
      {12, {runSignalTest, runRappingScheduler, runDynamicLimits, runRiseTimeCalculations, runSparkRecoveryCurve,
            handleUpdateRequest}},
      {13, {blinkLeds, startTimerSimulation, runViMin}},
      {19, {runClockTasks}},
  };
  for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
    const int repeated = slot >= 15 && slot <= 18 ? slot - 13 : slot;  // 15..18 repeat 2..5
    const auto found = expected.find(repeated);
    const Tasks want = found != expected.end() ? found->second : Tasks{};
    const Tasks have = tasksWhere([slot](const ScheduledTask& task) { return task.when.has(slot); });
    EXPECT_EQ(have, want) << "slot " << slot << " runs " << namesOf(have);
  }
  const Tasks everyPass = {foldSumAlarms,         runUpdateTronFile,      runFunctionalLimiter,
                           runHandleTronCmd,      flagViCancelPossible,   triggerTrendLog,
                           runUpdateFunFiringRatio, restartScopeOnRequest, runSparkStatistics,     takeInvertedResetInput,
                           runSparkRecoveryRotation, runCurrDensWhileMeasuring, countAlarmReset};
  const Tasks havePass = tasksWhere([](const ScheduledTask& task) { return task.when.bits == kEveryPass.bits; });
  EXPECT_EQ(havePass, everyPass) << namesOf(havePass);
  EXPECT_EQ(tasksWhere([](const ScheduledTask& task) { return task.when.bits == kEachNewSecond.bits; }),
            Tasks{handleHeartBeat});

  // Slot 19 by the seconds of the day t: t % period == phase.
  struct Clock {
    LoopTask run;
    int period;
    int phase;
  };
  const Clock clock[] = {
      {writeHardwareClock, 3600, 0}, {checkModbusLogSize, 60, 1},  {endIpChangeWait, 60, 1},
      {updateIdleCurrentLimit, 60, 1}, {takeModbusPollRate, 10, 2}, {runUpdateComSpeed, 10, 2},
      {runSetPositionString, 10, 2}, {runPulseCurrentRatio, 10, 2}, {checkDspUpdate, 10, 2},
      {checkUpdateFiles, 10, 2},     {runMaxMediumDvDt, 3, 0},      {runMasterModeSelector, 3, 0},
      {refreshNetworkInfo, 3, 0},
  };
  ASSERT_EQ(clockSchedule().size(), std::size(clock));
  for (size_t i = 0; i < std::size(clock); ++i) {
    EXPECT_EQ(clockSchedule()[i].run, clock[i].run) << clockSchedule()[i].name;
    EXPECT_EQ(clockSchedule()[i].period, clock[i].period) << clockSchedule()[i].name;
    EXPECT_EQ(clockSchedule()[i].phase, clock[i].phase) << clockSchedule()[i].name;
  }
}

TEST(Schedule, ChecksRefuseFaultyRows) {
  EXPECT_EQ(checkSchedules(loopSchedule(), clockSchedule()), "");
  const ScheduledTask faulty[] = {
      {countModbusRefresh, inSlots({2}), "a"},
      {countModbusRefresh, inSlots({20}), "b"},
      {saveOnRequest, SlotSet{0}, "a"},
      {restartDspOnRequest, inSlots({0}), "c"},
  };
  const ClockTask faultyClock[] = {{writeHardwareClock, 10, 10, "d"}};
  const std::string problems = checkSchedules(faulty, faultyClock);
  EXPECT_NE(problems.find("b: function scheduled twice"), std::string::npos) << problems;
  EXPECT_NE(problems.find("b: no slot, or a slot outside 1..19"), std::string::npos) << problems;
  EXPECT_NE(problems.find("a: no slot"), std::string::npos) << problems;
  EXPECT_NE(problems.find("a: name used twice"), std::string::npos) << problems;
  EXPECT_NE(problems.find("c: no slot, or a slot outside 1..19"), std::string::npos) << problems;
  EXPECT_NE(problems.find("d: phase outside its period"), std::string::npos) << problems;
}

TEST(TimeSync, AdjustmentFollowsTheSlotCount) {
  const std::map<int, int> change = {{30, 7350}, {24, 150}, {23, 0}, {22, 0}, {21, -250}, {10, -3000}};
  orvix::testing::PrivateStore store;
  shmStructbZero();
  int code = 0;
  dbInitSharedInt(kSlotsPerSecond, 0, &code);
  for (const auto& [slots, delta] : change) {
    Daemon daemon;
    daemon.slotCounter = slots;
    daemon.lastNewSecondMs = 5000;
    timeSync(daemon, 6000);
    EXPECT_EQ(daemon.sleepAdjustment, delta) << slots;
    EXPECT_EQ(daemon.slotCounter, 0);
    EXPECT_EQ(dbReadValueByHandle(kSlotsPerSecond), slots);
  }
  // Only a loop second longer than 1.1 s marks a host too slow to keep the second; its 21
  // slots are then rated by the passes of a real second (1.4 s: 15 passes).
  const std::map<int, int> lateChange = {{1001, -250}, {1100, -250}, {1101, 19 * 250 - 5500}, {1400, 15 * 250 - 5500}};
  for (const auto& [secondMs, delta] : lateChange) {
    Daemon late;
    late.slotCounter = 21;
    late.lastNewSecondMs = 5000;
    timeSync(late, 5000 + secondMs);
    EXPECT_EQ(late.sleepAdjustment, delta) << secondMs << " ms";
    EXPECT_EQ(late.lastNewSecondMs, 5000 + secondMs);
  }
  Daemon growing;
  growing.sleepAdjustment = 16000;  // still below the growth bound
  growing.slotCounter = 25;
  timeSync(growing, 1000);
  EXPECT_EQ(growing.sleepAdjustment, 16600);
  Daemon slowed;
  slowed.sleepAdjustment = 30000;  // beyond its bound: no further growth
  slowed.slotCounter = 30;
  timeSync(slowed, 1000);
  EXPECT_EQ(slowed.sleepAdjustment, 30000);
  Daemon hurried;
  hurried.sleepAdjustment = -10000;
  hurried.slotCounter = 10;
  timeSync(hurried, 1000);
  EXPECT_EQ(hurried.sleepAdjustment, -10000);
}

class PassTest : public DaemonTest {};

TEST_F(PassTest, SecondsOfSlotsAndTheirSleeps) {
  setClock(11, 12, 13);
  cust_time(620);
  std::vector<int> sleeps;
  int refreshesInSlots = 0;
  for (int pass = 0; pass < 23; ++pass) {
    const int before = tag(kModbusRefresh);
    const PassOutcome outcome = runPass(daemon_);
    EXPECT_FALSE(outcome.stop);
    if (tag(kModbusRefresh) != before) ++refreshesInSlots;
    sleeps.push_back(outcome.sleepMicros);
  }
  EXPECT_EQ(refreshesInSlots, 2);
  EXPECT_EQ(sleeps[0], 100);     // the first pass counts as work
  EXPECT_EQ(sleeps[1], 30000);
  EXPECT_EQ(sleeps[20], 20000);  // from slot 20 on the passes come faster
  EXPECT_EQ(daemon_.slotCounter, 23);  // still in the same second: no resynchronisation
  EXPECT_EQ(daemon_.passCounter, 24);

  setClock(11, 12, 14);
  runPass(daemon_);
  EXPECT_EQ(tag(kSlotsPerSecond), 23);
  EXPECT_EQ(daemon_.slotCounter, 1);  // the next pass is slot 1 of the new second
  EXPECT_EQ(tag(1102), 11 * 3600 + 12 * 60 + 14);

  for (int pass = 0; pass < 200; ++pass) runPass(daemon_);
  EXPECT_EQ(daemon_.passCounter, 100);
}

TEST_F(PassTest, EveryNewSecondIsOneResynchronisation) {
  int second = 20;
  setClock(12, 0, second);
  cust_time(620);
  int previousRefresh = tag(kModbusRefresh);
  for (int simulated = 0; simulated < 5; ++simulated) {
    for (int pass = 0; pass < 22; ++pass) runPass(daemon_);
    setClock(12, 0, ++second);
    runPass(daemon_);
    EXPECT_EQ(tag(kSlotsPerSecond), simulated == 0 ? 22 : 23) << simulated;
    EXPECT_EQ(tag(kModbusRefresh) - previousRefresh, 2);
    previousRefresh = tag(kModbusRefresh);
  }
}

TEST_F(PassTest, StopWordEndsTheLoop) {
  setTag(1101, kStopWord);
  EXPECT_TRUE(runPass(daemon_).stop);
  testing::internal::CaptureStdout();
  EXPECT_EQ(runMainLoop(daemon_), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("[DEBUG] \33[31mSYSTEM_STOP\33[0m"), std::string::npos);
  EXPECT_NE(out.find("exit db "), std::string::npos);
}

TEST_F(PassTest, WorkSkipsTheLongSleep) {
  daemon_.workFlag = false;
  daemon_.slotCounter = 5;
  setTag(107, 1);  // vxo_defpar: restore defaults is work
  testing::internal::CaptureStdout();
  EXPECT_EQ(runPass(daemon_).sleepMicros, 100);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(runPass(daemon_).sleepMicros, 30000);
  daemon_.sleepAdjustment = 4000;
  EXPECT_EQ(runPass(daemon_).sleepMicros, 34000);
}

}  // namespace
