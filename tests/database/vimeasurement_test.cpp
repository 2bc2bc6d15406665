// V-I measurements and the timer simulation: requests, the measurement's current range
// and set-up file, the state and its text, and the programs started with their arguments.
#include "vimeasurement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "daemon_fixture.h"

namespace {

using orvix::testing::DaemonTest;

// clang-format off
constexpr int kMeasurement     = 87;    // vxi_measurement
constexpr int kStartVi         = 108;   // vxo_startvi
constexpr int kViType          = 109;   // vxo_vitype
constexpr int kViState         = 286;   // vxi_vistate
constexpr int kViLastDuration  = 287;   // vxi_vilastduration
constexpr int kViErrorCode     = 289;   // vxi_vierrorcode
constexpr int kViStateText     = 304;   // vxi_vistatetext
constexpr int kActModeCurrLim  = 562;   // vxo_actmodecurrlim, mA
constexpr int kCollectorArea   = 623;   // vxo_collectorarea
constexpr int kViTimer         = 739;   // vxo_vitimerconnection
constexpr int kViMinCurrDens   = 742;   // vxo_vimincurrdens
constexpr int kCancelVi        = 744;   // vxo_cancelvi
constexpr int kTimer3Status    = 1111;  // vxi_timer3cstatus
constexpr int kViProgress      = 1174;
constexpr int kViResult        = 1175;
constexpr int kViStarting      = 1177;
constexpr int kMeasViCurrK     = 1241;  // vxo_measvistdcurrk
constexpr int kMeasViCurrM     = 1242;  // vxo_measvistdcurrm
constexpr int kSimulationType  = 1346;  // vxo_simulationtype
constexpr int kSimulationTime  = 1347;  // vxo_simulationtime
constexpr int kSimulate        = 1348;  // vxo_simulate
// clang-format on

class ViTest : public DaemonTest {
 protected:
  // Puts a program in the image that records its arguments instead of the helper.
  std::string recordingProgram(const std::string& unitPath) {
    const std::string record = image_.path("/tmp/" + unitPath.substr(unitPath.rfind('/') + 1) + ".args");
    unlink(image_.path(unitPath).c_str());
    image_.writeFile(unitPath,
                     "#!/bin/sh\necho \"$@\" > '" + record + ".tmp' && mv '" + record + ".tmp' '" + record + "'\n");
    chmod(image_.path(unitPath).c_str(), 0755);
    return record;
  }
  static std::string waitForFile(const std::string& path) {
    for (int tries = 0; tries < 200 && access(path.c_str(), F_OK) != 0; ++tries) usleep(10000);
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return "(not started)";
    char line[256] = {};
    std::fgets(line, sizeof line, file);
    std::fclose(file);
    return line;
  }
};

TEST_F(ViTest, TimerRequestsOnceAndNeverDuringAMeasurement) {
  setTag(kViTimer, 3);
  setTag(kTimer3Status, 1);
  setTag(kMeasurement, 1);
  EXPECT_FALSE(checkStartViFromTimer(daemon_));
  setTag(kMeasurement, 0);
  setTag(kViStarting, 1);
  EXPECT_FALSE(checkStartViFromTimer(daemon_));
  setTag(kViStarting, 0);
  // The measurement has ended and the timer still reads 1: a new request, never two in a row.
  EXPECT_TRUE(checkStartViFromTimer(daemon_));
  EXPECT_FALSE(checkStartViFromTimer(daemon_));
  EXPECT_TRUE(checkStartViFromTimer(daemon_));
  setTag(kViTimer, 7);  // no timer of that number
  EXPECT_FALSE(checkStartViFromTimer(daemon_));
  EXPECT_FALSE(checkStartViFromTimer(daemon_));
}

TEST_F(ViTest, StartTakesTheCurrentRangeAndTheSetUpOfItsType) {
  const std::string record = recordingProgram("/home/root/orvix/prog/a_measurement");
  setTag(kViMinCurrDens, 250);
  setTag(kActModeCurrLim, 1200);
  setTag(kCollectorArea, 0);
  setTag(kViType, 1);
  setTag(kStartVi, 1);
  setTag(kCancelVi, 1);
  setTag(kViLastDuration, 33);
  EXPECT_TRUE(serveViRequests(daemon_));
  EXPECT_EQ(tag(kMeasViCurrM), 250);  // no collector area: the density is the current
  EXPECT_EQ(tag(kMeasViCurrK), 950);
  EXPECT_EQ(tag(kCancelVi), 0);
  EXPECT_EQ(tag(kStartVi), 0);
  EXPECT_EQ(tag(kViState), 1);
  EXPECT_EQ(tag(kViLastDuration), 0);
  EXPECT_EQ(waitForFile(record), image_.path("/home/ftp/customVi.ini") + "\n");

  setTag(kCollectorArea, 2000);  // m2, with 250: 500 mA
  setTag(kViType, 3);            // no set-up of that type: nothing starts
  startVi();
  EXPECT_EQ(tag(kMeasViCurrM), 500);
  EXPECT_EQ(tag(kMeasViCurrK), 700);
}

TEST_F(ViTest, NoStartWhileAMeasurementIsStarting) {
  setTag(kViType, 3);
  setTag(kStartVi, 1);
  setTag(kViStarting, 1);
  setTag(kViState, 0);
  EXPECT_FALSE(serveViRequests(daemon_));
  EXPECT_EQ(tag(kStartVi), 1);
  EXPECT_EQ(tag(kViLastDuration), 0);  // counts only while a state shows
}

TEST_F(ViTest, StateTextsAndTheErrorCode) {
  struct Case {
    int state;
    int text;
  };
  const Case cases[] = {
      {1,   4},
      {2,   4},
      {3,   3},
      {10,  2},
      {89,  2},
      {90,  1},
      {98,  1},
      {100, 1}
  };
  for (const Case& c : cases) {
    setTag(kViErrorCode, 17);
    setTag(kViState, c.state);
    setViText();
    EXPECT_EQ(tag(kViStateText), c.text) << "state " << c.state;
    EXPECT_EQ(tag(kViErrorCode), 0) << "state " << c.state;
  }
  setTag(kViErrorCode, 17);
  setTag(kViState, 99);
  setViText();
  EXPECT_EQ(tag(kViStateText), 5);
  EXPECT_EQ(tag(kViErrorCode), 17);
  setTag(kViState, 0);  // no measurement: the last text stays
  setViText();
  EXPECT_EQ(tag(kViStateText), 5);
}

TEST_F(ViTest, StateFollowsTheMeasurementProgram) {
  setTag(kViStarting, 1);
  setTag(kViProgress, 30);
  superviseViMeasurement(daemon_);
  EXPECT_EQ(tag(kViState), 40);
  EXPECT_EQ(tag(kMeasurement), 1);
  EXPECT_EQ(tag(kViStarting), 0);
  setTag(kViProgress, 80);
  superviseViMeasurement(daemon_);
  setTag(kViProgress, -1);
  setTag(kViResult, 9);
  superviseViMeasurement(daemon_);
  EXPECT_EQ(tag(kMeasurement), 0);
  EXPECT_EQ(tag(kViResult), 0);
  for (int second = 2; second <= 5; ++second) superviseViMeasurement(daemon_);
  EXPECT_EQ(tag(kViState), 90);  // a final state stays visible for six seconds
  superviseViMeasurement(daemon_);
  EXPECT_EQ(tag(kViState), 0);
}

TEST_F(ViTest, TimerSimulationByTypeAndTime) {
  const std::string record = recordingProgram("/home/root/orvix/prog/a_timerSim");
  setTag(kSimulate, 1);
  setTag(kSimulationType, 0);
  setTag(kSimulationTime, 7);  // no such time: nothing runs
  runTimerSimulation(daemon_);
  EXPECT_EQ(tag(kSimulate), 0);
  setTag(kSimulate, 1);
  setTag(kSimulationType, 2);  // no such type
  setTag(kSimulationTime, 2);
  runTimerSimulation(daemon_);
  EXPECT_EQ(tag(kSimulate), 0);
  usleep(100000);
  EXPECT_NE(access(record.c_str(), F_OK), 0);

  setTag(kSimulate, 1);
  setTag(kSimulationType, 1);
  runTimerSimulation(daemon_);
  EXPECT_EQ(tag(kSimulate), 0);
  EXPECT_EQ(waitForFile(record), "8640 10 1\n");
  unlink(record.c_str());
  setTag(kSimulate, 1);
  setTag(kSimulationType, 0);
  setTag(kSimulationTime, 4);
  runTimerSimulation(daemon_);
  EXPECT_EQ(waitForFile(record), "17280 30\n");
}

}  // namespace
