#include "synchroniser.h"

#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <map>
#include <string>
#include <vector>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "requestgate.h"
#include "sharedmem/tagaccess.h"

namespace {

using namespace regserver;

constexpr int kMode = 560;             // vxo_mode, holding 1041, range 0..5
constexpr int kHoldMode = 1041;
constexpr int kActCurrLim = 562;       // vxo_actmodecurrlim, holding 1043, mA
constexpr int kHoldActCurrLim = 1043;
constexpr int kCoilTron = 16384;       // vxo_tron
constexpr int kHoldRwCoilWord = 1024;  // vxo_rw_coil_00_0f
constexpr int kTroff = 100;            // vxo_troffcommand, coil 16390
constexpr int kCoilTroff = 16390;
constexpr int kIogr1Name = 768;        // vxo_iogr1name, 7-register text at 1293
constexpr int kHoldIogr1Name = 1293;

constexpr ImageSizes kUnitMap{kCoilBase + 96, 99, 365, kHoldingBase + 571};

class SynchroniserTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    tagstore::buildTagStore();
    image_ = std::make_unique<RegisterImage>(kUnitMap);
    ASSERT_TRUE(image_->valid());
    sync_ = std::make_unique<Synchroniser>(*image_);
  }

  // Plays the database asking for a pass.
  void pass() {
    dbIncrementByHandle(handles::kRefreshCounter);
    sync_->update();
  }
  void set(int handle, int value) {
    int code = 0;
    ASSERT_TRUE(dbSetValueByHandle(handle, value, &code)) << handle << " code " << code;
  }

  static std::vector<int> tagValues() {
    return {std::begin(shared_mem->parameter.iValue), std::end(shared_mem->parameter.iValue)};
  }
  // Handle -> value now, for every tag but the refresh counter whose value differs from
  // the one given; the coil words too unless they are left out.
  static std::map<int, int> changedSince(const std::vector<int>& before, bool withCoilWords = true) {
    std::map<int, int> changed;
    for (int handle = 0; handle < static_cast<int>(before.size()); ++handle) {
      const bool coilWord = handle >= handles::kReadWriteCoilWords && handle < handles::kReadWriteCoilWords + 16;
      if (handle == handles::kRefreshCounter || (coilWord && !withCoilWords)) continue;
      const int now = shared_mem->parameter.iValue[handle];
      if (now != before[static_cast<size_t>(handle)]) changed[handle] = now;
    }
    return changed;
  }
  static void expectCoilWordsFollowTheCoils() {
    for (int index = 0; index < dbGetModbusNoOfIndex(); ++index) {
      const int offset = dbGetModbusAddress(index) - kCoilBase;
      if (dbGetModbusDataFormat(index) != kBit || offset < 0) continue;
      const bool coilOn = dbReadValueByHandle(dbGetModbusHandlePointer(index)) != 0;
      EXPECT_EQ(dbReadBitByHandle(handles::kReadWriteCoilWords + offset / 16, offset % 16), coilOn) << offset;
    }
  }
  // A client switches the T/R set on, selects the third mode and edits its current limit.
  void runEnergisedInModeThree() {
    pass();
    image_->setCoil(kCoilTron, true);
    image_->setHolding(kHoldMode, 2);
    image_->setHolding(kHoldActCurrLim, 350);
    pass();
    ASSERT_EQ(dbReadValueByHandle(handles::kTron), 1);
    ASSERT_EQ(dbReadValueByHandle(kMode), 2);
    ASSERT_EQ(dbReadValueByHandle(kActCurrLim), 350);
  }

  std::unique_ptr<RegisterImage> image_;
  std::unique_ptr<Synchroniser> sync_;
};

TEST_F(SynchroniserTest, NewServerTakesTheRunningStoreAsItIs) {
  runEnergisedInModeThree();
  image_->setHolding(kHoldRwCoilWord, 0x00F0);  // a client's own bits in a coil word
  pass();
  const std::vector<int> before = tagValues();

  // The server ends; the next one starts on the same store with an image of zeros.
  RegisterImage fresh(kUnitMap);
  Synchroniser next(fresh);
  for (int round = 0; round < 3; ++round) {
    dbIncrementByHandle(handles::kRefreshCounter);
    next.update();
  }
  EXPECT_EQ(changedSince(before), (std::map<int, int>{}));
  EXPECT_EQ(fresh.coil(kCoilTron), 1);
  EXPECT_EQ(fresh.holding(kHoldMode), 2);
  EXPECT_EQ(fresh.holding(kHoldActCurrLim), 350);

  fresh.setHolding(kHoldMode, 4);
  dbIncrementByHandle(handles::kRefreshCounter);
  next.update();
  EXPECT_EQ(dbReadValueByHandle(kMode), 4) << "a client write still reaches the store";
}

TEST_F(SynchroniserTest, StoreRebuiltUnderTheServerIsTakenAsTheDatabaseLeavesIt) {
  runEnergisedInModeThree();
  // The database starts again: it empties the store, the server looks in meanwhile,
  // then the database defines every tag afresh and restores its settings.
  tagstore::resetStore();
  sync_->update();
  tagstore::buildTagStore();
  set(kActCurrLim, 420);
  const std::vector<int> restored = tagValues();
  sync_->update();
  pass();  // the database's loop runs again
  pass();
  EXPECT_EQ(changedSince(restored, false), (std::map<int, int>{}));
  expectCoilWordsFollowTheCoils();
  EXPECT_EQ(image_->coil(kCoilTron), 0);
  EXPECT_EQ(image_->holding(kHoldMode), 0);
  EXPECT_EQ(image_->holding(kHoldActCurrLim), 420);

  // Again, while the server is held up until the database's loop has counted past the
  // counter the server saw last.
  runEnergisedInModeThree();
  tagstore::buildTagStore();
  for (int round = 0; round < 10; ++round) dbIncrementByHandle(handles::kRefreshCounter);
  const std::vector<int> rebuilt = tagValues();
  sync_->update();
  pass();
  EXPECT_EQ(changedSince(rebuilt, false), (std::map<int, int>{}));
  expectCoilWordsFollowTheCoils();
  EXPECT_EQ(image_->holding(kHoldMode), 0);

  image_->setHolding(kHoldMode, 4);
  pass();
  EXPECT_EQ(dbReadValueByHandle(kMode), 4) << "a client write still reaches the store";
}

TEST_F(SynchroniserTest, PassesRunOnlyWhenTheDatabaseAsks) {
  set(kMode, 4);
  sync_->update();  // counter still where it was: no pass
  EXPECT_EQ(image_->holding(kHoldMode), 0);
  pass();
  EXPECT_EQ(image_->holding(kHoldMode), 4);
  image_->setHolding(kHoldMode, 2);
  sync_->update();
  EXPECT_EQ(dbReadValueByHandle(kMode), 4);
  pass();
  EXPECT_EQ(dbReadValueByHandle(kMode), 2);
}

TEST_F(SynchroniserTest, RefusedRegisterWritesAreUndoneRefusedCoilWritesRetried) {
  pass();
  image_->setHolding(kHoldMode, 9);  // outside 0..5
  pass();
  EXPECT_EQ(image_->holding(kHoldMode), 0);
  EXPECT_EQ(dbReadValueByHandle(kMode), 0);

  shared_mem->parameter.config[kTroff].bits.protect = 1;  // the store refuses every write
  image_->setCoil(kCoilTroff, true);
  pass();
  EXPECT_EQ(image_->coil(kCoilTroff), 1) << "kept for the next pass";
  shared_mem->parameter.config[kTroff].bits.protect = 0;
  pass();
  EXPECT_EQ(dbReadValueByHandle(kTroff), 1);
  EXPECT_TRUE(dbReadBitByHandle(handles::kReadWriteCoilWords, kCoilTroff - kCoilBase));
  EXPECT_TRUE(dbReadBitByHandle(handles::kActivityFlags, kModbusActivityBit));
}

TEST_F(SynchroniserTest, NegativeSixteenBitValuesAreNoClientWrite) {
  // A tag without range on a holding register, as a setting written by the database.
  const int count = dbGetModbusNoOfIndex();
  int handle = -1;
  int address = -1;
  for (int index = 0; index < count && handle < 0; ++index) {
    const int h = dbGetModbusHandlePointer(index);
    if (dbGetModbusDataFormat(index) == kRegister16 && dbGetModbusAddress(index) >= kHoldingBase &&
        shared_mem->parameter.config[h].bits.noRangeCheck && !dbIsProtected(h)) {
      handle = h;
      address = dbGetModbusAddress(index);
    }
  }
  ASSERT_GE(handle, 0);
  set(handle, -5);
  pass();
  EXPECT_EQ(image_->holding(address), 65531);
  pass();
  pass();
  EXPECT_EQ(dbReadValueByHandle(handle), -5);
  image_->setHolding(address, 77);  // a real client write still lands
  pass();
  EXPECT_EQ(dbReadValueByHandle(handle), 77);
}

TEST_F(SynchroniserTest, ClientTextIsCheckedAndRepublishedAsStored) {
  pass();
  const char written[] = {'N', 'o', '-', 'g', 0};  // '-' lies outside "0".."z"
  for (int i = 0; i < 5; ++i) image_->setHolding(kHoldIogr1Name + i, static_cast<uint8_t>(written[i]));
  pass();
  char* text = nullptr;
  int code = 0;
  ASSERT_TRUE(dbGetModbusTextByTagName("vxo_iogr1name", &text, &code));
  EXPECT_STREQ(text, "No");
  pass();
  EXPECT_EQ(image_->holding(kHoldIogr1Name + 1), 'o');
  EXPECT_EQ(image_->holding(kHoldIogr1Name + 2), 0);
  EXPECT_EQ(dbReadValueByHandle(kIogr1Name), 'N' + ('o' << 1));
}

TEST_F(SynchroniserTest, LockGateExemptsOnlySingleVirtualInputCoils) {
  set(handles::kLockedByIp, 0x0100007F);
  EXPECT_TRUE(passesLockGate(MODBUS_FC_WRITE_SINGLE_REGISTER, kHoldMode, 0x0200007F)) << "not locked";
  set(handles::kLockedMode, 1);
  EXPECT_FALSE(passesLockGate(MODBUS_FC_WRITE_SINGLE_REGISTER, kHoldMode, 0x0200007F));
  EXPECT_TRUE(passesLockGate(MODBUS_FC_WRITE_SINGLE_REGISTER, kHoldMode, 0x0100007F));
  for (const int coil : kLockExemptCoils) {
    EXPECT_TRUE(passesLockGate(MODBUS_FC_WRITE_SINGLE_COIL, coil, 0x0200007F)) << coil;
    EXPECT_FALSE(passesLockGate(MODBUS_FC_WRITE_MULTIPLE_COILS, coil, 0x0200007F)) << coil;
  }
  EXPECT_FALSE(passesLockGate(MODBUS_FC_WRITE_SINGLE_COIL, 16461, 0x0200007F));
  EXPECT_FALSE(passesLockGate(MODBUS_FC_WRITE_SINGLE_COIL, 16468, 0x0200007F));
}

}  // namespace
