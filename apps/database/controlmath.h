// Small integer helpers of the supervision: bounds, the integer square root, medians of
// short samples and the power that an ignition angle delivers.
#pragma once

#include <cstdint>

int highest(int a, int b);
int lowest(int a, int b);
// value clamped to [min, max]; the maximum is tested first.
int constrain(int value, int max, int min);
// Like constrain, but with reset an out-of-range value becomes 0 instead of the bound.
int limits(int value, int max, int min, bool reset);

// Integer square root by the bitwise method; 0 for a negative input.
int SquareRoot(int a_nInput);
uint32_t squareRootUnsigned(uint32_t input);

// Each sorts its array ascending in place and returns its middle (median4: the rounded
// mean of the two middle elements).
short median3(short* values);
short median4(short* values);
short median5(short* values);
short median15(short* values);

// Relative power in per mille for an ignition angle in percent; 0 above 100 % and for
// negative angles.
int ignAngleToPower(int ignAngle);
