// Small inline views of the attached store shared by the library's own modules.
#pragma once

#include "sharedmem/shmem.h"

namespace storeview {

// Handles are checked as unsigned numbers so that a negative handle is out of range.
inline bool validHandle(int handle) { return static_cast<unsigned>(handle) < static_cast<unsigned>(kNoOfHandles); }
inline bool validCanAddress(int address) {
  return static_cast<unsigned>(address) < static_cast<unsigned>(kNoOfCanAddresses);
}
inline bool validModbusCapacity(int index) {
  return static_cast<unsigned>(index) < static_cast<unsigned>(kNoOfModbusEntries);
}

inline volatile Bit32tag& flags(int handle) { return shared_mem->parameter.config[handle]; }
inline bool isInitialised(int handle) { return validHandle(handle) && flags(handle).bits.initialized; }

// Names are written only during start-up, before any reader uses them.
inline const char* nameOfSlot(int slot) { return const_cast<const char*>(shared_mem->tag.name[slot]); }
inline const char* unitOfSlot(int slot) { return const_cast<const char*>(shared_mem->tag.unit[slot]); }

// The name slot owned by a handle, -1 when it has none.
inline int nameSlotOf(int handle) {
  if (!validHandle(handle)) return -1;
  for (int slot = 0; slot < kNoOfNameSlots; ++slot) {
    if (shared_mem->tag.iRef[slot] == handle) return slot;
  }
  return -1;
}

}  // namespace storeview
