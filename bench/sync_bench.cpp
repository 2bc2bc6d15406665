// A full synchronisation pass over the unit's whole register map.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "orxtags/storebuilder.h"
#include "registerimage.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"
#include "synchroniser.h"

namespace {

// The unit's store, built once for the whole run and removed at exit.
void buildStoreOnce() {
  static const key_t key = [] {
    const key_t k = 0x0B000000 + (getpid() & 0xFFFF);
    shared_mem = attach_memory_block(k, sizeof(shmem_t));
    if (shared_mem == nullptr) std::abort();
    tagstore::buildTagStore();
    std::atexit([] { destroy_memory_block(0x0B000000 + (getpid() & 0xFFFF)); });
    return k;
  }();
  (void)key;
}

// The pass reports texts it publishes on standard output; keep that out of the figures.
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

void FullSynchronisationPass(benchmark::State& state) {
  buildStoreOnce();
  regserver::RegisterImage image({regserver::kCoilBase + 96, 99, 365, regserver::kHoldingBase + 571});
  regserver::Synchroniser sync(image);
  int tick = 0;
  {
    QuietStdout quiet;
    for (auto _ : state) {
      // Every tag changes between passes: the pass does its full publishing work.
      ++tick;
      for (int handle = 0; handle < 960; ++handle) shared_mem->parameter.iValue[handle] = tick & 1;
      sync.updateAll();
    }
  }
  state.counters["mappings"] = dbGetModbusNoOfIndex();
}
BENCHMARK(FullSynchronisationPass)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
