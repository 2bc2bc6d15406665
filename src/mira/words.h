// The packed words MIRA shares with the master daemon: three 10-bit shares or limits in
// one 32-bit word, a unit's status and the master's summary of one cell.
#pragma once

#include <cstdint>

namespace mira {

enum FieldType { kFirst = 0, kIntermediate = 1, kLast = 2, kNoFieldType = 3 };
constexpr int kFieldTypes = 3;
constexpr int kFullShare  = 1000;  // 0.1 %: a limit or profile of 100 %

// ThreePowers and ThreeLimits: first bits 0..9, intermediate 10..19, last 20..29, and two
// single bits 30 and 31 that are kept as they are.
struct ThreeFields {
  uint32_t all = 0;

  int get(int type) const { return static_cast<int>((all >> (10 * type)) & 0x3FF); }
  void set(int type, int value) {
    const uint32_t mask = 0x3FFu << (10 * type);
    all                 = (all & ~mask) | ((static_cast<uint32_t>(value) << (10 * type)) & mask);
  }
  static ThreeFields of(int first, int intermediate, int last) {
    ThreeFields word;
    word.set(kFirst, first);
    word.set(kIntermediate, intermediate);
    word.set(kLast, last);
    return word;
  }
};

// MiraMyStatus, from bit 0: productCode 5, fieldType 2, cell 4, followsUp 1, followsDown 1,
// idleCurr 3.
inline uint16_t myStatusWord(int productCode, int fieldType, int cell, bool followsUp, bool followsDown) {
  return static_cast<uint16_t>((productCode & 0x1F) | (fieldType & 0x3) << 5 | (cell & 0xF) << 7 |
                               (followsUp ? 1 : 0) << 11 | (followsDown ? 1 : 0) << 12);
}

// MiraCellStatus, from bit 0: fProductCode 5, fFollowsUp 1, fFollowsDown 1, iProductCode 5,
// iNumNoStatus 4, iNumFollowsUp 4, iNumFollowsDown 4, lProductCode 5, lFollowsUp 1,
// lFollowsDown 1, spare 1.
struct CellStatus {
  explicit CellStatus(uint32_t all)
      : fFollowsUp((all >> 5) & 1),
        fFollowsDown((all >> 6) & 1),
        iNumFollowsUp((all >> 16) & 0xF),
        iNumFollowsDown((all >> 20) & 0xF),
        lFollowsUp((all >> 29) & 1),
        lFollowsDown((all >> 30) & 1) {}

  bool followsUp(int type) const {
    return type == kFirst ? fFollowsUp != 0 : type == kIntermediate ? iNumFollowsUp != 0 : lFollowsUp != 0;
  }
  bool followsDown(int type) const {
    return type == kFirst ? fFollowsDown != 0 : type == kIntermediate ? iNumFollowsDown != 0 : lFollowsDown != 0;
  }

  uint32_t fFollowsUp, fFollowsDown, iNumFollowsUp, iNumFollowsDown, lFollowsUp, lFollowsDown;
};

}  // namespace mira
