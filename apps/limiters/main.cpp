// limiters: turns the per-code limiter counts of the unit into the share of time each
// limiter code was in control, over a short and a long window.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "limiters.h"
#include "platform/platform.h"
#include "sharedmem/shmem.h"

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  shared_mem = attach_memory_block(orvix::platform::shmKey(), sizeof(shmem_t));
  if (shared_mem == nullptr) {
    std::perror("Could not get shared memory");
    return EXIT_FAILURE;
  }
  const bool testValues = argc > 1 && std::strcmp(argv[1], "-t") == 0;
  limiters::Limiters limiters;
  limiters::run(limiters, testValues);
  return EXIT_SUCCESS;
}
