// Where one Modbus TCP request ends. The length field of its header frames it in the
// stream; its function's own fields say how many of those bytes the request uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace regserver {

// Transaction (2 bytes), protocol (2), then the length (2) of what follows: the unit
// identifier and the function's bytes.
constexpr size_t kLengthFieldEnd = 6;

// The length of the whole frame from its first kLengthFieldEnd bytes; -1 when the length
// field gives a size no request can have.
int frameLength(const uint8_t* header);

// The length of the request in a whole frame, header included, as its function code and
// byte count give it: the length libmodbus reads and replies to. -1 when the frame holds
// fewer bytes than that; bytes past it belong to no request.
int requestLength(std::span<const uint8_t> frame);

}  // namespace regserver
