// limiters: turns the per-code limiter counts of the unit into the share of time each
// limiter code was in control, over a short and a long window.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "limiters.h"
#include "sharedmem/shmem.h"

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  init_shm();
  const bool testValues = argc > 1 && std::strcmp(argv[1], "-t") == 0;
  limiters::Limiters limiters;
  limiters::run(limiters, testValues);
  return EXIT_SUCCESS;
}
