// The packed status word of the unit: one 32-bit word built from a table of source tags,
// published in vxi_commonstatus and mirrored in two discovery bits.
#pragma once

#include <cstdint>
#include <span>

struct StatusField {
  int sourceHandle;  // tag whose low bits fill the field
  int firstBit;
  int width;  // bits
  const char* name;
};

// The fields in the order their source tags are read.
std::span<const StatusField> statusWordFields();

// The word as last built by setStatusWord.
extern uint32_t statusWord;

// Twice a second: rebuilds the word from its source tags and publishes it.
void setStatusWord();
