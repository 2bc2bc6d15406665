#include "schedulerlink.h"

#include <arpa/inet.h>

namespace rapqueue {

DottedAddress dottedAddress(uint32_t tagAddress) {
  DottedAddress dotted{};
  const in_addr address{tagAddress};  // already in network byte order
  inet_ntop(AF_INET, &address, dotted.text, sizeof dotted.text);
  return dotted;
}

SchedulerLink::SchedulerLink(uint32_t tagAddress, int port)
    : context_(modbus_new_tcp(dottedAddress(tagAddress).text, port)) {}

SchedulerLink::~SchedulerLink() {
  if (context_ == nullptr) return;
  modbus_close(context_);
  modbus_free(context_);
}

bool SchedulerLink::connect() { return context_ != nullptr && modbus_connect(context_) == 0; }

bool SchedulerLink::writeRegister(int address, uint16_t value) {
  return context_ != nullptr && modbus_write_register(context_, address, value) == 1;
}

bool SchedulerLink::readRegisters(int address, int count, uint16_t* words) {
  return context_ != nullptr && modbus_read_registers(context_, address, count, words) == count;
}

}  // namespace rapqueue
