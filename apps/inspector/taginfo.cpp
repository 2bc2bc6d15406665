#include "taginfo.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "labels.h"
#include "scaledvalue.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace inspector {

namespace {

const char* yesNo(bool yes) { return yes ? "yes" : "no"; }

std::string bitsOfByte(uint8_t byte) {
  std::string bits;
  for (int bit = 7; bit >= 0; --bit) bits += ((byte >> bit) & 1) ? '1' : '0';
  return bits;
}

uint8_t byteOf(int value, int byte) { return static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * byte)); }

void printValueBytes(int value) {
  std::printf("   bytes 0x%x:0x%x:0x%x:0x%x\n", byteOf(value, 0), byteOf(value, 1), byteOf(value, 2), byteOf(value, 3));
  // Each label shows the byte that holds those bits, highest bit first.
  std::printf("   bit 24-31 %s\n", bitsOfByte(byteOf(value, 3)).c_str());
  std::printf("   bit 16-23 %s\n", bitsOfByte(byteOf(value, 2)).c_str());
  std::printf("   bit 8-15  %s\n", bitsOfByte(byteOf(value, 1)).c_str());
  std::printf("   bit 0-7   %s\n", bitsOfByte(byteOf(value, 0)).c_str());
}

void printRangeCheck(const Bit32tag& config) {
  std::printf("range check: %s\n", config.bits.noRangeCheck ? "NO" : "YES");
}

void printObjectType(const Bit32tag& config) {
  constexpr const char* kObjectTypes[] = {"INTERNAL ", "VARIABLE ", "CONSTANT "};
  const unsigned type = config.bits.objectType;
  if (type < std::size(kObjectTypes)) {
    std::printf("object type: %s\n", kObjectTypes[type]);
  } else {
    std::printf("object type: %u \n", type);
  }
}

void printStorage(const objectType& tag) {
  int saved = 0;
  int code = 0;
  if (tag.config.bits.store && dbGetSaveValueByHandle(tag.handle, &saved, &code)) {
    std::printf("stored: YES value in save file %d \n", saved);
  } else {
    std::printf("stored: NO \n");
  }
  // A factory reset writes back only stored settings that are not excluded from it.
  if (tag.config.bits.store && !tag.config.bits.noReset) {
    std::printf("reset parameter by reset to defaults:YES to %d\n", tag.iDefault);
  } else {
    std::printf("reset parameter by reset to defaults:NO \n");
  }
}

void printFlags(const objectType& tag) {
  const Bit32tag& config = tag.config;
  std::printf("initialized: %d \n", config.bits.initialized);
  std::printf("protected: %d \n", config.bits.protect);
  if (config.bits.modeSetting != 0) std::printf("mode setting Tag mode: %d \n", config.bits.modeSetting);
  if (config.bits.actualModeSetting) std::printf("Actualmode Setting Tag mode\n");
  if (config.bits.modeSettingType != 0) std::printf("mode Type: %d \n", config.bits.modeSettingType);
  std::printf("modbusProtected: %d \n", config.bits.modbusProtected);
  std::printf("tagname: %s \n", tag.tag.name);
  std::printf("unit: %s \n", tag.tag.unit);
}

void printGroupTable(const groupType& table, int rows, int columns) {
  for (int row = 0; row < rows; ++row) {
    std::printf(" ");
    for (int column = 0; column < columns; ++column) std::printf(" %6d", table.value[row][column]);
    std::printf("\n");
  }
}

void printGroup(int handle, int groupNumber) {
  std::printf("group attached. group %d\n", groupNumber);
  if (groupNumber < 0 || groupNumber >= kNoOfGroups) return;
  const int rows = shared_mem->group.rows[groupNumber];
  const int columns = shared_mem->group.columns[groupNumber];
  std::printf("  columns %d rows %d \n", columns, rows);
  groupType cells{};
  if (dbGroupGetReference(handle, &cells)) printGroupTable(cells, rows, columns);
  if (dbGroupGetData(handle, &cells)) printGroupTable(cells, rows, columns);
  char text[kGroupTextSize] = "";
  dbGroupGetStringData(handle, text);
  std::printf("data String:\n  %s\n", text);
}

void printText(int handle) {
  int entry = 0;
  int code = 0;
  if (!dbGetTextIndexByHandle(handle, &entry, &code)) return;
  // The stored text is at most 29 characters; never read past its entry.
  char text[kTextSize] = {};
  for (int i = 0; i < kTextSize - 1; ++i) text[i] = shared_mem->text.txt[entry][i];
  std::printf("text attached \n  length %d \n", shared_mem->text.length[entry]);
  std::printf("  text: %s\n", text);
}

void printCanMapping(int handle, int canAddress) {
  if (canAddress < 0) return;
  if (canAddress >= kNoOfCanAddresses || dbGetCanbusHandlePointer(canAddress) != handle) {
    std::printf("can address %d without can mapping\n", canAddress);
    return;
  }
  std::printf("shared with DSP, canHandle: 0x%x (%d)\n", canAddress, canAddress);
  std::printf("  source: %s\n", canSourceLabel(dbGetCanbusSource(canAddress)).source);
  std::printf("  dataType: %s\n", canDataTypeLabel(dbGetCanbusDataType(canAddress)));
}

void printModbusAddress(int address, int span) {
  if (span == 2) {
    std::printf("available on modbus, address: 0x%x,0x%x (%d,%d)\n", address, address + 1, address, address + 1);
  } else if (span > 2) {
    const int last = address + span - 1;
    std::printf("available on modbus, address: 0x%x-0x%x (%d-%d)\n", address, last, address, last);
  } else {
    std::printf("available on modbus, address: 0x%x (%d)\n", address, address);
  }
}

void printModbusMapping(int handle, int modbusAddress) {
  if (modbusAddress < 0) return;
  const int index = dbGetModbusIndex(handle);
  if (index < 0) {
    std::printf("modbus address 0x%x (%d) without modbus mapping\n", modbusAddress, modbusAddress);
    return;
  }
  const int address = dbGetModbusAddress(index);
  const int format = dbGetModbusDataFormat(index);
  const ModbusFormatLabel& label = modbusFormatLabel(format);
  printModbusAddress(address, registerSpan(format, address));
  std::printf("  modbus handle %d \n", index);
  std::printf("  modbus data format: %s\n", label.name);
  const bool writeProtected = dbIsModbusProtected(handle);
  if (format != 0) {
    if (address < kReadWriteRegisterBase) {
      std::printf("  modbus read only register\n");
    } else {
      std::printf("  modbus read write register\n");
      std::printf("  modbus write protected: %s\n", yesNo(writeProtected));
    }
    std::printf("  swapWord bit: %d \n", dbIsSwapWordBitSet(index) ? 1 : 0);
  } else if (address >= kReadWriteCoilBase) {
    std::printf("  modbus read write coil\n");
    std::printf("  modbus write protected: %s\n", yesNo(writeProtected));
  } else {
    std::printf("  modbus read only coil\n");
  }
}

}  // namespace

int printTagInformation(const TagCall& call) {
  objectType tag{};
  int code = 0;
  if (!dbGetObjectByHandle(call.handle, &tag, &code)) {
    std::printf("ERROR: %d\n", code);
    return kExitFailed;
  }
  std::printf("handle: %d\n", tag.handle);
  std::printf("max: %d\n", tag.iMax);
  std::printf("min: %d\n", tag.iMin);
  std::printf("value: %d\n", tag.iValue);
  printValueBytes(tag.iValue);
  std::printf("exponent: %d\n", tag.cExponent);
  std::printf("formated value: %s\n", engineeringText(tag.iValue, tag.cExponent).c_str());
  printRangeCheck(tag.config);
  std::printf("default value: %d\n", tag.iDefault);
  printObjectType(tag.config);
  printStorage(tag);
  printRangeCheck(tag.config);
  printFlags(tag);
  if (tag.config.bits.groupAttached) {
    printGroup(tag.handle, tag.iValue);
  } else {
    printText(tag.handle);
  }
  printCanMapping(tag.handle, tag.canbus.address);
  printModbusMapping(tag.handle, tag.modbus.address);
  return kExitOk;
}

}  // namespace inspector
