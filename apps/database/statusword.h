// The packed status word of the unit: one 32-bit word built from a table of source tags,
// published in vxi_commonstatus and mirrored in two discovery bits.
#pragma once

#include <cstdint>

// The word as last built by setStatusWord.
extern uint32_t statusWord;

// Twice a second: rebuilds the word from its source tags and publishes it.
void setStatusWord();
