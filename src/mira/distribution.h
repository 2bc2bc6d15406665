// The master's change of the per-cell limits: the factor from the opacity average, which
// field type of each cell follows it, and the return of every limit to maximum.
#pragma once

#include "mira/words.h"

namespace mira {

constexpr int kCells = 10;  // cells 1..10 have limit tags

// Next factor id; the factor (0.01 %) that scales the limits, above 10000 when the opacity
// is above the set value; the new current share into vxi_opaccurr and vxi_miramainlimit.
int calculateChange();

// The field type of the cell whose limit changes: down, where it runs above its profile
// first; up, where it runs below it first. kNoFieldType when no field type can follow.
FieldType selectFieldTypeToUpdate(int cell, bool limitDown);

// Scales one limit per cell of the plant by factor and appends a line to the log.
void distributeChange(int factor);

// Main limit and current share 100 %, every limit of every cell 100 %.
void distributeMax();

}  // namespace mira
