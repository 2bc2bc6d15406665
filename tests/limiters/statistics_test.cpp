// The statistics against shares worked out independently: every period counts one code
// only, so each row is 1000 per mille for that code and a window's share is the number of
// its rows with that code, times 1000, over the window's length.
#include "statistics.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace limiters;

Counts only(int code, int samples = 50) {
  Counts counts{};
  counts[code] = samples;
  return counts;
}

// Rounded per mille share of `code` among the last `window` entries of `codes`.
int expectedShare(const std::vector<int>& codes, int window, int code) {
  int rows = 0;
  for (size_t i = codes.size() - static_cast<size_t>(window); i < codes.size(); ++i) rows += codes[i] == code;
  return (rows * 1000 + window / 2) / window;
}

TEST(LimiterShares, WeightsSparksAndArcsAndTakesAnEmptyPeriodAsNoShares) {
  Counts counts{};
  counts[kSparkCode]    = 1;  // counts 2
  counts[kArcCode]      = 1;  // counts 5
  counts[9]             = 3;
  const Shares weighted = sharesOf(counts);
  EXPECT_EQ(weighted[kSparkCode], 200);
  EXPECT_EQ(weighted[kArcCode], 500);
  EXPECT_EQ(weighted[9], 300);

  LimiterStatistics statistics;
  statistics.reset();
  statistics.addRow(only(9), 0, 0);
  EXPECT_EQ(statistics.shortResult()[9], 1000);
  statistics.addRow(Counts{}, 0, 0);
  for (int code = 0; code < kCodes; ++code) EXPECT_EQ(statistics.shortResult()[code], 0) << code;
}

// The 60-row window over the 61-row ring, through several turns of the ring: the row being
// replaced is never one of the window's.
TEST(LimiterStatistics, SixtyRowWindowFollowsTheLastSixtyPeriods) {
  LimiterStatistics statistics;
  statistics.reset();
  std::vector<int> codes;
  for (int period = 0; period < 150; ++period) {
    const int code = (period * 7 / 3) % kCodes;
    codes.push_back(code);
    statistics.addRow(only(code), 3, 2);
    if (codes.size() < 60) continue;
    for (int c = 0; c < kCodes; ++c) {
      const int expected = expectedShare(codes, 60, c);
      ASSERT_EQ(statistics.shortResult()[c], expected) << "period " << period << " code " << c;
    }
  }
  // A shorter window over the same ring, recomputed from the stored rows at once.
  codes.push_back(0);
  statistics.addRow(only(0), 1, 2);
  for (int c = 0; c < kCodes; ++c) EXPECT_EQ(statistics.shortResult()[c], expectedShare(codes, 6, c)) << c;
}

// Six 10-minute rows, code k throughout the k-th; then the long window goes from one row to
// six. One period later the six-row window is the last 360 periods.
TEST(LimiterStatistics, LongWindowSwitchRecomputesFromStoredRows) {
  LimiterStatistics statistics;
  statistics.reset();
  std::vector<int> codes;
  for (int longRow = 0; longRow < 6; ++longRow) {
    for (int period = 0; period < 60; ++period) {
      codes.push_back(longRow);
      statistics.addRow(only(longRow), 3, 0);
    }
    // A one-row window shows the last ten minutes: one code only.
    EXPECT_EQ(statistics.longResult()[longRow], 1000) << longRow;
  }
  codes.push_back(6);
  statistics.addRow(only(6), 3, 2);
  for (int c = 0; c < kCodes; ++c) EXPECT_EQ(statistics.longResult()[c], expectedShare(codes, 360, c)) << c;
}

TEST(LimiterWindows, SettingsGiveTheirRows) {
  EXPECT_EQ(shortWindowRows(0), 1);
  EXPECT_EQ(shortWindowRows(1), 6);
  EXPECT_EQ(shortWindowRows(2), 30);
  EXPECT_EQ(shortWindowRows(3), 60);
  EXPECT_EQ(shortWindowRows(-1), 60);
  const int longRows[] = {1, 3, 6, 12, 24, 36, 72, 144};
  for (int setting = 0; setting < 8; ++setting) EXPECT_EQ(longWindowRows(setting), longRows[setting]) << setting;
  EXPECT_EQ(longWindowRows(8), 6);
  EXPECT_EQ(longWindowRows(-1), 6);
}

}  // namespace
