// Limiter statistics: per 10-second row the share of each limiter code, kept in a short
// ring (10 s rows, windows of 10 s to 10 min) and a long ring (10 min rows, windows of
// 10 min to 24 h), with running sums so that each row costs a constant amount of work.
#pragma once

#include <array>
#include <cstdint>

#include "limitertags.h"

namespace limiters {

using Counts = std::array<int32_t, kCodes>;   // samples per code in one 10-second period
using Shares = std::array<uint16_t, kCodes>;  // per mille of the window
using Sums   = std::array<int32_t, kCodes>;

constexpr int kShortRows   = 61;   // 60 rows of 10 s and the one being replaced
constexpr int kLongRows    = 145;  // 144 rows of 10 min and the one being replaced
constexpr int kRowsPerLong = 60;   // 10-second rows per long row
constexpr int kSparkWeight = 2;    // spark samples count double
constexpr int kArcWeight   = 5;    // arc samples count five times
constexpr int kSparkCode   = 5;
constexpr int kArcCode     = 10;

// Window lengths in rows for the settings vxo_limiterstatshort and vxo_limiterstatlong.
int shortWindowRows(int setting);
int longWindowRows(int setting);

struct ShortHistory {
  std::array<Shares, kShortRows> perc{};  // per mille per row
  uint16_t num10sHandled = 0;             // 10-second rows since the last long row
  int32_t newest = 1, oldest = 0, userOldest = 0;
  bool full            = false;
  int32_t numSelection = 0;  // window, rows
  Sums accTot{};             // sum of the last 60 rows
  Sums accUser{};            // sum of the last numSelection rows
  Shares display{};
};

struct LongHistory {
  std::array<Shares, kLongRows> perc{};  // each the sum of sixty 10-second shares
  int32_t newest = 1, userOldest = 0;
  int32_t numSelection = 0;  // window, rows
  Sums accUser{};            // sum over the window
  Sums accSinceUpdated{};    // 10-second shares since the last long row
  Shares display{};
};

class LimiterStatistics {
 public:
  // Empties both histories and their results.
  void reset();
  // One 10-second period with its counts and the window settings as they read now.
  void addRow(const Counts& counts, int shortSetting, int longSetting);

  const Shares& shortResult() const { return short_.display; }
  const Shares& longResult() const { return long_.display; }

 private:
  void selectShortWindow(int rows);
  void selectLongWindow(int rows);
  void storeRow(const Shares& shares);
  void showShort();
  void showLong();
  void closeLongRow();

  ShortHistory short_;
  LongHistory long_;
};

// The share of each code in one period, in per mille, rounded; a period without counts gives 0.
Shares sharesOf(const Counts& counts);

}  // namespace limiters
