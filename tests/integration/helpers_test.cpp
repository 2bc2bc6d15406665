// The helper programs on a store built as the daemon builds it: a save killed half-way,
// the V-I measurement and the timer simulation as their callers see them.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "orxtags/storebuilder.h"
#include "platform/platform.h"
#include "settingsfile.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/tagaccess.h"
#include "unit_harness.h"

namespace {

using namespace std::chrono_literals;
using orvix::testing::tagValue;
using orvix::testing::UnitHarness;
using orvix::testing::writeTag;

class HelpersTest : public ::testing::Test {
 protected:
  void SetUp() override { tagstore::buildTagStore(); }
  UnitHarness unit_;
};

TEST_F(HelpersTest, SaveKilledHalfWayLeavesAWholeFile) {
  const std::string file = unit_.image().path("/var/lib/orvix/saveFile");
  auto first = unit_.startProgram({UnitHarness::bin() + "/orxloadsave", "/var/lib/orvix/saveFile", "-s"}, "orxloadsave");
  ASSERT_EQ(first->waitForExit(10s), 0);
  std::mt19937 random(42);
  int interrupted = 0;
  for (int round = 0; round < 40; ++round) {
    const std::string before = unit_.image().readFile("/var/lib/orvix/saveFile");
    writeTag("vxo_mode3currlim", 300 + round);
    const std::string after = settingsfile::composeSettings(settingsfile::takeSnapshot());
    auto save = unit_.startProgram({UnitHarness::bin() + "/orxloadsave", "/var/lib/orvix/saveFile", "-s"}, "orxloadsave");
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
    save->signal(SIGKILL);
    if (save->waitForExit(5s) != 0) ++interrupted;
    const std::string now = unit_.image().readFile("/var/lib/orvix/saveFile");
    ASSERT_TRUE(now == before || now == after) << "round " << round << ": a partial settings file";
  }
  EXPECT_GT(interrupted, 0);
  // The next load clears what the killed saves left and restores the last whole file.
  const std::string last = unit_.image().readFile("/var/lib/orvix/saveFile");
  tagstore::buildTagStore();
  auto load = unit_.startProgram({UnitHarness::bin() + "/orxloadsave", "/var/lib/orvix/saveFile", "-ql"}, "orxloadsave");
  ASSERT_EQ(load->waitForExit(10s), 0);
  EXPECT_EQ(settingsfile::composeSettings(settingsfile::takeSnapshot()), last);
  int leftovers = 0;
  for (const auto& entry : std::filesystem::directory_iterator(unit_.image().path("/var/lib/orvix/"))) {
    if (entry.path().filename().string().rfind("saveFile.tmp", 0) == 0) ++leftovers;
  }
  EXPECT_EQ(leftovers, 0);
}

TEST_F(HelpersTest, LoaderRefusesWithoutAStoreAndWithBadOptions) {
  auto bad = unit_.startProgram({UnitHarness::bin() + "/orxloadsave", "/var/lib/orvix/saveFile", "-x"}, "orxloadsave");
  EXPECT_EQ(bad->waitForExit(5s), 1);
  setenv("ORVIX_SHM_KEY", "2147483000", 1);
  auto orphan = unit_.startProgram({UnitHarness::bin() + "/a_loadSave", "/var/lib/orvix/saveFile", "-s"}, "orxloadsave");
  EXPECT_EQ(orphan->waitForExit(5s), 1);
  setenv("ORVIX_SHM_KEY", std::to_string(unit_.key()).c_str(), 1);
  const std::string log = unit_.log("orxloadsave");
  EXPECT_NE(log.find("Usage: "), std::string::npos);
  EXPECT_NE(log.find("no tag store with key 2147483000"), std::string::npos);
  EXPECT_FALSE(orvix::platform::fileExists("/var/lib/orvix/saveFile"));
}

// A field with its corona onset at 27.5 kV and I = 0.4 mA/kV^2 (U - onset)^2, answering the
// mean-current limit the measurement sets as a signal processor would. Returns the mean
// current it now carries.
int answerAsAField(bool coronaFollowsCurrent) {
  const int meanMa                  = dbReadValueByHandle(602);  // vxo_maxaveragecurr
  const double kv                   = coronaFollowsCurrent ? 27.5 + std::sqrt(meanMa / 0.4) : 45.6;
  shared_mem->parameter.iValue[234] = meanMa;                                  // vxi_seccurravg
  shared_mem->parameter.iValue[223] = static_cast<int>(std::lround(kv * 10));  // vxi_secvoltavg
  shared_mem->parameter.iValue[225] = meanMa * 2;                              // vxi_seccurrdens
  return meanMa;
}

// The measurement steps the current through the mean-current limit over its range, finds the
// onset from the line of its points, and gives the limit back; a field whose voltage does not
// follow the current gives no onset and the measurement reports failure.
TEST_F(HelpersTest, MeasurementStepsTheCurrentAndFindsTheCoronaOnset) {
  unit_.image().writeFile("/home/root/orvix/vrefVi.ini", "points=3\nstepSeconds=1\ncurrentRange=reference\n");
  writeTag("vxo_maxaveragecurr", 900);
  dbSetValueByHandle(1289, 100, nullptr);    // vxi_korarefcurrm: lowest pulse current, mA
  dbSetValueByHandle(1288, 600, nullptr);    // vxi_korarefcurrk: span, mA
  shared_mem->parameter.iValue[215] = 5000;  // vxi_firingratio: 1 of 2 half-cycles
  for (const bool coronaFollowsCurrent : {true, false}) {
    dbSetValueByHandle(1174, -1, nullptr);
    auto measurement = unit_.startProgram(
        {"/bin/sh", "-c", "exec \"$ORVIX_ROOT/home/root/orvix/prog/a_measurement\" /home/root/orvix/vrefVi.ini"},
        "a_measurement");
    ASSERT_TRUE(UnitHarness::waitFor([] { return dbReadValueByHandle(1174) >= 0; }, 5s));
    EXPECT_EQ(tagValue("vxi_measurement"), 1);
    std::set<int> currents;
    int highest = -1;
    ASSERT_TRUE(UnitHarness::waitFor(
        [&] {
          currents.insert(answerAsAField(coronaFollowsCurrent));
          highest = std::max(highest, dbReadValueByHandle(1174));
          return highest >= 80;
        },
        10s));
    EXPECT_EQ(measurement->waitForExit(10s), coronaFollowsCurrent ? 0 : 3);
    EXPECT_EQ(dbReadValueByHandle(1174), -1);
    EXPECT_EQ(tagValue("vxi_measurement"), 0);
    EXPECT_EQ(tagValue("vxo_maxaveragecurr"), 900);
    if (coronaFollowsCurrent) {
      EXPECT_EQ(highest, 80);
      // Pulse currents 100, 400 and 700 mA at half firing.
      EXPECT_EQ(currents, (std::set<int>{900, 50, 200, 350}));
      EXPECT_NEAR(tagValue("vxi_vivref"), 275, 2);
      EXPECT_EQ(tagValue("vxi_vivoltav3"), static_cast<int>(std::lround((27.5 + std::sqrt(350 / 0.4)) * 10)));
      EXPECT_NE(tagValue("vxi_villastcolldate"), 0);
    } else {
      EXPECT_EQ(highest, 89);
      EXPECT_EQ(tagValue("vxi_vivref"), 0);
    }
  }
}

TEST_F(HelpersTest, MeasurementWithoutItsSetUpReportsFailure) {
  // The image has a custom set-up; a unit whose operator never uploaded one has none.
  ASSERT_EQ(unlink(unit_.image().path("/home/ftp/customVi.ini").c_str()), 0);
  auto measurement =
      unit_.startProgram({UnitHarness::bin() + "/a_measurement", "/home/ftp/customVi.ini"}, "a_measurement");
  ASSERT_TRUE(UnitHarness::waitFor([] { return dbReadValueByHandle(1174) == 89; }, 5s));  // state 99
  EXPECT_EQ(measurement->waitForExit(5s), 1);
  EXPECT_EQ(dbReadValueByHandle(1174), -1);
}

TEST_F(HelpersTest, TimerSimulationEndsOnTheStopWord) {
  auto simulation = unit_.startProgram({UnitHarness::bin() + "/a_timerSim", "3600", "1"}, "a_timerSim");
  ASSERT_TRUE(UnitHarness::waitFor([&] { return unit_.log("a_timerSim").find("type 0") != std::string::npos; }, 5s));
  shared_mem->parameter.iValue[1101] = 470;
  EXPECT_EQ(simulation->waitForExit(3s), 0);
  shared_mem->parameter.iValue[1101] = 0;
  auto refused                       = unit_.startProgram({UnitHarness::bin() + "/a_timerSim", "3600"}, "a_timerSim");
  EXPECT_EQ(refused->waitForExit(3s), 1);
}

}  // namespace
