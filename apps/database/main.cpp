// database: creates the unit's tag store, defines every tag, restores the saved
// settings and runs the supervision loop until the system state word reads 470.
#include <cstdio>
#include <string>

#include "commandline.h"
#include "configuration.h"
#include "daemon.h"
#include "mainloop.h"
#include "orxtime/clocktags.h"
#include "platform/servicenotify.h"
#include "schedule.h"
#include "startup.h"

int main(int argc, char** argv) {
  // Each line reaches the log as it is printed, in order with the helpers' output.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  CommandLine commandLine;
  if (const int status = parseCommandLine(argc, argv, &commandLine, stdout, stderr); status != 0) return status;
  const std::string problems = checkSchedules(loopSchedule(), clockSchedule());
  if (!problems.empty()) {
    std::fprintf(stderr, "slot schedule refused:\n%s", problems.c_str());
    return 1;
  }
  static Daemon daemon;
  daemon.debugLevel = commandLine.debugLevel;
  orxtime::setClockDebugLines(daemon.debugLevel >= 2);
  readConfiguration(commandLine.iniFile, daemon);
  startUp(daemon);
  // The store is defined and the settings are restored: an installed unit's other daemons
  // start from here.
  if (!orvix::platform::notifyServiceReady()) std::perror("cannot notify the service manager");
  return runMainLoop(daemon);
}
