// How a 32-bit tag value lies in two Modbus registers of the unit's register map, for
// the server that publishes it and for clients that read it back.
#pragma once

#include <cstdint>

#include "orxtags/handles.h"

namespace modbusmap {

constexpr int kDateHandle = tags::vxo_date;  // vxo_date: the packed date has a layout of its own

// The register at the tag's address and the one after it.
struct WordPair {
  uint16_t atAddress;
  uint16_t atNext;
};

// Input registers: high word first.
constexpr WordPair inputLayout32(int v) {
  const auto bits = static_cast<uint32_t>(v);
  return {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits & 0xFFFF)};
}
constexpr int readInput32(WordPair words) {
  return static_cast<int>((uint32_t{words.atAddress} << 16) | words.atNext);
}

// Holding registers: low word first unless the mapping has its word swap set.
constexpr WordPair holdingLayout32(int v, bool swapped) {
  const WordPair highFirst = inputLayout32(v);
  return swapped ? highFirst : WordPair{highFirst.atNext, highFirst.atAddress};
}
constexpr int readHolding32(WordPair words, bool swapped) {
  const uint32_t high = swapped ? words.atAddress : words.atNext;
  const uint32_t low = swapped ? words.atNext : words.atAddress;
  return static_cast<int>((high << 16) | low);
}

// The packed date's three bytes: year and month in the first register, day in the
// high byte of the second.
constexpr WordPair dateLayout(int v) {
  const auto bits = static_cast<uint32_t>(v);
  return {static_cast<uint16_t>((bits >> 8) & 0xFFFF), static_cast<uint16_t>((bits & 0xFF) << 8)};
}
constexpr int readDate(WordPair words) {
  return static_cast<int>(uint32_t{words.atAddress} * 256 + (words.atNext >> 8));
}

static_assert(readHolding32(holdingLayout32(0x00012345, false), false) == 0x00012345);
static_assert(holdingLayout32(0x00012345, false).atAddress == 0x2345);
static_assert(holdingLayout32(0x00012345, true).atAddress == 0x0001);
static_assert(readInput32(inputLayout32(-2)) == -2);
static_assert(dateLayout(0x00ABCDEF).atAddress == 0xABCD && dateLayout(0x00ABCDEF).atNext == 0xEF00);
static_assert(readDate(dateLayout(0x00ABCDEF)) == 0x00ABCDEF);

}  // namespace modbusmap#include "orxtags/handles.h"

