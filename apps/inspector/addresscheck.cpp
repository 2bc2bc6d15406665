#include "addresscheck.h"

#include <cstdio>

#include "labels.h"
#include "sharedmem/tagaccess.h"

namespace inspector {

namespace {

struct FreeList {
  const char* title;
  bool coils;
  int first;  // first address of the list
  int end;    // one past its last address
};

constexpr FreeList kFreeLists[] = {
    // title                  coils  first                   end
    {"read only coils",       true,  0,                      kReadWriteCoilBase    },
    {"read write coils",      true,  kReadWriteCoilBase,     kModbusAddressSpace   },
    {"read only registers",   false, 0,                      kReadWriteRegisterBase},
    {"read write registers",  false, kReadWriteRegisterBase, kModbusAddressSpace   },
};

// Marks one register; false (and the overlap reported) when another tag holds it already.
// A 32-bit tag names its handle.
bool markRegister(AddressUse& use, int address, int format, int handle) {
  if (!use.registers.test(address)) {
    use.registers.set(address);
    return true;
  }
  if (format == 1) {
    std::printf("error on mb register adr %x \n", address);
  } else if (format == 2) {
    std::printf("error on mb register adr %x %d\n", address, handle);
  } else {
    std::printf("error on mb register adr %x\n", address);
  }
  return false;
}

void markMapping(AddressUse& use, int index) {
  const int address = dbGetModbusAddress(index);
  const int format = dbGetModbusDataFormat(index);
  const int handle = dbGetModbusHandlePointer(index);
  if (format == 0) {
    if (use.coils.test(address)) {
      std::printf("error on mb coil adr %x \n", address);
      ++use.overlaps;
    }
    use.coils.set(address);
    return;
  }
  const int span = checkedRegisterSpan(format, address);
  for (int word = 0; word < span && address + word < kModbusAddressSpace; ++word) {
    if (!markRegister(use, address + word, format, handle)) ++use.overlaps;
  }
}

// The free addresses between the used ones, each run closed by "---", and the first
// free address after the last used one, from where the list is free to its end.
void printFreeAddresses(const std::bitset<kModbusAddressSpace>& used, const FreeList& list) {
  std::printf("%s\n", list.title);
  int lastUsed = list.first - 1;
  for (int address = list.first; address < list.end; ++address) {
    if (used.test(address)) lastUsed = address;
  }
  bool inRun = false;
  for (int address = list.first; address < lastUsed; ++address) {
    if (!used.test(address)) {
      std::printf("free adr %x \n", address);
      inRun = true;
    } else if (inRun) {
      std::printf("---\n");
      inRun = false;
    }
  }
  if (lastUsed + 1 < list.end) std::printf("free adr %x \n", lastUsed + 1);
}

}  // namespace

AddressUse markModbusAddresses() {
  AddressUse use;
  const int count = dbGetModbusNoOfIndex();
  for (int index = 0; index < count; ++index) markMapping(use, index);
  return use;
}

int checkModbusAddresses(OptionArguments) {
  const AddressUse use = markModbusAddresses();
  for (const FreeList& list : kFreeLists) printFreeAddresses(list.coils ? use.coils : use.registers, list);
  return use.overlaps == 0 ? kExitOk : kExitFailed;
}

}  // namespace inspector
