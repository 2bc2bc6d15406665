// The register image the clients read and write: four libmodbus tables, with the coil
// and holding tables placed above fixed bases so that their low parts mirror the
// read-only tables.
#pragma once

#include <modbus/modbus.h>

#include <cstdint>
#include <memory>

#include "config.h"
#include "modbusmap/wordlayout.h"

namespace regserver {

constexpr int kCoilBase    = 16384;  // coils below this mirror the discrete inputs
constexpr int kHoldingBase = 1024;   // holding registers below this mirror the input registers

// Modbus data formats of a mapping.
enum DataFormat : int { kBit = 0, kRegister16 = 1, kRegister32 = 2, kText12 = 3, kText7 = 4, kText1 = 5 };

// Registers a mapping occupies in its table.
int registerWidth(int format, int address);

// Table sizes: configured where given, else derived from the store's Modbus list.
struct ImageSizes {
  int coils;  // whole table, base included
  int discreteInputs;
  int inputRegisters;
  int holding;  // whole table, base included
};
ImageSizes resolveSizes(const TableSizes& configured, void (*log)(const char* what, int value));

class RegisterImage {
 public:
  explicit RegisterImage(const ImageSizes& sizes);
  bool valid() const { return mapping_ != nullptr; }
  modbus_mapping_t* mapping() const { return mapping_.get(); }

  // Accessors refuse addresses outside the table (false, or 0 when reading).
  bool hasCoil(int address) const;
  bool hasDiscreteInput(int address) const;
  bool hasInputRegisters(int address, int count) const;
  bool hasHolding(int address, int count) const;
  uint8_t coil(int address) const;
  void setCoil(int address, bool on);
  void setDiscreteInput(int address, bool on);
  uint16_t holding(int address) const;
  void setHolding(int address, uint16_t value);
  void setInputRegister(int address, uint16_t value);

 private:
  struct MappingDeleter {
    void operator()(modbus_mapping_t* mapping) const { modbus_mapping_free(mapping); }
  };
  std::unique_ptr<modbus_mapping_t, MappingDeleter> mapping_;
};

}  // namespace regserver
