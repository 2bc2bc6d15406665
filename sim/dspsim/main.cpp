// dspsim: plays the unit's signal processor and its CAN bridge through the tag store, so
// that a unit runs end to end on a PC.
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "canbridge.h"
#include "constants.h"
#include "control.h"
#include "limitercounts.h"
#include "platform/platform.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"
#include "signalprocessor.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

// The store is the database daemon's; wait for it rather than create an empty one.
bool attachStore() {
  const key_t key = orvix::platform::shmKey();
  bool reported   = false;
  while (stopRequested == 0) {
    if (shmget(key, 0, 0) >= 0) shared_mem = attach_memory_block(key, sizeof(shmem_t));
    if (shared_mem != nullptr) return true;
    if (!reported) std::printf("dspsim: waiting for the tag store with key %d\n", static_cast<int>(key));
    reported = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

// One "dspsim: " line per problem.
void report(const std::string& problems) {
  size_t start = 0;
  while (start < problems.size()) {
    const size_t end    = problems.find('\n', start);
    const size_t length = (end == std::string::npos ? problems.size() : end) - start;
    std::fprintf(stderr, "dspsim: %.*s\n", static_cast<int>(length), problems.c_str() + start);
    start += length + 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  dspsim::CommandLine commandLine;
  std::string problems;
  if (!dspsim::parseCommandLine(argc, argv, commandLine, problems)) {
    report(problems);
    return 1;
  }
  const dspsim::ModelConstants constants = dspsim::loadConstants(commandLine.constantsPath.c_str(), problems);
  report(problems);
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  if (!attachStore()) return 0;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("dspsim: signal processor and CAN bridge running, %d ms per measurement set\n", constants.cyclePeriodMs);

  dspsim::DspRegisters registers;
  dspsim::SignalProcessor processor(constants, registers);
  const auto period = std::chrono::milliseconds(constants.cyclePeriodMs);
  auto next         = std::chrono::steady_clock::now();
  bool requestsRaised = false;  // the command line's requests, once the link first comes up
  while (stopRequested == 0) {
    if (dbReadValueByHandle(dspsim::handle::kSystemState) == dspsim::kStopWord) {
      std::printf("dspsim: system stop\n");
      break;
    }
    problems.clear();
    for (const dspsim::Request& request : dspsim::takeControlFile(dspsim::kControlFilePath, problems)) {
      processor.handle(request);
    }
    report(problems);
    processor.step(orvix::platform::monotonicMs());
    // While the database daemon rebuilds the store the map is empty: nothing travels.
    if (dbGetCanbusNoOfIndex() > 0) {
      if (dspsim::bringLinkUp(registers) && !requestsRaised) {
        for (const dspsim::Request& request : commandLine.requests) processor.handle(request);
        requestsRaised = true;
      }
      dspsim::publishLinkTraffic(dspsim::exchangeCanMap(registers));
      dspsim::countLimiterCode(registers[dspsim::handle::kLimiter]);
    }
    // After a stall (a stopped process, a loaded machine) start afresh instead of catching up.
    next = std::max(next + period, std::chrono::steady_clock::now());
    std::this_thread::sleep_until(next);
  }
  std::printf("dspsim: stopped\n");
  return 0;
}
