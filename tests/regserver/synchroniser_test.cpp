#include "synchroniser.h"

#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <string>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "requestgate.h"
#include "sharedmem/tagaccess.h"

namespace {

using namespace regserver;

constexpr int kMode = 560;             // vxo_mode, holding 1041, range 0..5
constexpr int kHoldMode = 1041;
constexpr int kTroff = 100;            // vxo_troffcommand, coil 16390
constexpr int kCoilTroff = 16390;
constexpr int kIogr1Name = 768;        // vxo_iogr1name, 7-register text at 1293
constexpr int kHoldIogr1Name = 1293;

class SynchroniserTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    tagstore::buildTagStore();
    image_ = std::make_unique<RegisterImage>(ImageSizes{kCoilBase + 96, 99, 365, kHoldingBase + 571});
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

  std::unique_ptr<RegisterImage> image_;
  std::unique_ptr<Synchroniser> sync_;
};

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
