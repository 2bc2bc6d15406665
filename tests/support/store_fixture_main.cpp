// orvix-store-fixture: builds the unit's tag store under ORVIX_SHM_KEY the way the
// database starts it (definitions, internal tags, sorted names, open tags file of the
// image under ORVIX_ROOT) and leaves it for the programs a test starts.
//   orvix-store-fixture           build the store
//   orvix-store-fixture --remove  remove the segment again
#include <cstdio>
#include <cstring>

#include "orxtags/internaltags.h"
#include "orxtags/storebuilder.h"
#include "platform/platform.h"
#include "sharedmem/shmem.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--remove") == 0) {
    return destroy_memory_block(orvix::platform::shmKey()) ? 0 : 1;
  }
  init_shm();
  tagstore::buildTagStore();
  openTags(true);
  std::printf("store built under key %d\n", orvix::platform::shmKey());
  return 0;
}
