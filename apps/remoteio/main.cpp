// remoteio: reads the virtual inputs from remote Modbus TCP devices into tags and copies
// the I/O group outputs onto remote bits, about three times a second, until the stop word.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "orxtags/handles.h"
#include "remoteio.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace {
constexpr int kStopWord = 470;
constexpr std::chrono::milliseconds kPassPause{300};
constexpr std::chrono::seconds kIdlePause{3};  // extra pause while no input or output is in use
constexpr std::chrono::seconds kStartPause{2};
}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  init_shm();
  std::this_thread::sleep_for(kStartPause);
  remoteio::RemoteIo remoteIo;
  while (dbReadValueByHandle(internal::kSystemState) != kStopWord) {
    std::printf("[DEBUG] \33[32mTICK\33[0m\n");
    const bool inUse = remoteIo.runPass();
    std::this_thread::sleep_for(kPassPause);
    if (!inUse) std::this_thread::sleep_for(kIdlePause);
  }
  return EXIT_SUCCESS;
}
