// Defining tags: range, flags, name, Modbus, CAN and text mappings, the name sort and
// the tag groups.
#include "sharedmem/tagdefs.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sharedmem/storeview.h"
#include "sharedmem/tagaccess.h"

using storeview::flags;
using storeview::validHandle;

namespace {

constexpr int kHighestModbusAddress = 0x7FFF;  // the mapping word holds 15 address bits
constexpr int kFirstHoldingRegister = 1024;
constexpr int kFirstCoil = 16384;
constexpr int kMaxUnsigned16 = 65535;
constexpr uint32_t kGroupAttachedMark = 1u << 21;  // set on a group tag once its group exists

// Modbus and CAN data formats.
constexpr unsigned kFormatBit = 0;
constexpr unsigned kFormat16Bit = 1;
constexpr unsigned kFormat32Bit = 2;
constexpr unsigned kFormatText12 = 3;
constexpr unsigned kFormatText7 = 4;
constexpr unsigned kFormatText1 = 5;
constexpr unsigned kHighestFormat = 7;  // the mapping word holds 3 format bits

void setCode(int* errCode, int code) {
  if (errCode != nullptr) *errCode = code;
}

unsigned formatOf(char dataFormat) { return static_cast<unsigned char>(dataFormat); }

bool isTextFormat(unsigned format) {
  return format == kFormatText12 || format == kFormatText7 || format == kFormatText1;
}

// A tag written by clients over Modbus (holding register or coil) is a stored setting.
bool isClientWritable(int iModbus, unsigned format) {
  return format == kFormatBit ? iModbus >= kFirstCoil : iModbus >= kFirstHoldingRegister;
}

// Whether the range and default can travel in a bit or an unsigned 16-bit word.
bool rangeFitsFormat(unsigned format, int iMin, int iMax, int iDefault) {
  if (format == kFormatBit) return iMin >= 0 && iMax <= 1 && iDefault <= 1;
  if (format == kFormat16Bit) return iMin >= 0 && iMax <= kMaxUnsigned16;
  return true;
}

// The CAN direction code stored in the map for a definition's CAN source.
int canDirection(unsigned char canSource, int current) {
  switch (canSource) {
    case 0: return 2;  // signal processor to this module
    case 1: return 1;  // this module to the signal processor
    case 2: return 3;  // both ways
    default: return current;
  }
}

// The group slot that a group tag's value names, -1 when the handle is no group.
int groupSlotOf(int varNum) {
  if (!validHandle(varNum) || !flags(varNum).bits.groupAttached) return -1;
  const int slot = shared_mem->parameter.iValue[varNum];
  return (slot >= 1 && slot < kNoOfGroups) ? slot : -1;
}

void copyBounded(volatile char* destination, const char* source, size_t size) {
  const size_t length = source == nullptr ? 0 : strnlen(source, size - 1);
  for (size_t i = 0; i < size; ++i) destination[i] = i < length ? source[i] : '\0';
}

// Fills value[r][c] for every cell inside the group's size with what cellValue makes of it.
template <typename CellValue>
bool readGroup(int varNum, groupType* data, CellValue cellValue) {
  const int slot = groupSlotOf(varNum);
  if (slot < 0) return false;
  const volatile auto& group = shared_mem->group;
  data->handleRef = static_cast<short>(varNum);
  for (int row = 0; row < group.rows[slot]; ++row) {
    for (int column = 0; column < group.columns[slot]; ++column) {
      data->value[row][column] = cellValue(group.handles[slot][row][column]);
    }
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- definitions

bool initParameter(int varNum, int iMin, int iMax, int iDefault) {
  if (!validHandle(varNum)) return false;
  const bool unbounded = iMin == 0 && iMax == 0 && iDefault == 0;
  flags(varNum).bits.noRangeCheck = unbounded;
  if (!unbounded && !(iMin <= iDefault && iDefault <= iMax)) return false;
  volatile auto& p = shared_mem->parameter;
  p.iDefault[varNum] = iDefault;
  p.iValue[varNum] = iDefault;
  p.iMin[varNum] = iMin;
  p.iMax[varNum] = iMax;
  return true;
}

bool dbInitTag(int varNum, signed char cExponent, int iMin, int iMax, int iDefault, const char* tag,
               const char* unit, int iModbus, char cDataFormat, int iCanbus, int iConfig, char ucExec,
               char ucCanSource, int* errCode) {
  setCode(errCode, kInitOk);
  if (!validHandle(varNum)) {
    setCode(errCode, kInitBadHandle);
    return false;
  }
  volatile auto& p = shared_mem->parameter;
  p.cExponent[varNum] = cExponent;
  p.ucExec[varNum] = static_cast<uint8_t>(ucExec);
  Bit32tag config{.all = 0};
  config.bits.objectType = 1;
  config.bits.initialized = 1;
  config.all |= static_cast<uint32_t>(iConfig);
  flags(varNum).all = config.all;

  // A refused range leaves the handle defined with the range it had (0 after the reset).
  if (!initParameter(varNum, iMin, iMax, iDefault)) {
    setCode(errCode, kInitBadRange);
    return false;
  }
  const unsigned format = formatOf(cDataFormat);
  const bool named = tag != nullptr && tag[0] != '\0';
  if (named && std::strlen(tag) > 3 && iModbus >= 0 && isClientWritable(iModbus, format)) {
    flags(varNum).bits.store = 1;
  }

  if (iCanbus >= 0) {
    if (!rangeFitsFormat(format, iMin, iMax, iDefault)) {
      setCode(errCode, kInitCanUnfitRange);
      return true;
    }
    if (attachCanbus(varNum, iCanbus, cDataFormat, ucCanSource) == 0) {
      setCode(errCode, kInitCanRefused);
      return false;
    }
  }
  if (iModbus >= 0) {
    if (!rangeFitsFormat(format, iMin, iMax, iDefault)) {
      setCode(errCode, kInitModbusUnfitRange);
      return true;
    }
    if (attachModbus(varNum, iModbus, cDataFormat) == 0) {
      setCode(errCode, kInitModbusRefused);
      return false;
    }
  }
  if (named && !attachTagAndUnit(tag, unit, varNum)) {
    setCode(errCode, kInitNameRefused);
    return false;
  }
  if (flags(varNum).bits.groupAttached) {
    const int group = attachGroup(varNum);
    if (group == 0) {
      flags(varNum).bits.groupAttached = 0;
      setCode(errCode, kInitGroupRefused);
      return false;
    }
    p.iValue[varNum] = group;
    flags(varNum).all = flags(varNum).all | kGroupAttachedMark;
    std::fprintf(stderr, "group attached %x %d %d \n", flags(varNum).all, group, varNum);
  }
  return true;
}

bool dbInitSharedInt(int varNum, int iValue, int* errCode) {
  if (!validHandle(varNum)) {
    setCode(errCode, kInitBadHandle);
    return false;
  }
  volatile auto& p = shared_mem->parameter;
  p.cExponent[varNum] = 0;
  p.ucExec[varNum] = 0;
  Bit32tag config{.all = 0};
  config.bits.initialized = 1;
  config.bits.notInMasterTaglist = 1;
  config.bits.noReset = 1;
  flags(varNum).all = config.all;
  p.iMin[varNum] = 0;
  p.iMax[varNum] = 0;
  p.iDefault[varNum] = 0;
  p.iValue[varNum] = iValue;
  setCode(errCode, kInitOk);
  return true;
}

// ---------------------------------------------------------------- names

bool attachTagAndUnit(const char* t, const char* u, int varNum) {
  volatile auto& names = shared_mem->tag;
  if (names.status < 0 || t == nullptr || !validHandle(varNum)) return false;
  int slot = 0;
  while (slot < kNoOfNameSlots && names.iRef[slot] != varNum && names.iRef[slot] != -1) ++slot;
  if (slot == kNoOfNameSlots) return false;
  copyBounded(names.name[slot], t, kTagNameSize);
  copyBounded(names.unit[slot], u, kTagUnitSize);
  names.iRef[slot] = varNum;
  // A redefinition reuses its slot but still counts: the sort then sees one empty slot more.
  names.status = names.status + 1;
  return true;
}

bool attachTagName(const char* s, int varNum) { return attachTagAndUnit(s, nullptr, varNum); }

bool sortTagnames() {
  volatile auto& names = shared_mem->tag;
  if (names.status < 0) return true;
  const int count = std::min(static_cast<int>(names.status), kNoOfNameSlots);
  struct Slot {
    std::array<char, kTagNameSize> name;
    std::array<char, kTagUnitSize> unit;
    int32_t iRef;
  };
  std::vector<Slot> slots(count);
  for (int i = 0; i < count; ++i) {
    std::copy_n(storeview::nameOfSlot(i), kTagNameSize, slots[i].name.begin());
    std::copy_n(storeview::unitOfSlot(i), kTagUnitSize, slots[i].unit.begin());
    slots[i].iRef = names.iRef[i];
  }
  // Stable, so slots of equal names (the empty ones) keep their order.
  std::stable_sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) {
    return std::strcmp(a.name.data(), b.name.data()) < 0;
  });
  for (int i = 0; i < count; ++i) {
    for (int c = 0; c < kTagNameSize; ++c) names.name[i][c] = slots[i].name[c];
    for (int c = 0; c < kTagUnitSize; ++c) names.unit[i][c] = slots[i].unit[c];
    names.iRef[i] = slots[i].iRef;
  }
  names.status = -count;
  return true;
}

// ---------------------------------------------------------------- Modbus, CAN, texts

int attachModbus(int varNum, int address, char dataFormat) {
  volatile auto& list = shared_mem->modbus;
  const int entry = list.noOfAttacedVars;
  if (entry >= kNoOfModbusEntries) {
    std::printf("maximum modbus vars Reached\n");
    return 0;
  }
  const unsigned format = formatOf(dataFormat);
  if (!validHandle(varNum) || address < 0 || address > kHighestModbusAddress || format > kHighestFormat) return 0;
  if (isTextFormat(format) && shared_mem->text.noOfAttachedTexts >= kNoOfTexts) return 0;
  Bit32Modbustag word{.allModbus = 0};
  word.bits.dataFormat = format;
  word.bits.address = static_cast<uint32_t>(address);
  word.bits.handleRef = static_cast<uint32_t>(varNum);
  list.config[entry].allModbus = word.allModbus;
  list.lastValue[entry] = 0;
  shared_mem->parameter.modbus.address[varNum] = address;
  if (isTextFormat(format)) attachText(dataFormat, static_cast<short>(entry), static_cast<short>(varNum));
  list.noOfAttacedVars = static_cast<int16_t>(entry + 1);
  return 1;
}

int attachCanbus(int varNum, int address, char dataFormat, char CanSource) {
  volatile auto& map = shared_mem->canbus;
  const unsigned format = formatOf(dataFormat);
  if (map.noOfAttacedVars >= kNoOfCanAddresses || format > kFormat32Bit || !validHandle(varNum) ||
      !storeview::validCanAddress(address)) {
    return 0;
  }
  Bit32Canbustag word{.allCanbus = map.config[address].allCanbus};
  word.bits.lastValue = 0;
  word.bits.dataLen = format + 1;
  word.bits.handleRef = static_cast<uint32_t>(varNum);
  word.bits.source = canDirection(static_cast<unsigned char>(CanSource), word.bits.source);
  map.config[address].allCanbus = word.allCanbus;
  shared_mem->parameter.canbus.address[varNum] = address;
  map.noOfAttacedVars = static_cast<int16_t>(map.noOfAttacedVars + 1);
  return 1;
}

int attachText(char dataFormat, short modbusIndex, short iRef) {
  volatile auto& texts = shared_mem->text;
  const int entry = texts.noOfAttachedTexts;
  const unsigned format = formatOf(dataFormat);
  if (entry >= kNoOfTexts || !isTextFormat(format)) return 0;
  texts.length[entry] = format == kFormatText12 ? 12 : format == kFormatText7 ? 7 : 1;
  texts.modbusIndex[entry] = modbusIndex;
  texts.iRef[entry] = iRef;
  for (int i = 0; i < kTextSize; ++i) texts.txt[entry][i] = '\0';
  texts.noOfAttachedTexts = static_cast<char>(entry + 1);
  return entry + 1;
}

// ---------------------------------------------------------------- groups

// A group uses the slot of its own number; slot 0 stays unused so that the number (the
// group tag's value) and the slot agree.
int attachGroup(int /*varNum*/) {
  volatile auto& group = shared_mem->group;
  const int slot = group.noOfAttacedVars + 1;
  if (slot >= kNoOfGroups) return 0;
  for (int row = 0; row < kGroupRows; ++row) {
    for (int column = 0; column < kGroupColumns; ++column) group.handles[slot][row][column] = -1;
  }
  group.rows[slot] = 0;
  group.columns[slot] = 0;
  group.noOfAttacedVars = static_cast<int16_t>(slot);
  return slot;
}

bool dbGroupSetupSize(int varNum, int row, int col) {
  const int slot = groupSlotOf(varNum);
  if (slot < 0 || row < 0 || row > kGroupRows || col < 0 || col > kGroupColumns) return false;
  volatile auto& group = shared_mem->group;
  group.rows[slot] = static_cast<int16_t>(row);
  group.columns[slot] = static_cast<int16_t>(col);
  for (int r = 0; r < row; ++r) {
    for (int c = 0; c < col; ++c) group.handles[slot][r][c] = kGroupCellEmpty;
  }
  return true;
}

bool dbGroupHandleAttach(int varNum, short row, short col, int handleRef) {
  const int slot = groupSlotOf(varNum);
  if (slot < 0 || !validHandle(handleRef) || row < 0 || row >= kGroupRows || col < 0 || col >= kGroupColumns) {
    return false;
  }
  volatile int16_t& cell = shared_mem->group.handles[slot][row][col];
  if (cell == -1) return false;
  cell = static_cast<int16_t>(handleRef);
  return true;
}

bool dbGroupGetData(int varNum, groupType* data) {
  return readGroup(varNum, data, [](int cell) { return validHandle(cell) ? shared_mem->parameter.iValue[cell] : 0; });
}

// The member handles themselves; an empty cell reads as 10000.
bool dbGroupGetReference(int varNum, groupType* href) {
  return readGroup(varNum, href, [](int cell) { return cell; });
}

bool dbGroupGetStringData(int varNum, char* str) {
  groupType data{};
  if (!dbGroupGetData(varNum, &data)) return false;
  const int slot = groupSlotOf(varNum);
  size_t used = strnlen(str, kGroupTextSize - 1);
  auto append = [&](const char* format, int value) {
    const int written = std::snprintf(str + used, kGroupTextSize - used, format, value);
    if (written > 0) used = std::min<size_t>(used + written, kGroupTextSize - 1);
  };
  for (int column = 0; column < shared_mem->group.columns[slot]; ++column) {
    for (int row = 0; row < shared_mem->group.rows[slot]; ++row) {
      const char* separator = row > 0 ? ",%d" : (column > 0 ? ";%d" : "%d");
      append(separator, data.value[row][column]);
    }
  }
  return true;
}

bool dbGroupGetStringDataByTagName(const char* s, char* str) {
  int handle = -1;
  int code = 0;
  return dbGetHandleByTagname(s, &handle, &code) && dbGroupGetStringData(handle, str);
}
