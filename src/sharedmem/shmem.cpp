#include "sharedmem/shmem.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

volatile shmem_t* shared_mem = nullptr;

namespace {
constexpr int kSegmentPermissions = 0666;

// The segment of this key with exactly this size, created when missing; -1 and errno
// set when it cannot be got or has another size.
int segmentId(key_t key, size_t size) {
  const int id = shmget(key, size, IPC_CREAT | kSegmentPermissions);
  if (id < 0) return -1;
  shmid_ds info{};
  if (shmctl(id, IPC_STAT, &info) != 0) return -1;
  if (info.shm_segsz != size) {
    errno = EINVAL;
    return -1;
  }
  return id;
}

shmem_t* attachSegment(int id) {
  void* block = shmat(id, nullptr, 0);
  return block == reinterpret_cast<void*>(-1) ? nullptr : static_cast<shmem_t*>(block);
}
}  // namespace

shmem_t* init_shm() {
  const int id = segmentId(orvix::platform::shmKey(), sizeof(shmem_t));
  shmem_t* block = id < 0 ? nullptr : attachSegment(id);
  if (block == nullptr) {
    std::fprintf(stderr, "Could not get shared memory: %s\n", std::strerror(errno));
    std::exit(1);
  }
  shared_mem = block;
  return block;
}

shmem_t* attach_memory_block(key_t key, int size) {
  if (key == -1 || size <= 0) return nullptr;
  const int id = segmentId(key, static_cast<size_t>(size));
  return id < 0 ? nullptr : attachSegment(id);
}

bool detach_memory_block(shmem_t* block) { return shmdt(block) != -1; }

bool destroy_memory_block(key_t key) {
  const int id = shmget(key, 0, 0);
  return id >= 0 && shmctl(id, IPC_RMID, nullptr) == 0;
}

void shmStructbZero() {
  volatile auto& parameter = shared_mem->parameter;
  for (int handle = 0; handle < kNoOfHandles; ++handle) {
    parameter.iSaveValue[handle] = 0;
    parameter.iDefault[handle] = 0;
    parameter.iValue[handle] = 0;
    parameter.iMin[handle] = 0;
    parameter.iMax[handle] = 0;
    parameter.ucExec[handle] = 0;
    parameter.cExponent[handle] = 0;
    parameter.config[handle].all = 0;
    parameter.modbus.address[handle] = -1;
    parameter.canbus.address[handle] = -1;
  }
  volatile auto& names = shared_mem->tag;
  for (int slot = 0; slot < kNoOfNameSlots; ++slot) {
    for (int i = 0; i < kTagNameSize; ++i) names.name[slot][i] = 0;
    for (int i = 0; i < kTagUnitSize; ++i) names.unit[slot][i] = 0;
    names.iRef[slot] = -1;
  }
  for (int address = 0; address < kNoOfCanAddresses; ++address) {
    shared_mem->canbus.config[address].bits.source = 0;
  }
  shared_mem->group.noOfAttacedVars = 0;
  names.status = 0;
  shared_mem->canbus.noOfAttacedVars = 0;
  shared_mem->canbus.status = 0;
  shared_mem->modbus.noOfAttacedVars = 0;
  shared_mem->modbus.status = 0;
  shared_mem->text.noOfAttachedTexts = 0;
}

int status(int varNum) {
  if (static_cast<unsigned>(varNum) >= kNoOfHandles) return 0;
  if (!shared_mem->parameter.config[varNum].bits.initialized) return 0;
  return shared_mem->parameter.iValue[varNum];
}

int sTick(int varNum) { return status(varNum); }
