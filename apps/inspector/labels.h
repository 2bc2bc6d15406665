// How the inspector names Modbus data formats and CAN map entries.
#pragma once

namespace inspector {

constexpr int kReadWriteCoilBase = 0x4000;   // coils from here are writable; below: discrete inputs
constexpr int kReadWriteRegisterBase = 1024;  // holding registers from here; below: input registers

struct ModbusFormatLabel {
  const char* column;  // the padded column of the tag lists
  const char* name;    // the format in the tag information
  const char* client;  // the type in the Modbus client's tag list
  int span;            // registers (or bits) that hold the value
  int checkedSpan;     // registers (or bits) the address-space check reserves
};

// The label of a Modbus data format (0..5); an unknown format gets "UNKNOWN".
const ModbusFormatLabel& modbusFormatLabel(int dataFormat);

// Registers a mapping at this address occupies, as the register server publishes it
// (a text at an input-register address shows only its checksum, in one register), and
// as the address-space check reserves them.
int registerSpan(int dataFormat, int address);
int checkedRegisterSpan(int dataFormat, int address);

struct CanSourceLabel {
  const char* direction;  // the direction column of the CAN map listing
  const char* source;     // the source in the tag information
};

// The labels of a CAN source code (0 not set up, 1 to the signal processor, 2 from it, 3 both).
const CanSourceLabel& canSourceLabel(int source);
// The CAN data type of a data length code (1 bit, 2 16-bit, 3 32-bit, 0 not set up).
const char* canDataTypeLabel(int dataLen);

}  // namespace inspector
