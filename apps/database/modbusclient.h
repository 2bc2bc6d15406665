// A Modbus TCP client context that is closed and freed with its owner.
#pragma once

#include <modbus/modbus.h>

class ModbusClient {
 public:
  ModbusClient() = default;
  ~ModbusClient() { release(); }
  ModbusClient(const ModbusClient&) = delete;
  ModbusClient& operator=(const ModbusClient&) = delete;

  // Creates the context (no connection is made); false when libmodbus refuses.
  bool create(const char* address, int port) {
    release();
    context_ = modbus_new_tcp(address, port);
    if (context_ != nullptr) modbus_set_debug(context_, FALSE);
    return context_ != nullptr;
  }
  void release() {
    if (context_ == nullptr) return;
    modbus_close(context_);
    modbus_free(context_);
    context_ = nullptr;
  }
  modbus_t* context() const { return context_; }

 private:
  modbus_t* context_ = nullptr;
};
