// The loop: which task runs in which slot, the pass sequence across seconds, the sleep
// and its once-a-second tuning, the stop word.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "daemon_fixture.h"
#include "looptasks.h"
#include "mainloop.h"
#include "orxtime/clocktags.h"
#include "schedule.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace {

using orvix::testing::DaemonTest;

constexpr int kModbusRefresh = 1378;
constexpr int kSlotsPerSecond = 1398;

std::vector<int> slotsOf(const char* name) {
  for (const ScheduledTask& task : loopSchedule()) {
    if (std::string(task.name) != name) continue;
    std::vector<int> slots;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
      if (task.when.has(slot)) slots.push_back(slot);
    }
    return slots;
  }
  ADD_FAILURE() << name << " is not scheduled";
  return {};
}

TEST(Schedule, TasksInTheirSlots) {
  const std::map<std::string, std::vector<int>> expected = {
      {"date", {1}},
      {"master sync at 23:59:00", {1}},
      {"Modbus refresh counter", {2, 15}},
      {"errors in log file", {4, 17}},
      {"checkSaveSettings", {5, 18}},
      {"checkSetDefaults", {5, 18}},
      {"restartDspCheck", {7}},
      {"checkForModifications", {8}},
      {"IP-change counter", {9}},
      {"V-I supervision", {11}},
      {"clock tasks", {19}},
  };
  for (const auto& [name, slots] : expected) EXPECT_EQ(slotsOf(name.c_str()), slots) << name;
  for (const ScheduledTask& task : loopSchedule()) {
    const std::string name = task.name;
    if (name == "handleHeartBeat") {
      EXPECT_EQ(task.when.bits, kEachNewSecond.bits);
    }
    if (name == "scopeGrabReset" || name == "alarm-reset counter") {
      EXPECT_EQ(task.when.bits, kEveryPass.bits);
    }
  }
  // Within slots 5 and 18 the save request is seen before a restore of defaults.
  std::vector<std::string> order;
  for (const ScheduledTask& task : loopSchedule()) {
    if (task.when.has(5)) order.push_back(task.name);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"checkSaveSettings", "checkSetDefaults"}));
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
  // A loop second of 1.4 s: 21 slots are 15 passes of a real second.
  Daemon late;
  late.slotCounter = 21;
  late.lastNewSecondMs = 5000;
  timeSync(late, 6400);
  EXPECT_EQ(late.sleepAdjustment, 15 * 250 - 5500);
  EXPECT_EQ(late.lastNewSecondMs, 6400);
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
