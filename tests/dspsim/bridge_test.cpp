// The CAN bridge walk on a store built like the database builds it.
#include <gtest/gtest.h>

#include "canbridge.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"

namespace dspsim {
namespace {

class CanBridgeTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
  int canAddressOf(int tagHandle) { return shared_mem->parameter.canbus.address[tagHandle]; }
  int value(int tagHandle) { return dbReadValueByHandle(tagHandle); }
  void set(int tagHandle, int v) {
    int errCode = 0;
    ASSERT_TRUE(dbSetValueByHandle(tagHandle, v, &errCode)) << tagHandle << " code " << errCode;
  }
  DspRegisters dsp;
};

TEST_F(CanBridgeTest, ModuleValuesTravelOnceWhenTheyChange) {
  // vxi_funcurrlimit goes to the signal processor only.
  const int address = canAddressOf(handle::kFunCurrLimit);
  ASSERT_EQ(dbGetCanbusSource(address), kToSignalProcessor);
  set(handle::kFunCurrLimit, 420);
  const LinkTraffic first = exchangeCanMap(dsp);
  EXPECT_EQ(dsp[handle::kFunCurrLimit], 420);
  EXPECT_EQ(dbGetCanbusLastValue(address), 420);
  const LinkTraffic second = exchangeCanMap(dsp);
  EXPECT_GT(first.transmitted, second.transmitted);  // unchanged values are not sent again
  // The signal processor cannot change a value of this direction.
  dsp[handle::kFunCurrLimit] = 7;
  exchangeCanMap(dsp);
  EXPECT_EQ(value(handle::kFunCurrLimit), 420);
}

TEST_F(CanBridgeTest, SignalProcessorValuesAreWrittenWithTheCheckedWrite) {
  dsp[handle::kSecVoltAvg]  = 612;
  const LinkTraffic traffic = exchangeCanMap(dsp);
  EXPECT_EQ(value(handle::kSecVoltAvg), 612);
  EXPECT_EQ(dbGetCanbusLastValue(canAddressOf(handle::kSecVoltAvg)), 612);
  EXPECT_GT(traffic.received, 0);
  // vxi_activeslope accepts 0..6: a refused value leaves tag and last value alone.
  dsp[handle::kActiveSlope] = 6;
  exchangeCanMap(dsp);
  dsp[handle::kActiveSlope] = 9;
  exchangeCanMap(dsp);
  EXPECT_EQ(value(handle::kActiveSlope), 6);
  EXPECT_EQ(dbGetCanbusLastValue(canAddressOf(handle::kActiveSlope)), 6);
}

TEST_F(CanBridgeTest, BothWaysTheModulesChangeGoesFirstThenTheSignalProcessorsComesBack) {
  const int address = canAddressOf(handle::kSumAlarmReset);
  ASSERT_EQ(dbGetCanbusSource(address), kBothWays);
  set(handle::kSumAlarmReset, 1);
  dsp[handle::kSumAlarmReset] = 0;
  exchangeCanMap(dsp);
  EXPECT_EQ(dsp[handle::kSumAlarmReset], 1);  // the module's change reached the signal processor
  EXPECT_EQ(value(handle::kSumAlarmReset), 1);
  dsp[handle::kSumAlarmReset] = 0;  // it acts and clears it
  exchangeCanMap(dsp);
  EXPECT_EQ(value(handle::kSumAlarmReset), 0);
  EXPECT_EQ(dbGetCanbusLastValue(address), 0);

  // The run command after a restart of the daemon: makeDSPtroff marks the entry as sent 1,
  // so the module's 0 goes out although the signal processor still runs.
  dsp[handle::kTron] = 1;
  dbSetCanbusLastValue(canAddressOf(handle::kTron), 1);
  set(handle::kTron, 0);
  exchangeCanMap(dsp);
  EXPECT_EQ(dsp[handle::kTron], 0);
}

TEST_F(CanBridgeTest, ALinkThatComesUpTakesTheModulesValuesInsteadOfWritingItsZeros) {
  constexpr int kSparkSenseLevel = 577;  // both ways, range 10..999
  DspRegisters before;
  exchangeCanMap(before);
  set(handle::kTron, 1);
  exchangeCanMap(before);
  // dspsim restarts while the store stays: its registers are empty, the last values are not.
  adoptModuleValues(dsp);
  EXPECT_EQ(dsp[kSparkSenseLevel], 400);
  EXPECT_EQ(dsp[handle::kTron], 1);
  EXPECT_EQ(dsp[handle::kSecVoltAvg], 0);  // its own values are its own
  const LinkTraffic traffic = exchangeCanMap(dsp);
  EXPECT_EQ(value(kSparkSenseLevel), 400);
  EXPECT_EQ(value(handle::kTron), 1);
  EXPECT_EQ(traffic.transmitted, 0);
}

TEST_F(CanBridgeTest, AStoreRebuiltUnderARunningLinkIsAdoptedAgainSoTheRunCommandStaysOff) {
  EXPECT_TRUE(bringLinkUp(dsp));
  set(handle::kTron, 1);
  exchangeCanMap(dsp);
  ASSERT_EQ(dsp[handle::kTron], 1);
  EXPECT_FALSE(bringLinkUp(dsp));  // the same store: the link stays as it is

  tagstore::buildTagStore();  // the database restarts; the signal processor keeps running
  ASSERT_EQ(value(handle::kTron), 0);
  EXPECT_TRUE(bringLinkUp(dsp));
  exchangeCanMap(dsp);
  EXPECT_EQ(value(handle::kTron), 0);
  EXPECT_EQ(dsp[handle::kTron], 0);
}

TEST_F(CanBridgeTest, ValuesAreCutToTheWidthOfTheirEntry) {
  // vxi_funcurrlimit is a 16-bit entry with no range of its own.
  set(handle::kFunCurrLimit, 0x12345);
  exchangeCanMap(dsp);
  EXPECT_EQ(dsp[handle::kFunCurrLimit], 0x2345);
  set(handle::kTron, 3);  // a bit entry carries bit 0
  exchangeCanMap(dsp);
  EXPECT_EQ(dsp[handle::kTron], 1);
}

TEST_F(CanBridgeTest, CountersActivityAndUpdateCounter) {
  dbClearBitByHandle(handle::kActivityFlags, 0);
  const int updates         = value(handle::kUpdateCounter);
  const LinkTraffic traffic = exchangeCanMap(dsp);
  publishLinkTraffic(traffic);
  EXPECT_EQ(value(handle::kTxFrames), traffic.transmitted);
  EXPECT_EQ(value(handle::kRxFrames), traffic.received);
  EXPECT_TRUE(dbReadBitByHandle(handle::kActivityFlags, kCanActivityBit));
  EXPECT_FALSE(dbReadBitByHandle(handle::kActivityFlags, 0));  // other programs' bits stay
  EXPECT_EQ(value(handle::kUpdateCounter), updates + 1);       // one per set, not per frame
  EXPECT_EQ(value(handle::kCanRefreshCounter), 1);
}

}  // namespace
}  // namespace dspsim
