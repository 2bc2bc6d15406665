#include "requestframe.h"

#include <modbus/modbus.h>

namespace regserver {

namespace {

constexpr int kHeaderLength   = 7;  // up to and with the unit identifier
constexpr int kShortestLength = 2;  // unit identifier and function code
constexpr int kLongestLength  = MODBUS_TCP_MAX_ADU_LENGTH - static_cast<int>(kLengthFieldEnd);

// The bytes of a request after its header by function code: a fixed part, then as many
// bytes as the byte count at countOffset says (0: no byte count). Any other function is
// its code alone.
struct RequestShape {
  int function;
  int fixedBytes;
  int countOffset;
};
// clang-format off
// function                              fixed  count at
constexpr RequestShape kRequestShapes[] = {
    {MODBUS_FC_READ_COILS,                 5,     0},
    {MODBUS_FC_READ_DISCRETE_INPUTS,       5,     0},
    {MODBUS_FC_READ_HOLDING_REGISTERS,     5,     0},
    {MODBUS_FC_READ_INPUT_REGISTERS,       5,     0},
    {MODBUS_FC_WRITE_SINGLE_COIL,          5,     0},
    {MODBUS_FC_WRITE_SINGLE_REGISTER,      5,     0},
    {MODBUS_FC_WRITE_MULTIPLE_COILS,       6,     5},
    {MODBUS_FC_WRITE_MULTIPLE_REGISTERS,   6,     5},
    {MODBUS_FC_MASK_WRITE_REGISTER,        7,     0},
    {MODBUS_FC_WRITE_AND_READ_REGISTERS,   10,    9},
};
// clang-format on
constexpr RequestShape kFunctionCodeOnly = {0, 1, 0};

const RequestShape& shapeOf(int function) {
  for (const RequestShape& shape : kRequestShapes) {
    if (shape.function == function) return shape;
  }
  return kFunctionCodeOnly;
}

}  // namespace

int frameLength(const uint8_t* header) {
  const int length = (header[4] << 8) | header[5];
  if (length < kShortestLength || length > kLongestLength) return -1;
  return static_cast<int>(kLengthFieldEnd) + length;
}

int requestLength(std::span<const uint8_t> frame) {
  const int available = static_cast<int>(frame.size());
  if (available <= kHeaderLength) return -1;
  const RequestShape& shape = shapeOf(frame[kHeaderLength]);
  int length                = kHeaderLength + shape.fixedBytes;
  if (shape.countOffset != 0) {
    if (length > available) return -1;
    length += frame[static_cast<size_t>(kHeaderLength + shape.countOffset)];
  }
  return length <= available ? length : -1;
}

}  // namespace regserver
