// Which requests a client may make, and the lock gate for writes.
#pragma once

#include <cstdint>

namespace regserver {

// Coils of vxo_virtualinput01..06: single-coil writes pass the lock from any client.
constexpr int kLockExemptCoils[] = {16462, 16463, 16464, 16465, 16466, 16467};

enum class RequestKind { kRead, kWrite, kUnsupported };

// Reads 1-4 and writes 5, 6, 15, 16 are served; every other function is refused, so
// that no write can pass around the lock gate.
RequestKind classifyFunction(int function);

// A write passes when the unit is not locked, when it comes from the client holding the
// lock, or when it writes one lock-exempt coil. clientAddress is the socket's address
// word (first octet in the least significant byte).
bool passesLockGate(int function, int startAddress, uint32_t clientAddress);

}  // namespace regserver
