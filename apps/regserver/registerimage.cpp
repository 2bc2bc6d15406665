#include "registerimage.h"

#include <algorithm>

#include "sharedmem/tagaccess.h"

namespace regserver {

namespace {
// Sizes used when neither the configuration nor the Modbus list gives one: the whole
// address space the unit's map may use.
constexpr ImageSizes kFullMap = {kCoilBase + 256, 256, kHoldingBase, kHoldingBase + 1024};

bool inside(int address, int count, int size) { return address >= 0 && count > 0 && address + count <= size; }
}  // namespace

int registerWidth(int format, int address) {
  if (address < kHoldingBase) return format == kRegister32 ? 2 : 1;  // input texts show their checksum
  switch (format) {
    case kRegister32:
      return 2;
    case kText12:
      return 12;
    case kText7:
      return 7;
    default:
      return 1;
  }
}

ImageSizes resolveSizes(const TableSizes& configured, void (*log)(const char* what, int value)) {
  ImageSizes derived = {kCoilBase, 0, 0, kHoldingBase};
  const int count    = dbGetModbusNoOfIndex();
  for (int index = 0; index < count; ++index) {
    const int address = dbGetModbusAddress(index);
    const int format  = dbGetModbusDataFormat(index);
    if (format == kBit) {
      int& end = address < kCoilBase ? derived.discreteInputs : derived.coils;
      end      = std::max(end, address + 1);
    } else {
      int& end = address < kHoldingBase ? derived.inputRegisters : derived.holding;
      end      = std::max(end, address + registerWidth(format, address));
    }
  }
  if (count == 0) derived = kFullMap;
  const auto pick = [log](const std::optional<int>& size, int base, int fallback, const char* what) {
    if (size && *size >= 0) return *size + base;
    log(what, fallback - base);
    return fallback;
  };
  return {pick(configured.coils, kCoilBase, derived.coils, "nr_coils"),
          pick(configured.discreteInputs, 0, derived.discreteInputs, "nr_diginp"),
          pick(configured.inputRegisters, 0, derived.inputRegisters, "nr_input"),
          pick(configured.holding, kHoldingBase, derived.holding, "nr_holding")};
}

RegisterImage::RegisterImage(const ImageSizes& sizes)
    : mapping_(modbus_mapping_new(sizes.coils, sizes.discreteInputs, sizes.holding, sizes.inputRegisters)) {}

bool RegisterImage::hasCoil(int address) const { return inside(address, 1, mapping_->nb_bits); }
bool RegisterImage::hasDiscreteInput(int address) const { return inside(address, 1, mapping_->nb_input_bits); }
bool RegisterImage::hasInputRegisters(int address, int count) const {
  return inside(address, count, mapping_->nb_input_registers);
}
bool RegisterImage::hasHolding(int address, int count) const { return inside(address, count, mapping_->nb_registers); }

uint8_t RegisterImage::coil(int address) const { return hasCoil(address) ? mapping_->tab_bits[address] : 0; }

void RegisterImage::setCoil(int address, bool on) {
  if (hasCoil(address)) mapping_->tab_bits[address] = on ? 1 : 0;
}

void RegisterImage::setDiscreteInput(int address, bool on) {
  if (hasDiscreteInput(address)) mapping_->tab_input_bits[address] = on ? 1 : 0;
}

uint16_t RegisterImage::holding(int address) const {
  return hasHolding(address, 1) ? mapping_->tab_registers[address] : 0;
}

void RegisterImage::setHolding(int address, uint16_t value) {
  if (hasHolding(address, 1)) mapping_->tab_registers[address] = value;
}

void RegisterImage::setInputRegister(int address, uint16_t value) {
  if (hasInputRegisters(address, 1)) mapping_->tab_input_registers[address] = value;
}

}  // namespace regserver
