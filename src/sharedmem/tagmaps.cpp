// The Modbus mapping list (in definition order) and the CAN map (by CAN address).
#include <cstdint>

#include "sharedmem/storeview.h"
#include "sharedmem/tagaccess.h"

using storeview::validCanAddress;
using storeview::validHandle;

namespace {
bool inModbusList(int modbusIndex) {
  return modbusIndex >= 0 && modbusIndex < shared_mem->modbus.noOfAttacedVars;
}

volatile Bit32Modbustag& modbusEntry(int modbusIndex) { return shared_mem->modbus.config[modbusIndex]; }
volatile Bit32Canbustag& canEntry(int address) { return shared_mem->canbus.config[address]; }
}  // namespace

int dbGetModbusNoOfIndex() { return shared_mem->modbus.noOfAttacedVars; }

int dbGetModbusAddress(int modbusIndex) {
  return inModbusList(modbusIndex) ? static_cast<int>(modbusEntry(modbusIndex).bits.address) : -1;
}

int dbGetModbusDataFormat(int modbusIndex) {
  return inModbusList(modbusIndex) ? static_cast<int>(modbusEntry(modbusIndex).bits.dataFormat) : -1;
}

int dbGetModbusHandlePointer(int modbusIndex) {
  return inModbusList(modbusIndex) ? static_cast<int>(modbusEntry(modbusIndex).bits.handleRef) : -1;
}

bool dbIsSwapWordBitSet(int modbusIndex) {
  return inModbusList(modbusIndex) && modbusEntry(modbusIndex).bits.wordSwap;
}

int dbGetModbusLastValue(int modbusIndex) {
  return storeview::validModbusCapacity(modbusIndex) ? shared_mem->modbus.lastValue[modbusIndex] : 0;
}

bool dbSetModbusLastValue(int modbusIndex, int value) {
  if (!inModbusList(modbusIndex)) return false;
  shared_mem->modbus.lastValue[modbusIndex] = value;
  return true;
}

int dbGetModbusIndex(int varNum) {
  const int count = shared_mem->modbus.noOfAttacedVars;
  for (int index = 0; index < count; ++index) {
    if (static_cast<int>(modbusEntry(index).bits.handleRef) == varNum) return index;
  }
  return -1;
}

bool dbSetModbusIndexByHandle(int varNum, int /*modbusIndex*/, int* errCode) {
  const bool found = dbGetModbusIndex(varNum) >= 0;
  if (errCode != nullptr) *errCode = found ? 0 : 1;
  return found;
}

void dbSetWordSwap(int varNum) {
  if (!validHandle(varNum) || shared_mem->parameter.modbus.address[varNum] < 0) return;
  const int index = dbGetModbusIndex(varNum);
  if (index >= 0 && modbusEntry(index).bits.dataFormat == 2) modbusEntry(index).bits.wordSwap = 1;
}

void dbModbusProtectAll() {
  for (int handle = 0; handle < kNoOfHandles; ++handle) storeview::flags(handle).bits.modbusProtected = 1;
}

void dbModbusUnprotect(int varNum) {
  if (validHandle(varNum)) storeview::flags(varNum).bits.modbusProtected = 0;
}

int dbGetCanbusNoOfIndex() { return shared_mem->canbus.noOfAttacedVars; }

int dbGetCanbusDataType(int address) {
  return validCanAddress(address) ? static_cast<int>(canEntry(address).bits.dataLen) : 0;
}

int dbGetCanbusLastValue(int address) { return validCanAddress(address) ? canEntry(address).bits.lastValue : 0; }

void dbSetCanbusLastValue(int address, int value) {
  if (validCanAddress(address)) canEntry(address).bits.lastValue = value;
}

int dbGetCanbusHandlePointer(int address) {
  return validCanAddress(address) ? static_cast<int>(canEntry(address).bits.handleRef) : -1;
}

int dbGetCanbusSource(int address) {
  return validCanAddress(address) ? static_cast<int>(canEntry(address).bits.source) : 0;
}
