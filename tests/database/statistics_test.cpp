// Operating statistics: minutes, energy by whole kWh tenths with the remainder kept, the
// I/O group minutes, and the two files that carry them across a restart.
#include "statistics.h"

#include <gtest/gtest.h>

#include <cstring>

#include "daemon_fixture.h"

namespace {

using orvix::testing::DaemonTest;

// clang-format off
constexpr int kIoGroup2Output = 51;    // vxi_iogr2outp
constexpr int kSumAlarmTrip   = 81;    // vxi_sumalarmtrip
constexpr int kTronStatus     = 86;    // vxi_tronstatus
constexpr int kActPower       = 222;   // vxi_actpower, 0.1 kW
constexpr int kUpTime         = 397;   // vxi_uptime, min
constexpr int kInTripTime     = 398;   // vxi_accintriptime, min
constexpr int kTronTime       = 399;   // vxi_acctrontime, min
constexpr int kIoGroup2       = 401;   // vxi_acciogr2, min
constexpr int kEnergy         = 405;   // vxi_acckwh, 0.1 kWh
constexpr int kSecondsOfDay   = 1102;
// clang-format on

class StatisticsTest : public DaemonTest {
 protected:
  void SetUp() override {
    DaemonTest::SetUp();
    std::strcpy(daemon_.path.store, "/home/root/orvix/store/");
  }
  // Seconds of the day first .. last, one call each.
  void runSeconds(int first, int last) {
    for (int second = first; second <= last; ++second) {
      setTag(kSecondsOfDay, second);
      updateStatistics(daemon_);
    }
  }
};

TEST_F(StatisticsTest, MinutesAndEnergyCountWholeUnits) {
  setTag(kActPower, 1000);  // 100.0 kW
  setTag(kTronStatus, 1);
  setTag(kIoGroup2Output, 1);
  runSeconds(31, 89);
  EXPECT_EQ(tag(kUpTime), 0);
  runSeconds(90, 90);  // second 30 of a minute: 100 kW for 60 s is 1.666 kWh
  EXPECT_EQ(tag(kUpTime), 1);
  EXPECT_EQ(tag(kTronTime), 1);
  EXPECT_EQ(tag(kInTripTime), 0);
  EXPECT_EQ(tag(kEnergy), 16);
  setTag(kSumAlarmTrip, 1);
  setTag(kIoGroup2Output, 0);
  runSeconds(91, 150);  // 2 minutes at 100 kW make 3.333 kWh; the remainder carried over
  EXPECT_EQ(tag(kEnergy), 33);
  EXPECT_EQ(tag(kInTripTime), 1);
  EXPECT_EQ(tag(kIoGroup2), 1);  // 60 s on
  EXPECT_EQ(image_.readFile("/home/ftp/statistics"), "2;1;2;33;0;1;0;0;0\n");
  EXPECT_EQ(image_.readFile("/home/root/orvix/store/statistics.bak"), "2;1;2;33;0;1;0;0;0\n");
}

TEST_F(StatisticsTest, LoadTakesTheLargerOfTheTwoFiles) {
  // The file was cut short and the backup is a minute older.
  image_.writeFile("/home/ftp/statistics", "1500;20;900;7000;5;");
  image_.writeFile("/home/root/orvix/store/statistics.bak", "1499;21;899;6999;5;6;7;8;9;99\n");
  loadStatistics(daemon_);
  const int expected[] = {1500, 21, 900, 7000, 5, 6, 7, 8, 9};
  for (int field = 0; field < 9; ++field) {
    const int handle = field == 3 ? kEnergy : field < 3 ? kUpTime + field : 400 + field - 4;
    EXPECT_EQ(tag(handle), expected[field]) << "field " << field;
  }
}

TEST_F(StatisticsTest, BackupAloneRestoresAndGarbageSetsNothing) {
  image_.writeFile("/home/root/orvix/store/statistics.bak", "77;1;2;3;4;5;6;7;8\n");
  loadStatistics(daemon_);
  EXPECT_EQ(tag(kUpTime), 77);
  EXPECT_EQ(tag(kIoGroup2), 5);

  setTag(kUpTime, 12);
  image_.writeFile("/home/ftp/statistics", "abc;5\n");
  image_.writeFile("/home/root/orvix/store/statistics.bak", "-4;x\n");
  loadStatistics(daemon_);
  EXPECT_EQ(tag(kUpTime), 12);
  EXPECT_EQ(tag(kInTripTime), 1);
}

TEST(StatisticsLine, FieldsStopAtTheFirstThatIsNotACount) {
  const StatisticsRecord record = parseStatisticsLine("3;4;;6");
  EXPECT_EQ(record[0], 3);
  EXPECT_EQ(record[1], 4);
  EXPECT_FALSE(record[2].has_value());
  EXPECT_FALSE(record[3].has_value());
  EXPECT_FALSE(parseStatisticsLine("99999999999;1")[0].has_value());
  EXPECT_EQ(parseStatisticsLine("1;2;3;4;5;6;7;8;9;10\r\n")[8], 9);
}

}  // namespace
