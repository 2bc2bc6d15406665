#include "requestgate.h"

#include <modbus/modbus.h>

#include <algorithm>

#include "sharedmem/tagaccess.h"
#include "synchroniser.h"

namespace regserver {

RequestKind classifyFunction(int function) {
  switch (function) {
    case MODBUS_FC_READ_COILS:
    case MODBUS_FC_READ_DISCRETE_INPUTS:
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_READ_INPUT_REGISTERS:
      return RequestKind::kRead;
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
      return RequestKind::kWrite;
    default:
      return RequestKind::kUnsupported;
  }
}

bool passesLockGate(int function, int startAddress, uint32_t clientAddress) {
  if (dbReadValueByHandle(handles::kLockedMode) == 0) return true;
  if (static_cast<uint32_t>(dbReadValueByHandle(handles::kLockedByIp)) == clientAddress) return true;
  return function == MODBUS_FC_WRITE_SINGLE_COIL && std::find(std::begin(kLockExemptCoils), std::end(kLockExemptCoils),
                                                              startAddress) != std::end(kLockExemptCoils);
}

}  // namespace regserver
