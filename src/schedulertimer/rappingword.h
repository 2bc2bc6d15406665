// The 16-bit word that names a rapping slot, both as a unit's request and as an entry of a
// scheduler's queue: time in bits 0-7 (seconds; for the head entry the seconds left),
// field in bits 8-11, cell in bits 12-15. Monitors and other units read the queue
// registers in this layout, so requests use it too. An entry whose time is 0 is empty.
#pragma once

#include <cstdint>

namespace rapping {

struct QueueMessage {
  uint8_t time  = 0;  // seconds
  uint8_t field = 0;  // 0..15, see fieldId
  uint8_t cell  = 0;  // 0..15

  bool empty() const { return time == 0; }
  bool sameSlotOwner(const QueueMessage& other) const { return field == other.field && cell == other.cell; }
};

constexpr QueueMessage unpackMessage(uint16_t word) {
  return QueueMessage{static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>((word >> 8) & 0xF),
                      static_cast<uint8_t>((word >> 12) & 0xF)};
}

constexpr uint16_t packMessage(const QueueMessage& message) {
  return static_cast<uint16_t>(message.time | (message.field & 0xF) << 8 | (message.cell & 0xF) << 12);
}

// The field number a unit queues under, from the character code of its field letter:
// 'a' gives 0 and 'b'..'l' count down from 15; any other code minus 64 ('A' = 1).
int fieldIdOf(int fieldLetter);
// The same for this unit, from vxo_fieldposition.
int fieldId();

// Packed time of day: hours in bits 24-31, minutes 16-23, seconds 8-15; plus whole days.
constexpr int kSecondsPerDay     = 86400;
constexpr int kLongestInterval   = 86313600;  // seconds, 999 days
int convertToSeconds(int repTime, int repDay);
void secondsToTime(int seconds, int* repTime, int* repDay);

}  // namespace rapping
