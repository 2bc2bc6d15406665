#include "storereports.h"

#include <cstdio>

#include "platform/platform.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/tagaccess.h"

namespace inspector {

namespace {

int countHandles(bool (*counts)(int handle)) {
  int count = 0;
  for (int handle = 0; handle < kNoOfHandles; ++handle) {
    if (counts(handle)) ++count;
  }
  return count;
}

bool slotHoldsName(int slot) { return shared_mem->tag.iRef[slot] != -1 && shared_mem->tag.name[slot][0] != '\0'; }

int countNames() {
  int count = 0;
  for (int slot = 0; slot < kNoOfNameSlots; ++slot) {
    if (slotHoldsName(slot)) ++count;
  }
  return count;
}

bool valueOfTag(const char* name, int* value) {
  int code = 0;
  if (dbGetValueByTagname(name, value, &code)) return true;
  std::printf("ERROR: %d\n", code);
  return false;
}

}  // namespace

int printStoreFigures(OptionArguments) {
  std::printf("shared memory size: %lu Bytes\n", static_cast<unsigned long>(sizeof(shmem_t)));
  std::printf("shared memory key: %d \n", static_cast<int>(orvix::platform::shmKey()));
  std::printf("initialized parameters: %d of maximum %d\n", countHandles(dbIsInitialized), kNoOfHandles);
  std::printf("registred tag name: %d of maximum %d\n", countNames(), kNoOfNameSlots);
  std::printf("mastertaglist parameters: %d\n", countHandles(dbInMasterTagList));
  std::printf("modbus parameters: %d of maximum %d\n", dbGetModbusNoOfIndex(), kNoOfModbusEntries);
  std::printf("canbus parameters: %d of maximum %d\n", dbGetCanbusNoOfIndex(), kNoOfCanAddresses);
  std::printf("text string parameters: %d of maximum %d\n", static_cast<int>(shared_mem->text.noOfAttachedTexts),
              kNoOfTexts);
  std::printf("group parameters: %d of maximum %d \n", static_cast<int>(shared_mem->group.noOfAttacedVars),
              kNoOfGroups);
  return kExitOk;
}

int printTagNames(OptionArguments) {
  for (int slot = 0; slot < kNoOfNameSlots; ++slot) {
    if (!slotHoldsName(slot)) continue;
    std::printf("%.*s=%d\n", kTagNameSize - 1, const_cast<const char*>(shared_mem->tag.name[slot]),
                shared_mem->tag.iRef[slot]);
  }
  return kExitOk;
}

int printSaveStatus(OptionArguments) {
  std::printf("SAVE status \n");
  std::printf("Handle:Parameter value:Save temp value\n");
  std::printf("-------------------------------------\n");
  for (int handle = 0; handle < kNoOfHandles; ++handle) {
    if (dbParameterSaveStatus(handle) == kNotStored) continue;
    std::printf("%6d%15d%16d\n", handle, shared_mem->parameter.iValue[handle],
                shared_mem->parameter.iSaveValue[handle]);
  }
  return kExitOk;
}

// The packed date (year - 1900 from bit 16, month in bits 8-15, day in bits 0-7) and
// time (hours in bits 24-31, minutes 16-23, seconds 8-15).
int printUnitDateTime(OptionArguments) {
  int date = 0;
  int time = 0;
  if (!valueOfTag("vxo_date", &date) || !valueOfTag("vxo_time", &time)) return kExitFailed;
  const unsigned d = static_cast<unsigned>(date);
  const unsigned t = static_cast<unsigned>(time);
  std::printf("%u/%02u/%02u ", (d >> 16) + 1900, (d >> 8) & 0xFF, d & 0xFF);
  std::printf("%02u:%02u:%02u \n", t >> 24, (t >> 16) & 0xFF, (t >> 8) & 0xFF);
  return kExitOk;
}

}  // namespace inspector
