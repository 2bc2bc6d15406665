// monitor: the commissioning and service console. Shows one live screen of the unit,
// chosen on the command line, or logs the main process values as CSV.
#include <cstdio>

#include "activityscreen.h"
#include "canscreen.h"
#include "csvlogger.h"
#include "limiterscreen.h"
#include "mirascreen.h"
#include "options.h"
#include "pacing.h"
#include "rapscreen.h"
#include "sharedmem/shmem.h"
#include "sparkscreen.h"
#include "terminal.h"
#include "valuescreens.h"

namespace {

int runLoopScreen(monitor::Screen screen) {
  using monitor::Screen;
  switch (screen) {
    case Screen::kCanBus: {
      monitor::CanScreen can;
      return monitor::runMainLoop(can, stdout);
    }
    case Screen::kLimiter: {
      monitor::LimiterScreen limiter;
      return monitor::runMainLoop(limiter, stdout);
    }
    case Screen::kMira: {
      monitor::MiraScreen mira;
      return monitor::runMainLoop(mira, stdout);
    }
    case Screen::kDebug: {
      monitor::DebugScreen debug;
      return monitor::runMainLoop(debug, stdout);
    }
    default: {
      monitor::ValueScreen values(screen == Screen::kExtended);
      return monitor::runMainLoop(values, stdout);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const monitor::Options options = monitor::parseOptions(argc, argv);
  init_shm();
  switch (options.screen) {
    case monitor::Screen::kLogger:
      // The log is for a file, not a terminal: no screen handling.
      return monitor::runLogger(options.logLines, options.logInterval, stdout, stderr, monitor::waitOrStop);
    case monitor::Screen::kSpark:
      monitor::restoreTerminalOnExit();
      return monitor::runSparkScreen(stdout);
    case monitor::Screen::kRapping:
      monitor::restoreTerminalOnExit();
      return monitor::runRapScreen(stdout);
    case monitor::Screen::kActivity:
      monitor::restoreTerminalOnExit();
      return monitor::runActivityScreen(stdout);
    default:
      monitor::restoreTerminalOnExit();
      return runLoopScreen(options.screen);
  }
}
