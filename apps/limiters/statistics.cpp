#include "statistics.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace limiters {
namespace {

// Walking a whole ring when a window changes must not hog the processor.
void paceRingWalk() { std::this_thread::sleep_for(std::chrono::microseconds(1)); }

int ringIndex(int index, int size) { return ((index % size) + size) % size; }

// Sum of the newest `rows` stored rows of a ring whose next row is written at `newest`.
template <size_t N>
Sums sumNewestRows(const std::array<Shares, N>& ring, int newest, int rows) {
  Sums sums{};
  for (int back = 1; back <= rows; ++back) {
    const Shares& row = ring[static_cast<size_t>(ringIndex(newest - back, static_cast<int>(N)))];
    for (int code = 0; code < kCodes; ++code) {
      sums[code] += row[code];
      paceRingWalk();
    }
  }
  return sums;
}

// The short ring's next row; once the ring has gone round, its oldest row moves with it.
void advance(ShortHistory& ring) {
  if (ring.full) ring.oldest = (ring.oldest + 1) % kShortRows;
  ring.newest = (ring.newest + 1) % kShortRows;
  if (ring.newest == kShortRows - 1) ring.full = true;
}

uint16_t atLeastOne(int32_t value) { return static_cast<uint16_t>(std::max(value, 1)); }

}  // namespace

int shortWindowRows(int setting) {
  switch (setting) {
    case 0:
      return 1;
    case 1:
      return 6;
    case 2:
      return 30;
    default:
      return 60;
  }
}

int longWindowRows(int setting) {
  switch (setting) {
    case 0:
      return 1;
    case 1:
      return 3;
    case 3:
      return 12;
    case 4:
      return 24;
    case 5:
      return 36;
    case 6:
      return 72;
    case 7:
      return 144;
    default:
      return 6;
  }
}

Shares sharesOf(const Counts& counts) {
  Counts weighted = counts;
  weighted[kSparkCode] *= kSparkWeight;
  weighted[kArcCode] *= kArcWeight;
  int64_t total = 0;
  for (int32_t count : weighted) total += count;
  if (total == 0) total = 1;
  Shares shares{};
  for (int code = 0; code < kCodes; ++code) {
    shares[code] = static_cast<uint16_t>((weighted[code] * int64_t{1000} + total / 2) / total);
  }
  return shares;
}

void LimiterStatistics::reset() {
  short_ = ShortHistory{};
  long_  = LongHistory{};
}

void LimiterStatistics::addRow(const Counts& counts, int shortSetting, int longSetting) {
  ++short_.num10sHandled;
  selectShortWindow(shortWindowRows(shortSetting));
  selectLongWindow(longWindowRows(longSetting));
  storeRow(sharesOf(counts));
  showShort();
  showLong();
  if (short_.num10sHandled >= kRowsPerLong) closeLongRow();
  advance(short_);
}

void LimiterStatistics::selectShortWindow(int rows) {
  if (rows != short_.numSelection) {
    short_.numSelection = rows;
    short_.accUser      = sumNewestRows(short_.perc, short_.newest, rows);
  }
  short_.userOldest = ringIndex(short_.newest - rows, kShortRows);
}

void LimiterStatistics::selectLongWindow(int rows) {
  if (rows != long_.numSelection) {
    long_.numSelection = rows;
    long_.accUser      = sumNewestRows(long_.perc, long_.newest, rows);
  }
  long_.userOldest = ringIndex(long_.newest - rows, kLongRows);
}

void LimiterStatistics::storeRow(const Shares& shares) {
  const Shares& leavingTotal = short_.perc[static_cast<size_t>(short_.oldest)];
  const Shares& leavingUser  = short_.perc[static_cast<size_t>(short_.userOldest)];
  for (int code = 0; code < kCodes; ++code) {
    long_.accSinceUpdated[code] += shares[code];
    short_.accTot[code] += shares[code] - leavingTotal[code];
    short_.accUser[code] += shares[code] - leavingUser[code];
  }
  short_.perc[static_cast<size_t>(short_.newest)] = shares;
}

void LimiterStatistics::showShort() {
  const int32_t rows = short_.numSelection;
  for (int code = 0; code < kCodes; ++code) {
    const int32_t sum    = short_.accUser[code];
    short_.display[code] = sum <= 0 ? 0 : atLeastOne((sum + rows / 2) / rows);
  }
}

// The selected window slid forward by the part of the current 10 minutes already collected.
void LimiterStatistics::showLong() {
  const int32_t rows = long_.numSelection;
  if (rows == 1) {
    for (int code = 0; code < kCodes; ++code) {
      const int32_t sum   = short_.accTot[code];
      long_.display[code] = sum < 1 ? 0 : atLeastOne((sum + 30) / 60);
    }
    return;
  }
  const Shares& leaving = long_.perc[static_cast<size_t>(long_.userOldest)];
  for (int code = 0; code < kCodes; ++code) {
    const int32_t collected = long_.accUser[code] + long_.accSinceUpdated[code];
    if (collected <= 0) {
      long_.display[code] = 0;
      continue;
    }
    const int32_t slidOut = (leaving[code] * short_.num10sHandled + 30) / 60;
    long_.display[code]   = atLeastOne((collected + 30 * rows - slidOut) / (60 * rows));
  }
}

void LimiterStatistics::closeLongRow() {
  short_.num10sHandled  = 0;
  const int32_t rows    = long_.numSelection;
  long_.userOldest      = ringIndex(long_.newest - rows, kLongRows);
  const Shares& leaving = long_.perc[static_cast<size_t>(long_.userOldest)];
  Shares row{};
  for (int code = 0; code < kCodes; ++code) {
    row[code] = static_cast<uint16_t>(short_.accTot[code]);
    long_.accUser[code] += short_.accTot[code] - leaving[code];
    long_.accSinceUpdated[code] = 0;
    long_.display[code]         = static_cast<uint16_t>((long_.accUser[code] + 30 * rows) / (60 * rows));
  }
  long_.perc[static_cast<size_t>(long_.newest)] = row;
  long_.newest                                  = (long_.newest + 1) % kLongRows;
}

}  // namespace limiters
