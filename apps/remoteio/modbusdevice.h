// One Modbus TCP client connection to a remote device, owning its libmodbus context.
#pragma once

#include <modbus.h>

#include <cstdint>
#include <optional>

namespace remoteio {

// A tag holds an IPv4 address in network byte order: the first octet is the least
// significant byte of the value, so 0x0100007F is 127.0.0.1.
struct DottedAddress {
  char text[16];
};
DottedAddress dottedAddress(uint32_t tagAddress);

class ModbusDevice {
 public:
  ModbusDevice(uint32_t tagAddress, int port);
  ~ModbusDevice();
  ModbusDevice(const ModbusDevice&)            = delete;
  ModbusDevice& operator=(const ModbusDevice&) = delete;

  bool connect();
  std::optional<uint16_t> readHoldingRegister(int address);
  std::optional<bool> readDiscreteInput(int address);
  std::optional<bool> readCoil(int address);
  bool writeRegister(int address, uint16_t value);
  bool writeCoil(int address, bool on);

 private:
  modbus_t* context_ = nullptr;
};

}  // namespace remoteio
