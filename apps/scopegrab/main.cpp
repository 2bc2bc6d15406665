// scopegrab: turns the captures of the signal processor into the data log, the web curves
// and the waveform analyses that KORA and the signal test read back.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "captureloop.h"
#include "scopegrab.h"
#include "sharedmem/shmem.h"
#include "startup.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  init_shm();
  const scopegrab::Options options = scopegrab::parseOptions(argc, argv);
  std::printf("Config file: %s\n", options.configFile);
  std::printf("Verbose mode: %s\n", options.verbose ? "ON" : "OFF");
  scopegrab::Global global;
  global.debug = options.verbose;
  if (!scopegrab::readConfiguration(options.configFile, global)) return EXIT_FAILURE;
  std::printf("[DEBUG] \33[32mscope delim %stest\33[0m\n", global.logFilePath);

  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  auto scope = std::make_unique<scopegrab::ScopeGrab>(global);
  scopegrab::runCaptureLoop(*scope, stopRequested);
  return EXIT_SUCCESS;
}
