// The time module: packed words and their texts, the zone table, the clock tags on a
// fixed clock, and the clock and time-sync commands as a unit image records them.
#include "orxtime/orxtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "orxtime/clocktags.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"
#include "temp_image.h"

namespace {

using orvix::testing::StoreTest;
using orvix::testing::TempImage;

TEST(PackedWords, TimeAndDateLayout) {
  EXPECT_EQ(convertTimeToOrxValue(13, 5, 9), 0x0D050900);
  EXPECT_EQ(convertTimeToOrxValue(23, 59, 59), 0x173B3B00);
  EXPECT_EQ(convertDateToOrxValue(2024, 3, 7), 0x7C0307);
  EXPECT_EQ(convertDateToOrxValue(2000, 1, 1), 0x640101);
  EXPECT_EQ(convertDateToOrxValue(1999, 12, 31), 0xC70C1F);
}

TEST(PackedWords, YearAboveNineThousandNineHundredNinetyNine) {
  EXPECT_EQ(stripCentury(9999), 99);
  EXPECT_EQ(stripCentury(10000), -1);
  EXPECT_EQ(convertDateToOrxValue(10000, 5, 6), 0x630506);
  testing::internal::CaptureStdout();
  EXPECT_EQ(dateStringToInteger("12345", "5", "6"), 0x630506);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Invalid year: 12345\n");
}

TEST(PackedWords, FromTexts) {
  EXPECT_EQ(timeStringToSeconds("13", "05", "09"), 0x0D050900);
  EXPECT_EQ(timeStringToSeconds("13", "x5", "09"), -1);
  EXPECT_EQ(timeStringToSeconds("13", "", "09"), -1);
  EXPECT_EQ(timeStringToSeconds("24", "00", "00"), -1);  // would spill into the next byte
  EXPECT_EQ(timeStringToSeconds("0", "60", "0"), -1);
  EXPECT_EQ(dateStringToInteger("2024", "3", "7"), 0x7C0307);
  EXPECT_EQ(dateStringToInteger("2024", "13", "7"), -1);
  EXPECT_EQ(dateStringToInteger("20x4", "3", "7"), -1);
  EXPECT_EQ(dateStringToInteger("2024", "3", nullptr), -1);
}

TEST(PackedWords, Texts) {
  char text[16] = "unchanged";
  convertOrxtimeToTimeString(0x0D050900, text, sizeof text);
  EXPECT_STREQ(text, "13:05:09");
  convertOrxtimeToTimeString(0x0D050900, text, 0);
  EXPECT_STREQ(text, "13:05:09");
  convertOrxtimeToTimeString(0x0D050900, nullptr, 16);  // must not crash

  char orxDate[kOrxDateTextSize];
  dateToORXDateString(convertDateToOrxValue(2024, 3, 7), orxDate);
  EXPECT_STREQ(orxDate, "124-03-07");
  char dateText[16];
  dateToDateString(convertDateToOrxValue(2024, 3, 7), dateText, sizeof dateText);
  EXPECT_STREQ(dateText, "2024-03-07");
  char small[6];
  dateToDateString(convertDateToOrxValue(2024, 3, 7), small, sizeof small);
  EXPECT_STREQ(small, "2024-");  // cut, never overrun
}

TEST(TimeZones, CountsPerRegionSortedAndBounds) {
  std::map<std::string, int> perRegion;
  const char* const* zones = timezones();
  for (int i = 0; i < timezoneCount; ++i) {
    const std::string name = zones[i];
    perRegion[name.substr(0, name.find('/'))]++;
    if (i > 0) {
      EXPECT_LT(std::strcmp(zones[i - 1], zones[i]), 0) << name;
    }
  }
  const std::map<std::string, int> expected = {
      {"Africa", 20}, {"America", 129}, {"Antarctica", 10}, {"Asia", 77},   {"Atlantic", 9},
      {"Australia", 11}, {"Europe", 46}, {"Indian", 8},     {"Pacific", 36}, {"UTC", 1}};
  EXPECT_EQ(perRegion, expected);
  EXPECT_STREQ(getTimezoneByIndex(0), "Africa/Abidjan");
  EXPECT_STREQ(getTimezoneByIndex(346), "UTC");
  EXPECT_EQ(getTimezoneByIndex(347), nullptr);
  EXPECT_EQ(getTimezoneByIndex(-1), nullptr);
}

TEST(TimeZones, EveryNameIsAZoneOfTheHost) {
  if (!std::filesystem::exists("/usr/share/zoneinfo/UTC")) GTEST_SKIP() << "no time zone data on this host";
  for (int i = 0; i < timezoneCount; ++i) {
    EXPECT_TRUE(std::filesystem::exists(std::string("/usr/share/zoneinfo/") + getTimezoneByIndex(i)))
        << getTimezoneByIndex(i);
  }
}

// A clock the test sets.
std::tm fixedTime{};
std::tm fixedClock() { return fixedTime; }

void setClock(int year, int month, int day, int hour, int minute, int second) {
  fixedTime = {};
  fixedTime.tm_year = year - 1900;
  fixedTime.tm_mon = month - 1;
  fixedTime.tm_mday = day;
  fixedTime.tm_hour = hour;
  fixedTime.tm_min = minute;
  fixedTime.tm_sec = second;
}

constexpr int kDateTag = 619;
constexpr int kTimeTag = 620;

class ClockTagTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    // The clock tags as plain integers: any value accepted.
    for (const int handle : {kDateTag, kTimeTag, 1102, 1129, 1130}) {
      int code = 0;
      dbInitSharedInt(handle, 0, &code);
    }
    orxtime::setClockSource(fixedClock);
  }
  void TearDown() override { orxtime::setClockSource(nullptr); }
};

TEST_F(ClockTagTest, NewSecondReportedOnceAndTicksWritten) {
  setClock(2024, 3, 7, 13, 5, 9);
  EXPECT_TRUE(cust_time(kTimeTag));
  EXPECT_FALSE(cust_time(kTimeTag));
  EXPECT_EQ(dbReadValueByHandle(kTimeTag), 0x0D050900);
  EXPECT_EQ(dbReadValueByHandle(1102), 13 * 3600 + 5 * 60 + 9);
  EXPECT_EQ(dbReadValueByHandle(1130), 130509);
  setClock(2024, 3, 7, 13, 5, 10);
  EXPECT_TRUE(cust_time(kTimeTag));
  EXPECT_EQ(dbReadValueByHandle(1102), 13 * 3600 + 5 * 60 + 10);
}

TEST_F(ClockTagTest, MidnightUpdatesTheDate) {
  setClock(2024, 3, 7, 23, 59, 59);
  cust_time(kTimeTag);
  date(kDateTag);
  EXPECT_EQ(dbReadValueByHandle(1129), 20240307);
  setClock(2024, 3, 8, 0, 0, 0);
  EXPECT_TRUE(cust_time(kTimeTag));
  EXPECT_EQ(dbReadValueByHandle(kDateTag), 0x7C0308);
  EXPECT_EQ(dbReadValueByHandle(1129), 20240308);
  EXPECT_EQ(dbReadValueByHandle(1102), 0);
}

TEST_F(ClockTagTest, FollowsTheSystemClock) {
  orxtime::setClockSource(nullptr);
  const std::time_t before = std::time(nullptr);
  cust_time(kTimeTag);
  date(kDateTag);
  const std::time_t after = std::time(nullptr);
  std::tm local{};
  localtime_r(&before, &local);
  const int secondsBefore = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  localtime_r(&after, &local);
  const int secondsAfter = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  const int tick = dbReadValueByHandle(1102);
  EXPECT_TRUE(tick == secondsBefore || tick == secondsAfter) << tick;
  EXPECT_EQ(dbReadValueByHandle(1129), (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday);
}

// Commands that change the host run inside an image whose bin/ holds the stand-ins.
class HostCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::string layOut = std::string(source) + "/unit/lay-out-image " + image_.root() + " >/dev/null";
    ASSERT_EQ(std::system(layOut.c_str()), 0);
    previousPath_ = std::getenv("PATH");
    setenv("PATH", (image_.root() + "/bin:" + previousPath_).c_str(), 1);
  }
  void TearDown() override { setenv("PATH", previousPath_.c_str(), 1); }
  std::string recorded() const { return image_.readFile("/var/log/host-commands.log"); }

  TempImage image_;
  std::string previousPath_;
};

TEST_F(HostCommandTest, SetDateAndTimeRunDateSet) {
  setSystemDate(2031, 4, 5);
  setSystemTime(6, 7, 8);
  const std::string log = recorded();
  EXPECT_NE(log.find("date -s 2031-04-05 "), std::string::npos) << log;
  EXPECT_NE(log.find(" 06:07:08"), std::string::npos) << log;
}

TEST_F(HostCommandTest, TimeSyncConfigurationFollowsTheSyncMode) {
  const int server = static_cast<int>(0x0A01A8C0);  // 192.168.1.10 in network byte order
  ASSERT_EQ(updateTimeSyncDConfigFile(2, server), 0);
  std::string config = image_.readFile("/etc/systemd/timesyncd.conf");
  EXPECT_EQ(config.rfind("[Time]\nNTP=192.168.1.10\n", 0), 0u) << config;
  EXPECT_NE(config.find("#PollIntervalMaxSec=2048"), std::string::npos);
  EXPECT_NE(recorded().find("systemctl start systemd-timesyncd"), std::string::npos);

  ASSERT_EQ(updateTimeSyncDConfigFile(1, server), 0);
  config = image_.readFile("/etc/systemd/timesyncd.conf");
  EXPECT_EQ(config.rfind("[Time]\n#NTP=192.168.1.10\n", 0), 0u) << config;
  EXPECT_NE(recorded().find("systemctl stop systemd-timesyncd"), std::string::npos);

  ASSERT_EQ(updateTimeSyncDConfigFile(7, server), 0);  // other modes leave the file alone
  EXPECT_EQ(image_.readFile("/etc/systemd/timesyncd.conf"), config);
}

TEST_F(HostCommandTest, TimeSyncConfigurationUnwritable) {
  std::filesystem::remove_all(image_.root() + "/etc");
  EXPECT_EQ(updateTimeSyncDConfigFile(2, 0), -1);
}

TEST_F(HostCommandTest, CompleteTimeSetting) {
  updateSystemTimeSettings(convertTimeToOrxValue(10, 20, 30), convertDateToOrxValue(2030, 1, 2), 346, 0, 0);
  const std::string log = recorded();
  EXPECT_NE(log.find("timedatectl set-timezone UTC"), std::string::npos) << log;
  EXPECT_NE(log.find("date -s 2030-01-02 10:20:30"), std::string::npos) << log;
  EXPECT_NE(log.find("hwclock --systohc"), std::string::npos) << log;
  EXPECT_NE(log.find("systemctl stop systemd-timesyncd"), std::string::npos) << log;

  updateSystemTimeSettings(0, convertDateToOrxValue(2030, 1, 2), 347, 0, 0);  // unknown zone: no zone change
  EXPECT_EQ(recorded().find("set-timezone", log.size()), std::string::npos);
}

}  // namespace
