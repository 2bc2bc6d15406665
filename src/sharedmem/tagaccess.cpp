// Reading and writing tag values by handle and by name.
#include "sharedmem/tagaccess.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sharedmem/storeview.h"

using storeview::flags;
using storeview::isInitialised;
using storeview::validHandle;

namespace {

char emptyText[] = "";

void setCode(int* errCode, int code) {
  if (errCode != nullptr) *errCode = code;
}

// Code 0 when the handle holds a defined tag, else why not.
int readableCode(int handle) {
  if (!validHandle(handle)) return kTagBadHandle;
  if (!flags(handle).bits.initialized) return kTagUninitialised;
  return kTagOk;
}

bool inRange(int handle, int value) {
  const volatile auto& p = shared_mem->parameter;
  const Bit32tag config{.all = flags(handle).all};
  return config.bits.noRangeCheck || config.bits.objectType == 0 ||
         (p.iMin[handle] <= value && value <= p.iMax[handle]);
}

// Linear scan of an unsorted name list; the used part ends at the first free slot.
int linearLookup(const char* name) {
  for (int slot = 0; slot < kNoOfNameSlots; ++slot) {
    if (shared_mem->tag.iRef[slot] == -1 || storeview::nameOfSlot(slot)[0] == '\0') break;
    if (std::strcmp(storeview::nameOfSlot(slot), name) == 0) return slot;
  }
  return -1;
}

int binaryLookup(const char* name, int noOfNames) {
  int first = 0;
  int last = noOfNames - 1;
  while (last >= first) {
    const int middle = (first + last) >> 1;
    const int order = std::strcmp(name, storeview::nameOfSlot(middle));
    if (order == 0) return middle;
    if (order > 0) {
      first = middle + 1;
    } else {
      last = middle - 1;
    }
  }
  return -1;
}

// Looks the name up; on success the handle, else -1 with the lookup's code in errCode.
int handleByName(const char* name, int* errCode) {
  int handle = -1;
  int code = kLookupOk;
  dbGetHandleByTagname(name, &handle, &code);
  setCode(errCode, code);
  return code == kLookupOk ? handle : -1;
}

void setBitValue(int handle, unsigned char bit, uint32_t (*change)(uint32_t value, uint32_t mask)) {
  if (bit >= 32 || !isInitialised(handle)) return;
  const uint32_t value = static_cast<uint32_t>(shared_mem->parameter.iValue[handle]);
  int ignored = 0;
  dbSetValueByHandle(handle, static_cast<int>(change(value, 1u << bit)), &ignored);
}

}  // namespace

// ---------------------------------------------------------------- reading by handle

bool dbGetValueByHandle(int varNum, int* value, int* errCode) {
  const int code = readableCode(varNum);
  setCode(errCode, code);
  if (code != kTagOk) return false;
  *value = shared_mem->parameter.iValue[varNum];
  return true;
}

int dbReadValueByHandle(int varNum) { return isInitialised(varNum) ? shared_mem->parameter.iValue[varNum] : 0; }

bool dbIsEqual(int varNum, int value) {
  return isInitialised(varNum) && shared_mem->parameter.iValue[varNum] == value;
}

bool dbIsLessThan(int varNum, int value) {
  return isInitialised(varNum) && shared_mem->parameter.iValue[varNum] < value;
}

bool dbReadBitByHandle(int handle, unsigned char bit) {
  if (bit >= 32 || !isInitialised(handle)) return false;
  return (static_cast<uint32_t>(shared_mem->parameter.iValue[handle]) >> bit) & 1u;
}

bool dbGetUnitAndTagNameByHandle(int Handle, char** s, char** t, int* errCode) {
  const int slot = storeview::nameSlotOf(Handle);
  if (slot < 0) {
    *s = emptyText;
    *t = emptyText;
    setCode(errCode, 1);
    return false;
  }
  *t = const_cast<char*>(storeview::nameOfSlot(slot));
  *s = const_cast<char*>(storeview::unitOfSlot(slot));
  setCode(errCode, 0);
  return true;
}

bool dbGetObjectByHandle(int varNum, objectType* obj, int* errCode) {
  const int code = readableCode(varNum);
  setCode(errCode, code);
  if (code != kTagOk) return false;
  const volatile auto& p = shared_mem->parameter;
  obj->iValue = p.iValue[varNum];
  obj->iMax = p.iMax[varNum];
  obj->iMin = p.iMin[varNum];
  obj->iDefault = p.iDefault[varNum];
  obj->cExponent = p.cExponent[varNum];
  obj->ucExec = p.ucExec[varNum];
  obj->config.all = p.config[varNum].all;
  obj->handle = varNum;
  obj->modbus.address = p.modbus.address[varNum];
  obj->canbus.address = p.canbus.address[varNum];
  int nameCode = 0;
  dbGetUnitAndTagNameByHandle(varNum, &obj->tag.unit, &obj->tag.name, &nameCode);
  return true;
}

// The range readers give nothing for a tag without a range; the result says whether
// the handle holds a defined tag.
bool dbGetMaximumValueByHandle(int varNum, int* value) {
  if (!validHandle(varNum) || flags(varNum).bits.noRangeCheck) return false;
  *value = shared_mem->parameter.iMax[varNum];
  return flags(varNum).bits.initialized;
}

bool dbGetMinimumValueByHandle(int varNum, int* value) {
  if (!validHandle(varNum) || flags(varNum).bits.noRangeCheck) return false;
  *value = shared_mem->parameter.iMin[varNum];
  return flags(varNum).bits.initialized;
}

bool dbGetDefaultValueByHandle(int varNum, int* value) {
  if (!validHandle(varNum) || flags(varNum).bits.noRangeCheck) return false;
  *value = shared_mem->parameter.iDefault[varNum];
  return flags(varNum).bits.initialized;
}

bool dbIsProtected(int varNum) { return validHandle(varNum) && flags(varNum).bits.protect; }
bool dbIsModbusProtected(int varNum) { return validHandle(varNum) && flags(varNum).bits.modbusProtected; }
bool dbIsActualModeParameter(int varNum) { return validHandle(varNum) && flags(varNum).bits.actualModeSetting; }
bool dbIsInitialized(int varNum) { return isInitialised(varNum); }
bool dbIsGroup(int varNum) { return validHandle(varNum) && flags(varNum).bits.groupAttached; }

bool dbInMasterTagList(int varNum) { return isInitialised(varNum) && !flags(varNum).bits.notInMasterTaglist; }

bool dbIsTextAttaced(int varNum) { return isInitialised(varNum) && flags(varNum).bits.textString != 0; }

int dbTagNameListStatus() { return shared_mem->tag.status; }

bool dbIsSorted() { return shared_mem->tag.status <= 0; }

void printTagNames() {
  int count = 0;
  for (int slot = 0; slot < kNoOfNameSlots; ++slot) {
    if (shared_mem->tag.iRef[slot] == -1) continue;
    std::printf("%s\n", storeview::nameOfSlot(slot));
    ++count;
  }
  std::printf("no of tagnames %d\n", count);
}

// ---------------------------------------------------------------- writing by handle

bool dbSetValueByHandle(int varNum, int value, int* errCode) {
  int code = readableCode(varNum);
  if (code == kTagOk && flags(varNum).bits.protect) code = kTagProtected;
  if (code == kTagOk && !inRange(varNum, value)) code = kTagOutOfRange;
  setCode(errCode, code);
  if (code != kTagOk) {
    std::printf("[DEBUG] \33[31mdbSetValueByHandle Error code %d\33[0m\n", code);
    return false;
  }
  shared_mem->parameter.iValue[varNum] = value;
  return true;
}

void dbSetBitByHandle(int handle, unsigned char bit) {
  setBitValue(handle, bit, [](uint32_t value, uint32_t mask) { return value | mask; });
}

void dbClearBitByHandle(int handle, unsigned char bit) {
  setBitValue(handle, bit, [](uint32_t value, uint32_t mask) { return value & ~mask; });
}

void dbToggleBitByHandle(int handle, unsigned char bit) {
  setBitValue(handle, bit, [](uint32_t value, uint32_t mask) { return value ^ mask; });
}

// Counters bypass protection on purpose: other programs watch them for change. An
// unbounded counter wraps around instead of overflowing. The step is one atomic
// compare-and-swap, so that a dbTakeValueByHandle in another program loses no count.
void dbIncrementByHandle(int varNum) {
  if (!validHandle(varNum)) return;
  volatile auto& p = shared_mem->parameter;
  volatile int32_t* counter = &p.iValue[varNum];
  const bool unbounded = p.iMax[varNum] == 0 && p.iMin[varNum] == 0;
  int32_t value = __atomic_load_n(counter, __ATOMIC_RELAXED);
  do {
    if (value >= p.iMax[varNum] && !unbounded) return;
  } while (!__atomic_compare_exchange_n(counter, &value, static_cast<int32_t>(static_cast<uint32_t>(value) + 1u),
                                        false, __ATOMIC_SEQ_CST, __ATOMIC_RELAXED));
}

bool dbTakeValueByHandle(int varNum, int* value, int* errCode) {
  const int code = readableCode(varNum);
  setCode(errCode, code);
  if (code != kTagOk) return false;
  *value = __atomic_exchange_n(&shared_mem->parameter.iValue[varNum], 0, __ATOMIC_SEQ_CST);
  return true;
}

bool dbCopyValueByHandles(int varNumDestination, int varNumSource) {
  if (!isInitialised(varNumSource)) return false;
  int ignored = 0;
  return dbSetValueByHandle(varNumDestination, shared_mem->parameter.iValue[varNumSource], &ignored);
}

bool dbSetObjectByHandle(int varNum, objectType obj, int* errCode) {
  int code = readableCode(varNum);
  if (code == kTagOk && flags(varNum).bits.protect) code = kTagProtected;
  setCode(errCode, code);
  if (code != kTagOk) return false;
  int ignored = 0;
  dbSetValueByHandle(varNum, obj.iValue, &ignored);  // a value out of the old range stays out
  volatile auto& p = shared_mem->parameter;
  p.iMax[varNum] = obj.iMax;
  p.iMin[varNum] = obj.iMin;
  p.iDefault[varNum] = obj.iDefault;
  p.cExponent[varNum] = obj.cExponent;
  p.ucExec[varNum] = obj.ucExec;
  p.config[varNum].all = obj.config.all;
  p.modbus.address[varNum] = obj.modbus.address;
  p.canbus.address[varNum] = obj.canbus.address;
  return true;
}

void dbEnforceNewLimits(int varNum, int iMin, int iMax, int iDefault) {
  if (iMax != kKeepLimit && iMax < iMin) return;
  if (iDefault != kKeepLimit && (iDefault < iMin || iDefault > iMax)) return;
  if (!isInitialised(varNum)) return;
  volatile auto& p = shared_mem->parameter;
  int ignored = 0;
  if (iMax != kKeepLimit) {
    if (p.iValue[varNum] > iMax) dbSetValueByHandle(varNum, iMax, &ignored);
    p.iMax[varNum] = iMax;
  }
  if (iMin != kKeepLimit) {
    if (p.iValue[varNum] < iMin) dbSetValueByHandle(varNum, iMin, &ignored);
    p.iMin[varNum] = iMin;
    // A kept default must not become the marker value itself.
    if (iDefault != kKeepLimit) p.iDefault[varNum] = iDefault;
  }
  flags(varNum).bits.noRangeCheck = 0;
}

// ---------------------------------------------------------------- by tag name

bool dbGetHandleByTagname(const char* s, int* iHandle, int* errCode) {
  const int listStatus = shared_mem->tag.status;
  if (listStatus == 0) {
    setCode(errCode, kLookupNoNames);
    return false;
  }
  if (listStatus > 0 && std::strlen(s) > kTagNameSize - 1) {
    *iHandle = -1;
    setCode(errCode, kLookupNameTooLong);
    return false;
  }
  // The empty slots that redefinitions leave at the start of a sorted list name no tag.
  int slot = -1;
  if (s[0] != '\0') slot = listStatus < 0 ? binaryLookup(s, -listStatus) : linearLookup(s);
  if (slot < 0) {
    *iHandle = -1;
    setCode(errCode, kLookupNotFound);
    return false;
  }
  *iHandle = shared_mem->tag.iRef[slot];
  setCode(errCode, kLookupOk);
  return true;
}

bool dbGetValueByTagname(const char* s, int* iValue, int* errCode) {
  const int handle = handleByName(s, errCode);
  if (!validHandle(handle)) return false;
  *iValue = shared_mem->parameter.iValue[handle];
  return true;
}

int getValueByTagname(const char* s) {
  int value = 0;
  int code = 0;
  return dbGetValueByTagname(s, &value, &code) ? value : -1;
}

// The direct scan works whether or not the list is sorted: a sorted list starts with
// the slots its redefinitions left empty, so it looks at every used slot.
void getValueByTagName(const char* s, int* iValue) {
  *iValue = 0;
  for (int slot = 0; slot < kNoOfNameSlots; ++slot) {
    const int handle = shared_mem->tag.iRef[slot];
    if (validHandle(handle) && std::strcmp(storeview::nameOfSlot(slot), s) == 0) {
      *iValue = shared_mem->parameter.iValue[handle];
      return;
    }
  }
}

bool dbSetValueByTagName(const char* s, int value, int* errCode) {
  std::printf("[DEBUG] \33[32mSetting tag %s , value %d\33[0m\n", s, value);
  const int handle = handleByName(s, errCode);
  if (handle < 0) return false;
  int code = 0;
  if (!dbSetValueByHandle(handle, value, &code)) {
    std::printf("[DEBUG] \33[31mError setting value\33[0m\n");
    setCode(errCode, kByNameOffset + code);
    return false;
  }
  return true;
}

bool dbSetValueAndSaveByTagname(const char* s, int value, int* errCode) {
  const int handle = handleByName(s, errCode);
  if (handle < 0) return false;
  int code = 0;
  if (!dbSetValueByHandle(handle, value, &code)) {
    setCode(errCode, kByNameOffset + code);
    return false;
  }
  if (flags(handle).bits.store) shared_mem->parameter.iSaveValue[handle] = value;
  return true;
}

bool dbGetObjectByTagName(const char* s, objectType* obj, int* errCode) {
  const int handle = handleByName(s, errCode);
  if (handle < 0) return false;
  int code = 0;
  if (!dbGetObjectByHandle(handle, obj, &code)) {
    setCode(errCode, kByNameOffset + code);
    return false;
  }
  return true;
}

bool dbSetObjectByTagName(const char* s, objectType obj, int* errCode) {
  const int handle = handleByName(s, errCode);
  if (handle < 0) return false;
  int code = 0;
  if (!dbSetObjectByHandle(handle, obj, &code)) {
    setCode(errCode, kByNameOffset + code);
    return false;
  }
  return true;
}

bool dbIsWithinRange(const char* s, int value) {
  int code = 0;
  const int handle = handleByName(s, &code);
  if (!validHandle(handle)) return false;
  const volatile auto& p = shared_mem->parameter;
  if (p.iMax[handle] == 0 && p.iDefault[handle] == 0 && p.iMin[handle] == 0) return true;
  return p.iMin[handle] <= value && value <= p.iMax[handle];
}

bool dbGetStringValueByTagName(const char* s, char** v, int* errCode) {
  const int handle = handleByName(s, errCode);
  if (!validHandle(handle)) return false;
  const long long value = shared_mem->parameter.iValue[handle];
  const int exponent = shared_mem->parameter.cExponent[handle];
  char* text = *v;
  if (exponent == 0) {
    std::snprintf(text, kEngineeringTextSize, "%lld", value);
  } else if (exponent > 0) {
    // Trailing zeros instead of a multiplication that could overflow; zero stays "0".
    const int length = std::snprintf(text, kEngineeringTextSize, "%lld", value);
    const int zeros = value == 0 ? 0 : exponent;
    for (int i = length; i < kEngineeringTextSize - 1 && i < length + zeros; ++i) {
      text[i] = '0';
      text[i + 1] = '\0';
    }
  } else {
    const int digits = -exponent;
    const unsigned long long magnitude = value < 0 ? -value : value;
    unsigned long long scale = 1;
    for (int i = 0; i < digits && i < 19; ++i) scale *= 10;
    // Exponents beyond the value's ten digits only add leading zeros; cut to the buffer.
    char full[160];
    const int length = std::snprintf(full, sizeof full, "%s%llu.%0*llu", value < 0 ? "-" : "", magnitude / scale,
                                     digits, magnitude % scale);
    const size_t kept = std::min<size_t>(static_cast<size_t>(length), kEngineeringTextSize - 1);
    std::memcpy(text, full, kept);
    text[kept] = '\0';
  }
  return true;
}
