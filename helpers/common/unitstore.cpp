#include "unitstore.h"

#include <sys/shm.h>

#include <cstdio>

#include "platform/platform.h"
#include "sharedmem/shmem.h"

bool attachUnitStore(const char* program) {
  const key_t key = orvix::platform::shmKey();
  if (shmget(key, 0, 0) >= 0) shared_mem = attach_memory_block(key, sizeof(shmem_t));
  if (shared_mem == nullptr) {
    std::fprintf(stderr, "%s: no tag store with key %d\n", program, static_cast<int>(key));
    return false;
  }
  return true;
}
