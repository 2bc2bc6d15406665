// Check of the Modbus address space: overlapping tags and the addresses still free.
#pragma once

#include <bitset>

#include "optioncall.h"

namespace inspector {

constexpr int kModbusAddressSpace = 0x8000;  // 15-bit addresses of the mapping words

// Which coil and register addresses the registered Modbus tags occupy.
struct AddressUse {
  std::bitset<kModbusAddressSpace> coils;
  std::bitset<kModbusAddressSpace> registers;
  int overlaps = 0;
};

// Marks every mapping of the store's Modbus list, printing each address used twice.
AddressUse markModbusAddresses();

int checkModbusAddresses(OptionArguments args);  // "-A"

}  // namespace inspector
