#include "private_store.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cerrno>

namespace orvix::testing {

PrivateStore::PrivateStore() : previous_(shared_mem) {
  // Keys above the unit's range, spread by process id; skip keys that are in use.
  key_t candidate = 0x0F000000 + ((getpid() & 0xFFFF) << 8);
  for (int attempt = 0; attempt < 256; ++attempt, ++candidate) {
    const int id = shmget(candidate, sizeof(shmem_t), IPC_CREAT | IPC_EXCL | 0600);
    if (id >= 0) {
      key_ = candidate;
      break;
    }
    if (errno != EEXIST) break;
  }
  if (key_ == -1) {
    ADD_FAILURE() << "no free key for a private tag store";
    return;
  }
  block_ = attach_memory_block(key_, sizeof(shmem_t));
  if (block_ == nullptr) ADD_FAILURE() << "cannot attach the private tag store";
  shared_mem = block_;
}

PrivateStore::~PrivateStore() {
  if (block_ != nullptr) detach_memory_block(block_);
  if (key_ != -1) destroy_memory_block(key_);
  shared_mem = previous_;
}

}  // namespace orvix::testing
