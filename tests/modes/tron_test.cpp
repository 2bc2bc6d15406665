// The run command pair and its flag file, the start-up command to the signal processor,
// the heartbeat clearing its readings, the periodic rates; where the loop runs each of
// this module's functions, and the handles the modules address tags by.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "energisation_fixture.h"
#include "energisationtags.h"
#include "housekeeping.h"
#include "looptasks.h"
#include "schedule.h"
#include "temp_image.h"
#include "tron.h"

namespace {

using orvix::testing::EnergisationTest;

class TronTest : public EnergisationTest {
 protected:
  TronState state_;
};

TEST_F(TronTest, CommandPairSwitchesAndMirrorsTheState) {
  set("vxo_date", 0x7C0C07);
  set("vxo_time", 0x0A1E0500);
  handleTronCmd(state_);  // off: the pair shows it
  EXPECT_EQ(get("vxo_troffcommand"), 1);
  EXPECT_EQ(get("vxo_troncommand"), 0);

  set("vxo_troncommand", 1);  // the operator switches on
  handleTronCmd(state_);
  EXPECT_EQ(get("vxo_tron"), 1);
  EXPECT_EQ(get("vxo_troffcommand"), 0);
  EXPECT_EQ(get("vxi_trondate"), 0x7C0C07);
  EXPECT_EQ(get("vxi_trontime"), 0x0A1E0500);

  set("vxo_time", 0x0B000000);
  set("vxo_troncommand", 1);  // already on: nothing changes
  handleTronCmd(state_);
  EXPECT_EQ(get("vxo_tron"), 1);
  EXPECT_EQ(get("vxi_trontime"), 0x0A1E0500) << "stamped only when switched on";

  set("vxo_troffcommand", 1);
  handleTronCmd(state_);
  EXPECT_EQ(get("vxo_tron"), 0);
  EXPECT_EQ(get("vxo_troncommand"), 0);
  EXPECT_EQ(get("vxo_troffcommand"), 1);

  set("vxo_tron", 1);  // switched on directly through the tag
  handleTronCmd(state_);
  EXPECT_EQ(get("vxo_troncommand"), 1);
  EXPECT_EQ(get("vxi_trontime"), 0x0B000000);
}

TEST_F(TronTest, FlagFileFollowsTheEdgesOfTheStatus) {
  orvix::testing::TempImage image;
  const std::string flag = image.path("/home/root/TRON");
  const auto exists = [&] { return access(flag.c_str(), F_OK) == 0; };
  updateTronFile(state_);
  EXPECT_FALSE(exists());
  set("vxi_tronstatus", 1);
  updateTronFile(state_);
  EXPECT_TRUE(exists());
  image.writeFile("/home/root/TRON", "");
  updateTronFile(state_);
  EXPECT_TRUE(exists());
  set("vxi_tronstatus", 0);
  updateTronFile(state_);
  EXPECT_FALSE(exists());
  image.writeFile("/home/root/TRON", "");  // left by an earlier run: only an edge removes it
  updateTronFile(state_);
  EXPECT_TRUE(exists());
}

TEST_F(TronTest, StartUpMakesTheCanLayerSendTheRunCommand) {
  objectType tron{};
  int errCode = 0;
  ASSERT_TRUE(dbGetObjectByHandle(handle("vxo_tron"), &tron, &errCode));
  ASSERT_GE(tron.canbus.address, 0);
  dbSetCanbusLastValue(tron.canbus.address, 0);
  makeDSPtroff();
  EXPECT_EQ(dbGetCanbusLastValue(tron.canbus.address), 1);
  EXPECT_EQ(get("vxo_tron"), 0);
}

TEST_F(EnergisationTest, LostHeartbeatClearsTheSignalProcessorReadingsOnTheTenthSecond) {
  Daemon daemon;
  set("vxi_seccurrpulse", 480);
  set("vxi_di03", 1);
  set("vxi_di18", 1);
  set("vxi_spm", 12);
  set("vxo_actmodecurrlim", 700);  // a setting sent to the signal processor
  set("vxi_heartbeat", 1);
  for (int second = 1; second < 10; ++second) EXPECT_FALSE(handleHeartBeat(daemon)) << second;
  EXPECT_EQ(get("vxi_seccurrpulse"), 480);
  EXPECT_TRUE(handleHeartBeat(daemon));
  EXPECT_EQ(get("vxi_seccurrpulse"), 0);
  EXPECT_EQ(get("vxi_spm"), 0);
  EXPECT_EQ(get("vxi_di03"), 1);
  EXPECT_EQ(get("vxi_di18"), 1);
  EXPECT_EQ(get("vxo_actmodecurrlim"), 700);
  set("vxi_seccurrpulse", 300);
  EXPECT_FALSE(handleHeartBeat(daemon));  // once only
  EXPECT_EQ(get("vxi_seccurrpulse"), 300);
}

TEST_F(EnergisationTest, RatesAndRiseTimeComplements) {
  setInternal(etag::kCanRefreshCounter, 200);
  setInternal(etag::kUdpPollCounter, 35);
  set("vxi_discoveryupdatecnt", 4);
  updateComSpeed();
  EXPECT_EQ(get("vxi_canrefreshrate"), 200);
  EXPECT_EQ(get("vxi_udppollrate"), 35);
  EXPECT_EQ(get("vxi_discpollrate"), 4);
  EXPECT_EQ(internal(etag::kCanRefreshCounter), 0);
  EXPECT_EQ(internal(etag::kUdpPollCounter), 0);
  EXPECT_EQ(get("vxi_discoveryupdatecnt"), 0);

  set("vxo_riseperca", 300);
  set("vxo_risetimea", 45);
  handleRiseTimeCalculations();
  EXPECT_EQ(get("vxi_risepercb"), 700);
  EXPECT_EQ(get("vxi_risetimeb"), 55);
}

// The handle runs that are not evenly spaced, against the definition table (single
// handles are checked by the behaviour tests, which address tags by name).
TEST_F(EnergisationTest, HandleRunsMatchTheirNames) {
  using namespace etag;
  for (int i = 0; i < 6; ++i) {
    const std::string mode = "vxo_mode" + std::to_string(i + 1);
    EXPECT_EQ(handle((mode + "sparkrecoverytime").c_str()), kModeSparkRecoveryTimes[i]);
    EXPECT_EQ(handle((mode + "currlim").c_str()), kModeCurrLims[i]);
    EXPECT_EQ(handle(("vxi_masternrinmode" + std::to_string(i + 1)).c_str()), kUnitsInMode[i]);
  }
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(handle(("vxo_t" + n + "pcrcurr").c_str()), kTimerPcrCurrents[i]);
    EXPECT_EQ(handle(("vxi_timer" + n + "cstatus").c_str()), kTimerStates[i]);
  }
  for (int i = 0; i < 18; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "vxi_di%02d", i + 1);
    EXPECT_EQ(handle(name), kDigitalInputs[i]);
  }
}

std::vector<std::string> namesIn(int slot) {
  std::vector<std::string> names;
  for (const ScheduledTask& task : loopSchedule()) {
    if (task.when.has(slot)) names.push_back(task.name);
  }
  return names;
}

bool contains(const std::vector<std::string>& names, const char* name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(EnergisationSchedule, SlotsAndEveryPassOrder) {
  EXPECT_TRUE(contains(namesIn(1), "setSpmString"));
  for (const int slot : {2, 15}) {
    EXPECT_TRUE(contains(namesIn(slot), "checkModeSettings")) << slot;
    EXPECT_TRUE(contains(namesIn(slot), "calculateImpedance")) << slot;
  }
  for (const char* name : {"setCurrDens", "setAuxCurr", "collectorArea"}) EXPECT_TRUE(contains(namesIn(7), name));
  for (const char* name : {"dynamicLimits", "handleRiseTimeCalculations", "sparkRecoveryCurve"}) {
    EXPECT_TRUE(contains(namesIn(12), name)) << name;
  }
  EXPECT_TRUE(contains(namesIn(13), "viMin"));

  std::vector<std::string> everyPass;
  for (const ScheduledTask& task : loopSchedule()) {
    if (task.when.bits == kEveryPass.bits) everyPass.push_back(task.name);
  }
  const auto at = [&](const char* name) { return std::find(everyPass.begin(), everyPass.end(), name) - everyPass.begin(); };
  const char* order[] = {"updateTronFile", "functionalLimiter", "handleTronCmd", "sparkStatistics",
                         "handleSPMtoSparcRecovery", "setCurrDens while measuring"};
  for (size_t i = 0; i < std::size(order); ++i) {
    ASSERT_LT(at(order[i]), static_cast<long>(everyPass.size())) << order[i];
    if (i > 0) {
      EXPECT_LT(at(order[i - 1]), at(order[i])) << order[i];
    }
  }

  const struct {
    const char* name;
    int period;
    int phase;
  } clock[] = {{"updateComSpeed", 10, 2}, {"setPositionString", 10, 2}, {"pulseCurrentRatioCalculation", 10, 2},
               {"maxMediumDvDt", 3, 0}, {"masterModeSelector", 3, 0}};
  for (const auto& expected : clock) {
    bool found = false;
    for (const ClockTask& task : clockSchedule()) {
      if (std::string(task.name) != expected.name) continue;
      found = true;
      EXPECT_EQ(task.period, expected.period) << expected.name;
      EXPECT_EQ(task.phase, expected.phase) << expected.name;
    }
    EXPECT_TRUE(found) << expected.name;
  }
}

}  // namespace
