#include "modbusdevice.h"

#include <cstdio>

namespace remoteio {

DottedAddress dottedAddress(uint32_t tagAddress) {
  DottedAddress dotted{};
  std::snprintf(dotted.text, sizeof dotted.text, "%u.%u.%u.%u", tagAddress & 0xFFu, (tagAddress >> 8) & 0xFFu,
                (tagAddress >> 16) & 0xFFu, (tagAddress >> 24) & 0xFFu);
  return dotted;
}

ModbusDevice::ModbusDevice(uint32_t tagAddress, int port) {
  context_ = modbus_new_tcp(dottedAddress(tagAddress).text, port);
  if (context_ != nullptr) modbus_set_debug(context_, FALSE);
}

ModbusDevice::~ModbusDevice() {
  if (context_ == nullptr) return;
  modbus_close(context_);
  modbus_free(context_);
}

bool ModbusDevice::connect() { return context_ != nullptr && modbus_connect(context_) == 0; }

std::optional<uint16_t> ModbusDevice::readHoldingRegister(int address) {
  uint16_t value = 0;
  if (modbus_read_registers(context_, address, 1, &value) != 1) return std::nullopt;
  return value;
}

std::optional<bool> ModbusDevice::readDiscreteInput(int address) {
  uint8_t value = 0;
  if (modbus_read_input_bits(context_, address, 1, &value) != 1) return std::nullopt;
  return value != 0;
}

std::optional<bool> ModbusDevice::readCoil(int address) {
  uint8_t value = 0;
  if (modbus_read_bits(context_, address, 1, &value) != 1) return std::nullopt;
  return value != 0;
}

bool ModbusDevice::writeRegister(int address, uint16_t value) {
  return modbus_write_register(context_, address, value) == 1;
}

bool ModbusDevice::writeCoil(int address, bool on) { return modbus_write_bit(context_, address, on ? 1 : 0) == 1; }

}  // namespace remoteio
