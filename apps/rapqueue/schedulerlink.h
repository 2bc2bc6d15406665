// One Modbus TCP client connection to a scheduler unit's register server, owning its
// libmodbus context.
#pragma once

#include <modbus.h>

#include <cstdint>

namespace rapqueue {

// Address tags hold IPv4 addresses in network byte order: the first octet is the least
// significant byte of the value, so 0x0100007F is 127.0.0.1.
struct DottedAddress {
  char text[16];
};
DottedAddress dottedAddress(uint32_t tagAddress);

class SchedulerLink {
 public:
  SchedulerLink(uint32_t tagAddress, int port);
  ~SchedulerLink();
  SchedulerLink(const SchedulerLink&)            = delete;
  SchedulerLink& operator=(const SchedulerLink&) = delete;

  bool connect();
  bool writeRegister(int address, uint16_t value);
  bool readRegisters(int address, int count, uint16_t* words);

 private:
  modbus_t* context_ = nullptr;
};

}  // namespace rapqueue
