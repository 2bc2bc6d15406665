#include "controlmath.h"

#include <array>

namespace {

// 500 * (1 - cos(pi * i / 100)) rounded, for ignition angles i = 0..50 %; the upper half
// follows by symmetry.
constexpr std::array<short, 51> kIgnitionPowerLowerHalf = {
    0,   0,   1,   2,   4,   6,   9,   12,  16,  20,  24,  30,  35,  41,  48,  54,  62,
    70,  78,  86,  95,  105, 115, 125, 136, 146, 158, 169, 181, 194, 206, 219, 232, 245,
    259, 273, 287, 301, 316, 331, 345, 361, 376, 391, 406, 422, 437, 453, 469, 484, 500};
constexpr int kFullAngle = 100;  // %
constexpr int kFullPower = 1000; // per mille

void bubbleSort(short* values, int count) {
  for (int pass = 0; pass < count - 1; ++pass) {
    for (int i = 0; i < count - 1 - pass; ++i) {
      if (values[i] > values[i + 1]) {
        const short swap = values[i];
        values[i] = values[i + 1];
        values[i + 1] = swap;
      }
    }
  }
}

}  // namespace

int highest(int a, int b) { return a > b ? a : b; }
int lowest(int a, int b) { return a < b ? a : b; }

int constrain(int value, int max, int min) {
  if (value > max) return max;
  if (value < min) return min;
  return value;
}

int limits(int value, int max, int min, bool reset) {
  if (value > max) return reset ? 0 : max;
  if (value < min) return reset ? 0 : min;
  return value;
}

uint32_t squareRootUnsigned(uint32_t input) {
  uint32_t result = 0;
  uint32_t bit = 1u << 30;  // the largest power of four of the type
  while (bit > input) bit >>= 2;
  while (bit != 0) {
    if (input >= result + bit) {
      input -= result + bit;
      result = (result >> 1) + bit;
    } else {
      result >>= 1;
    }
    bit >>= 2;
  }
  return result;
}

int SquareRoot(int a_nInput) {
  return a_nInput <= 0 ? 0 : static_cast<int>(squareRootUnsigned(static_cast<uint32_t>(a_nInput)));
}

short median3(short* values) {
  bubbleSort(values, 3);
  return values[1];
}

short median4(short* values) {
  bubbleSort(values, 4);
  return static_cast<short>((values[1] + values[2] + 1) / 2);
}

short median5(short* values) {
  bubbleSort(values, 5);
  return values[2];
}

short median15(short* values) {
  bubbleSort(values, 15);
  return values[7];
}

int ignAngleToPower(int ignAngle) {
  const auto angle = static_cast<unsigned>(ignAngle);
  if (angle > kFullAngle) return 0;
  if (angle <= kFullAngle / 2) return kIgnitionPowerLowerHalf[angle];
  return kFullPower - kIgnitionPowerLowerHalf[kFullAngle - angle];
}
