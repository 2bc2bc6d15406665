// Sum alarms, the operator reset, the code tables, the status word, the small flag
// handlers and the LEDs, on a store built as at start-up.
#include "alarms.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "alarm_fixture.h"
#include "alarmhistory.h"
#include "alarmtasks.h"
#include "daemon.h"
#include "leds.h"
#include "looptasks.h"
#include "statusword.h"

namespace {

using orvix::testing::AlarmStoreTest;

constexpr int kSumAlarm         = 0;
constexpr int kSumAlarmTrip     = 81;
constexpr int kSumAlarmWarning  = 84;
constexpr int kTron             = 94;
constexpr int kSumAlarmResetRev = 102;
constexpr int kSumAlarmReset    = 106;

using SumAlarmTest = AlarmStoreTest;

TEST_F(SumAlarmTest, WarningAndTripLatchUntilTheReset) {
  setTag(23, 1);  // vxi_alwextalarm1w
  setSumAlarm();
  EXPECT_EQ(tag(kSumAlarmWarning), 1);
  EXPECT_EQ(tag(kSumAlarm), 1);
  EXPECT_EQ(tag(kSumAlarmTrip), 0);

  setTag(24, 1);  // vxi_altextalarm1t
  setTag(kTron, 1);
  setSumAlarm();
  EXPECT_EQ(tag(kSumAlarmTrip), 1);
  EXPECT_EQ(tag(kTron), 0);

  setTag(23, 0);  // the writers drop their alarms: the sums stay latched
  setTag(24, 0);
  setSumAlarm();
  EXPECT_EQ(tag(kSumAlarm), 1);
  EXPECT_EQ(tag(kSumAlarmWarning), 1);
  EXPECT_EQ(tag(kSumAlarmTrip), 1);

  EXPECT_EQ(resetAlarms(), 0);
  setSumAlarm();
  EXPECT_EQ(tag(kSumAlarm), 0);
  EXPECT_EQ(tag(kSumAlarmWarning), 0);
  EXPECT_EQ(tag(kSumAlarmTrip), 0);
}

TEST_F(SumAlarmTest, ActiveTripUndoesTheRunCommandOnEveryPass) {
  setTag(15, 1);  // vxi_altrestartedt
  for (int pass = 0; pass < 3; ++pass) {
    setTag(kTron, 1);
    setSumAlarm();
    EXPECT_EQ(tag(kTron), 0) << pass;
  }
}

TEST_F(SumAlarmTest, EachAlarmRaisesOnlyItsOwnSumAndOnlyAtOne) {
  const std::set<int> warnings = {16, 17, 18, 19, 42, 33, 21, 23, 25, 27, 29, 36, 38, 80, 40, 32, 20};
  const std::set<int> trips    = {24, 26, 28, 30, 37, 39, 15, 79, 41, 35};
  for (int handle = 1; handle < 94; ++handle) {
    if (handle == kSumAlarmTrip || handle == kSumAlarmWarning) continue;
    for (const int value : {1, 2}) {  // only the value 1 counts
      setTag(kSumAlarm, 0);
      setTag(kSumAlarmTrip, 0);
      setTag(kSumAlarmWarning, 0);
      setTag(kTron, 1);
      setTag(handle, value);
      setSumAlarm();
      setTag(handle, 0);
      const bool warning = value == 1 && warnings.count(handle) != 0;
      const bool trip    = value == 1 && trips.count(handle) != 0;
      EXPECT_EQ(tag(kSumAlarmWarning), warning ? 1 : 0) << handle << " = " << value;
      EXPECT_EQ(tag(kSumAlarmTrip), trip ? 1 : 0) << handle << " = " << value;
      EXPECT_EQ(tag(kSumAlarm), warning || trip ? 1 : 0) << handle << " = " << value;
      EXPECT_EQ(tag(kTron), trip ? 0 : 1) << handle << " = " << value;
    }
  }
}

TEST_F(SumAlarmTest, SignalProcessorSumKeepsTheClassesUntilItDrops) {
  setTag(kSumAlarm, 1);
  setTag(kSumAlarmTrip, 1);
  setSumAlarm();
  EXPECT_EQ(tag(kSumAlarmTrip), 1);
  EXPECT_EQ(tag(kSumAlarmWarning), 0);
  setTag(kSumAlarm, 0);
  setSumAlarm();
  EXPECT_EQ(tag(kSumAlarmTrip), 0);
}

TEST_F(SumAlarmTest, ResetClearsUnitAlarmsAndLeavesSignalProcessorAlarms) {
  const std::vector<int> cleared = {23, 25, 27, 29, 36, 38, 24, 26, 28, 30, 37, 39, 41, 79, 80,
                                    16, 17, 18, 19, 33, 21, 20, 15, 35, 32, 40, 58, 22, 42};
  const std::vector<int> kept    = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 31, 34, 85};
  for (const int handle : cleared) setTag(handle, 1);
  for (const int handle : kept) setTag(handle, 1);
  setTag(kSumAlarm, 1);
  setTag(kSumAlarmTrip, 1);
  setTag(kSumAlarmWarning, 1);
  resetAlarms();
  for (const int handle : cleared) EXPECT_EQ(tag(handle), 0) << handle;
  for (const int handle : kept) EXPECT_EQ(tag(handle), 1) << handle;
  EXPECT_EQ(tag(kSumAlarm), 0);
  EXPECT_EQ(tag(kSumAlarmTrip), 0);
  EXPECT_EQ(tag(kSumAlarmWarning), 0);
}

TEST(AlarmCodes, TablesBothWaysWithZeroForNone) {
  EXPECT_EQ(lookUpAlarmCode(24), 61);
  EXPECT_EQ(lookUpAlarmCode(8), 9);
  EXPECT_EQ(lookUpAlarmCode(85), 199);
  EXPECT_EQ(lookUpAlarmCode(34), 0);  // vxi_masteralarm
  EXPECT_EQ(lookUpAlarmCode(0), 0);
  EXPECT_EQ(lookUpAlarmCode(43), 0);
  EXPECT_EQ(lookUpAlarmCode(-1), 0);
  EXPECT_EQ(lookUpAlarmHandle(61), 24);
  EXPECT_EQ(lookUpAlarmHandle(57), 42);
  EXPECT_EQ(lookUpAlarmHandle(217), 80);
  EXPECT_EQ(lookUpAlarmHandle(8), 0);
  EXPECT_EQ(lookUpAlarmHandle(0), 0);
  EXPECT_EQ(lookUpAlarmHandle(999), 0);
  // Every code names one alarm, so the history can count by handle.
  for (const AlarmDefinition& alarm : alarmTable()) {
    if (alarm.code != 0) {
      EXPECT_EQ(lookUpAlarmHandle(alarm.code), alarm.handle) << alarm.tag;
    }
  }
}

using ResetSequenceTest = AlarmStoreTest;

TEST_F(ResetSequenceTest, OperatorResetIsActedOnOncePer25Passes) {
  Daemon daemon;
  AlarmHistory history;
  setTag(kSumAlarmReset, 1);  // the request stays set: nobody on this side clears it
  setTag(24, 1);
  countAlarmReset(daemon);
  EXPECT_EQ(daemon.alarmResetCounter, -1);
  countAlarmReset(daemon);
  EXPECT_EQ(daemon.alarmResetCounter, -1);  // waits for the next slot 3 or 16
  handleAlarms(&daemon.alarmResetCounter, history);
  EXPECT_EQ(daemon.alarmResetCounter, 25);
  EXPECT_EQ(tag(24), 0);

  setTag(24, 1);
  for (int pass = 0; pass < 25; ++pass) {
    countAlarmReset(daemon);
    handleAlarms(&daemon.alarmResetCounter, history);
    EXPECT_EQ(tag(24), 1) << pass;  // a second request within 25 passes is not acted on
  }
  EXPECT_EQ(daemon.alarmResetCounter, 0);
  countAlarmReset(daemon);
  handleAlarms(&daemon.alarmResetCounter, history);
  EXPECT_EQ(tag(24), 0);
}

TEST_F(ResetSequenceTest, InvertedInputRequestsOneResetWhileASumIsActive) {
  EXPECT_EQ(tag(kSumAlarmResetRev), 1);  // armed by default
  setTag(kSumAlarm, 1);
  handleSumAlarmResetRev();
  EXPECT_EQ(tag(kSumAlarmReset), 0);

  setTag(kSumAlarmResetRev, 0);
  handleSumAlarmResetRev();
  EXPECT_EQ(tag(kSumAlarmReset), 1);
  EXPECT_EQ(tag(kSumAlarmResetRev), 1);

  setTag(kSumAlarm, 0);
  setTag(kSumAlarmReset, 0);
  setTag(kSumAlarmResetRev, 0);
  handleSumAlarmResetRev();
  EXPECT_EQ(tag(kSumAlarmReset), 0);
}

TEST_F(ResetSequenceTest, NoAlarmHandlingInTheFirstThirtyPasses) {
  Daemon daemon;
  setTag(24, 1);
  const int recorded = unitAlarmHistory().inUse();
  daemon.passCounter = 30;
  recordAlarms(daemon);
  EXPECT_EQ(unitAlarmHistory().inUse(), recorded);
  daemon.passCounter = 31;
  recordAlarms(daemon);
  EXPECT_EQ(unitAlarmHistory().inUse(), recorded + 1);
}

using FlagHandlerTest = AlarmStoreTest;

TEST_F(FlagHandlerTest, LockRaisesTheLocalRemoteWarningAndNeverClearsIt) {
  checkExternalControlBlocked();
  EXPECT_EQ(tag(40), 0);
  setTag(922, 1);  // vxo_lockedmode
  checkExternalControlBlocked();
  EXPECT_EQ(tag(40), 1);
  EXPECT_EQ(tag(1121), 194);
  setTag(922, 0);
  checkExternalControlBlocked();
  EXPECT_EQ(tag(40), 1);
}

using StatusWordTest = AlarmStoreTest;

TEST_F(StatusWordTest, NodeAddressTakesItsLowEightBits) {
  setTag(621, 300);  // vxo_nodeaddress
  setStatusWord();
  EXPECT_EQ(statusWord >> 4 & 0xFF, 44u);
  EXPECT_EQ(static_cast<uint32_t>(tag(504)), 44u << 4);
}

TEST_F(StatusWordTest, EveryFieldInItsBitsMasked) {
  setTag(922, 1);      // vxo_lockedmode
  setTag(217, 9);      // vxi_frsource: 3 bits keep 1
  setTag(621, 0x1FF);  // vxo_nodeaddress: 8 bits
  setTag(94, 1);       // vxo_tron
  setTag(104, 1);      // vxo_testmode
  setTag(83, 1);       // vxi_setnochange
  setTag(0, 1);        // vxi_sumalarm
  setTag(49, 1);       // vxi_iogr1outp: bit 19
  setTag(55, 3);       // vxi_iogr4outp: bit 16, only bit 0 counts
  setTag(87, 2);       // vxi_measurement
  setTag(560, 5);      // vxo_mode
  setTag(212, 45);     // vxi_limiter: 5 bits keep 13
  setTag(86, 1);       // vxi_tronstatus
  setTag(1178, 0x101);
  setStatusWord();
  const uint32_t expected = 1u | 1u << 1 | 0xFFu << 4 | 1u << 12 | 1u << 13 | 1u << 14 | 1u << 15 | 1u << 19 |
                            1u << 16 | 2u << 20 | 5u << 23 | 13u << 26 | 1u << 31;
  EXPECT_EQ(statusWord, expected);
  EXPECT_EQ(static_cast<uint32_t>(tag(504)), expected);
  EXPECT_EQ(tag(1178), 0x181);  // bit 7 follows the T/R status, other bits untouched

  setTag(86, 0);
  setTag(98, 1);  // vxo_master
  setStatusWord();
  EXPECT_EQ(statusWord >> 31, 0u);
  EXPECT_EQ(tag(1178), 0x109);
}

using LedTest = AlarmStoreTest;

TEST_F(LedTest, HeartbeatOnAAndDhcpOnB) {
  image_.writeFile("/sys/class/leds/Led A/brightness", "");
  image_.writeFile("/sys/class/leds/Led B/brightness", "");
  Daemon daemon;
  // LED B shows whether eth0 has its address from DHCP, not the operator's vxo_ipdhcp setting.
  daemon.eth0.dhcp = true;
  setTag(191, 0);  // vxo_ipdhcp
  blinkLeds(daemon);  // the first call: odd
  EXPECT_EQ(image_.readFile("/sys/class/leds/Led A/brightness"), "1");
  EXPECT_EQ(image_.readFile("/sys/class/leds/Led B/brightness"), "1");
  daemon.eth0.dhcp = false;
  setTag(191, 1);
  blinkLeds(daemon);
  EXPECT_EQ(image_.readFile("/sys/class/leds/Led A/brightness"), "0");
  EXPECT_EQ(image_.readFile("/sys/class/leds/Led B/brightness"), "0");
  blinkLeds(daemon);
  EXPECT_EQ(image_.readFile("/sys/class/leds/Led A/brightness"), "1");
  led_control('C', '1');  // a unit without that LED: nothing is created
  EXPECT_FALSE(std::filesystem::exists(image_.root() + "/sys/class/leds/Led C"));
}

}  // namespace
