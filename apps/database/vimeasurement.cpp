#include "vimeasurement.h"

#include <cstdio>
#include <iterator>
#include <string>

#include "orxtags/handles.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "sharedmem/tagaccess.h"

namespace {

using orvix::platform::resolvePath;
using orvix::platform::shellQuote;

// clang-format off
// Tags by handle
constexpr int kMeasurement      = tags::vxi_measurement;         // vxi_measurement: 1 while measuring
constexpr int kStartVi          = 108;                          // vxo_startvi: operator's request
constexpr int kViType           = 109;                          // vxo_vitype: set-up file, see kViSetUps
constexpr int kViState          = 286;                          // vxi_vistate
constexpr int kViLastDuration   = 287;                          // vxi_vilastduration, s
constexpr int kViErrorCode      = 289;                          // vxi_vierrorcode
constexpr int kViStateText      = 304;                          // vxi_vistatetext
constexpr int kActModeCurrLim   = 562;                          // vxo_actmodecurrlim, mA
constexpr int kCollectorArea    = tags::vxo_collectorarea;       // vxo_collectorarea, m2
constexpr int kViTimer          = 739;                          // vxo_vitimerconnection: 1..6 a timer
constexpr int kViMinCurrDens    = tags::vxo_vimincurrdens;       // vxo_vimincurrdens
constexpr int kCancelVi         = 744;                          // vxo_cancelvi
constexpr int kMeasViCurrK      = 1241;                         // vxo_measvistdcurrk, mA
constexpr int kMeasViCurrM      = 1242;                         // vxo_measvistdcurrm, mA
constexpr int kSimulationType   = 1346;                         // vxo_simulationtype
constexpr int kSimulationTime   = 1347;                         // vxo_simulationtime
constexpr int kSimulate         = 1348;                         // vxo_simulate: 1 starts
constexpr int kViProgress       = internal::kViProgress;        // -1 = no measurement
constexpr int kViResult         = internal::kViResult;
constexpr int kViStarting       = internal::kViStarting;
constexpr int kFirstTimerStatus = 1109;                         // vxi_timer1cstatus .. vxi_timer6cstatus
constexpr int kTimers           = 6;

constexpr int kProgramStates       = 10;  // vxi_vistate from here on is the program's progress + 10
constexpr int kFinalStateSeconds   = 5;   // a final state shows this long plus one second
constexpr int kFailedState         = 99;
constexpr int kDoneState           = 90;

// vxo_vitype   set-up file of the measurement program
constexpr const char* kViSetUps[] = {
    "/home/root/orvix/stdVi.ini",   // 0 standard
    "/home/ftp/customVi.ini",       // 1 the operator's own
    "/home/root/orvix/koraVi.ini",  // 2 optimisation
};
constexpr const char* kMeasurementProgram = "/home/root/orvix/prog/a_measurement";

// vxi_vistatetext values
constexpr int kTextStopped = 1;
constexpr int kTextRunning = 2;
constexpr int kTextWaiting = 3;
constexpr int kTextStarting = 4;
constexpr int kTextFailed = 5;

// vxo_simulationtime   simulated seconds  real minutes
struct TimerSimulation {
  int simulatedSeconds;
  int minutes;
};
constexpr TimerSimulation kTimerSimulations[] = {
    {3600,  1},
    {2880,  5},
    {8640,  10},
    {12960, 20},
    {17280, 30},
};
// clang-format on

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}
int tag(int handle) { return dbReadValueByHandle(handle); }

int viStateText(int state) {
  if (state >= kProgramStates && state < kDoneState) return kTextRunning;
  if (state == kFailedState) return kTextFailed;
  if (state >= kDoneState) return kTextStopped;
  if (state == 1 || state == 2) return kTextStarting;
  if (state == 3) return kTextWaiting;
  return -1;  // unchanged
}

}  // namespace

void startVi() {
  setTag(kCancelVi, 0);
  int minimumCurrent = tag(kViMinCurrDens);
  const int area     = tag(kCollectorArea);
  if (area != 0) minimumCurrent = (minimumCurrent * area + 500) / 1000;
  setTag(kMeasViCurrM, minimumCurrent);
  setTag(kMeasViCurrK, tag(kActModeCurrLim) - minimumCurrent);

  const int type = tag(kViType);
  if (type >= 0 && type < static_cast<int>(std::size(kViSetUps))) {
    orvix::platform::ShellCommand command;
    command.format("%s %s &", shellQuote(resolvePath(kMeasurementProgram)).c_str(),
                   shellQuote(resolvePath(kViSetUps[type])).c_str());
    std::printf("%s \n", command.text());
    orvix::platform::runShellCommand(command);
  }
  setTag(kStartVi, 0);
  setTag(kViState, 1);
  setTag(kViLastDuration, 0);
}

bool checkStartViFromTimer(Daemon& daemon) {
  bool& wasOff = daemon.viTimerRequested;
  if (tag(kMeasurement) == 1 || tag(kViStarting) == 1) {
    wasOff = false;
    return false;
  }
  const int timer = tag(kViTimer);
  if (timer >= 1 && timer <= kTimers && tag(kFirstTimerStatus + timer - 1) == 1 && !wasOff) {
    wasOff = true;
    return true;
  }
  wasOff = false;
  return false;
}

void setViText() {
  const int text = viStateText(tag(kViState));
  if (text >= 0) setTag(kViStateText, text);
  if (tag(kViStateText) != kTextFailed) setTag(kViErrorCode, 0);
}

void runTimerSimulation(const Daemon& daemon) {
  if (tag(kSimulate) != 1) return;
  const int time = tag(kSimulationTime);
  const int type = tag(kSimulationType);
  if (time >= 0 && time < static_cast<int>(std::size(kTimerSimulations)) && (type == 0 || type == 1)) {
    const TimerSimulation& run = kTimerSimulations[time];
    const std::string program  = resolvePath(std::string(daemon.path.program) + "a_timerSim");
    orvix::platform::ShellCommand command;
    command.format("%s %d %d%s &\n", shellQuote(program).c_str(), run.simulatedSeconds, run.minutes,
                   type == 1 ? " 1" : "");
    orvix::platform::runShellCommand(command);
  }
  setTag(kSimulate, 0);
}

bool serveViRequests(Daemon& daemon) {
  if (checkStartViFromTimer(daemon)) setTag(kStartVi, 1);
  if (tag(kViState) != 0) dbIncrementByHandle(kViLastDuration);
  setViText();
  if (tag(kStartVi) == 1 && tag(kMeasurement) == 0 && tag(kViStarting) == 0) {
    startVi();
    return true;
  }
  return false;
}

bool superviseViMeasurement(Daemon& daemon) {
  const int progress = tag(kViProgress);
  if (progress >= 0) {
    setTag(kViStarting, 0);
    setTag(kMeasurement, 1);
    daemon.viTimeoutCounter = 0;
    setTag(kViState, progress + kProgramStates);
    return false;
  }
  if (tag(kMeasurement) == 1) setTag(kViResult, 0);
  setTag(kMeasurement, 0);
  if (tag(kViState) >= kProgramStates && ++daemon.viTimeoutCounter > kFinalStateSeconds) {
    daemon.viTimeoutCounter = 0;
    setTag(kViState, 0);
  }
  return false;
}

bool startTimerSimulation(Daemon& daemon) {
  runTimerSimulation(daemon);
  return false;
}
