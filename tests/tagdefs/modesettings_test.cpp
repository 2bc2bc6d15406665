// Mode settings, save values and the factory reset on the store the start-up builds.
#include "sharedmem/modesettings.h"

#include <gtest/gtest.h>

#include <string>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"

namespace {

using orvix::testing::StoreTest;

constexpr int kActualCurrentLimit = 562;  // vxo_actmodecurrlim, setting type 3
constexpr int kMode3CurrentLimit = 706;   // vxo_mode3currlim
constexpr int kCurrentLimitType = 3;
constexpr int kMode = 560;                // vxo_mode: not a per-mode setting
constexpr int kMaxStep = 790;             // vxo_custommaxstep: a stored setting, 2..26
constexpr int kTron = 94;                 // vxo_tron: never saved, kept by a factory reset
constexpr int kCurrentLimit1 = 690;       // vxo_mode1currlim
constexpr int kUnitName = 767;            // vxo_unit_name: a stored text
constexpr int kFiringRatio = 215;         // vxi_firingratio: a measurement
constexpr int kPrimaryCurrentRatio = 608;  // vxo_ratioprimcurr: a stored setting kept by a factory reset

Bit32tag flagsOf(int handle) { return Bit32tag{.all = shared_mem->parameter.config[handle].all}; }

class StartedStoreTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
  void set(int handle, int value) {
    int code = 0;
    ASSERT_TRUE(dbSetValueByHandle(handle, value, &code)) << handle;
  }
};

using ModeSettingTest = StartedStoreTest;

TEST_F(ModeSettingTest, ModeHandleAndTypeReaders) {
  EXPECT_EQ(getModeSettingHandle(kActualCurrentLimit, 3), kMode3CurrentLimit);
  EXPECT_EQ(getModeSettingHandle(kActualCurrentLimit, 0), kActualCurrentLimit);
  EXPECT_EQ(getModeSettingHandle(kMode3CurrentLimit, 0), kActualCurrentLimit);
  EXPECT_EQ(getModeSettingHandle(kActualCurrentLimit, 7), kNoModeSettingHandle);
  EXPECT_EQ(getModeSettingHandle(kMode, 3), 0);
  EXPECT_EQ(getModeSettingHandle(-1, 3), 0);

  EXPECT_EQ(dbReadModeType(kActualCurrentLimit), -1);
  EXPECT_EQ(dbReadModeSettingType(kActualCurrentLimit), kCurrentLimitType);
  EXPECT_EQ(dbReadModeType(kMode3CurrentLimit), kCurrentLimitType);
  EXPECT_EQ(dbReadModeSettingType(kMode), -1);

  // Mode 8 does not fit the field: the marking goes, the type stays.
  dbSetModeParameter(kMode3CurrentLimit, 8, kCurrentLimitType);
  EXPECT_EQ(flagsOf(kMode3CurrentLimit).bits.modeSetting, 0u);
  EXPECT_EQ(flagsOf(kMode3CurrentLimit).bits.modeSettingType, static_cast<unsigned>(kCurrentLimitType));
  EXPECT_EQ(dbReadModeType(kMode3CurrentLimit), -1);
  EXPECT_EQ(getModeSettingHandle(kActualCurrentLimit, 3), kNoModeSettingHandle);
  dbSetActualModeParameter(kMode, 16);  // no such type: unchanged
  EXPECT_FALSE(dbIsActualModeParameter(kMode));
}

TEST_F(ModeSettingTest, SaveValueOfTheLiveSettingIsThatOfTheModeCopy) {
  int code = -1;
  ASSERT_TRUE(dbSetSaveValueByHandle(kMode3CurrentLimit, 654, &code));
  int value = 0;
  EXPECT_TRUE(dbGetModeSaveValueByHandle(kActualCurrentLimit, &value, 3, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(value, 654);
  value = 0;
  EXPECT_TRUE(dbGetModeSaveValueByTagName("vxo_actmodecurrlim", &value, 3, &code));
  EXPECT_EQ(value, 654);
  EXPECT_TRUE(dbGetModeSaveValueByHandle(kMode3CurrentLimit, &value, 1, &code));  // its own
  EXPECT_EQ(value, 654);
  // No copy for mode 7: refused with the default, nothing read beyond the store.
  EXPECT_FALSE(dbGetModeSaveValueByHandle(kActualCurrentLimit, &value, 7, &code));
  EXPECT_EQ(code, 1);
  EXPECT_EQ(value, shared_mem->parameter.iDefault[kActualCurrentLimit]);
}

using SaveValueTest = StartedStoreTest;

TEST_F(SaveValueTest, SaveStatusFollowsValueAgainstSaveValue) {
  int code = -1;
  const int def = shared_mem->parameter.iDefault[kMaxStep];
  ASSERT_TRUE(dbSetSaveValueByHandle(kMaxStep, def, &code));
  EXPECT_EQ(dbParameterSaveStatus(kMaxStep), kSaved);
  set(kMaxStep, def - 1);
  EXPECT_EQ(dbParameterSaveStatus(kMaxStep), kChangedSinceSave);
  set(kMaxStep, def);
  EXPECT_EQ(dbParameterSaveStatus(kMaxStep), kSaved);
  ASSERT_TRUE(dbSetValueAndSaveByTagname("vxo_custommaxstep", 3, &code));
  EXPECT_EQ(dbParameterSaveStatus(kMaxStep), kSaved);
  int saved = 0;
  EXPECT_TRUE(dbGetSaveValueByHandle(kMaxStep, &saved, &code));
  EXPECT_EQ(saved, 3);
  saved = 0;
  EXPECT_TRUE(dbGetSaveValueByTagName("vxo_custommaxstep", &saved, &code));
  EXPECT_EQ(saved, 3);

  // Not stored: status 0, the save value can be neither read nor written.
  EXPECT_EQ(dbParameterSaveStatus(kTron), kNotStored);
  EXPECT_FALSE(dbGetSaveValueByHandle(kTron, &saved, &code));
  EXPECT_EQ(code, 1);
  EXPECT_EQ(saved, 0);  // the default
  EXPECT_FALSE(dbSetSaveValueByHandle(kFiringRatio, 5, &code));
  EXPECT_EQ(shared_mem->parameter.iSaveValue[kFiringRatio], 0);
  saved = -7;
  EXPECT_FALSE(dbGetSaveValueByTagName("vxi_firingratio", &saved, &code));
  EXPECT_EQ(saved, -7);
  EXPECT_FALSE(dbGetSaveValueByHandle(kNoOfHandles, &saved, &code));
  EXPECT_EQ(dbParameterSaveStatus(-3), kNotStored);
}

using FactoryResetTest = StartedStoreTest;

TEST_F(FactoryResetTest, ResetsChangedSettingsOnlyAndKeepsSaveValues) {
  const volatile auto& p = shared_mem->parameter;
  const int def = p.iDefault[kCurrentLimit1];
  set(kCurrentLimit1, def + 1);
  shared_mem->parameter.iSaveValue[kCurrentLimit1] = def + 1;
  set(kTron, 1);
  set(kFiringRatio, 4321);
  set(kPrimaryCurrentRatio, 250);  // default 100
  int code = 0;
  ASSERT_EQ(dbSetModbusTextByHandle(kUnitName, "Field2", &code), 1006);
  const int textChecksum = p.iValue[kUnitName];
  set(kMaxStep, 4);
  shared_mem->parameter.config[kMaxStep].bits.protect = 1;

  testing::internal::CaptureStdout();
  EXPECT_EQ(dbFactoryReset(), 1);
  const std::string printed = testing::internal::GetCapturedStdout();
  const std::string line = "1 " + std::to_string(kCurrentLimit1) + " " + std::to_string(def) + " " +
                           std::to_string(def + 1) + " \n";
  EXPECT_NE(printed.find(line), std::string::npos) << printed;
  EXPECT_NE(printed.find("modbus Text 767 \n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("no of parameters changed 1 \n"), std::string::npos) << printed;

  EXPECT_EQ(p.iValue[kCurrentLimit1], def);
  EXPECT_EQ(p.iValue[kTron], 1);            // not stored
  EXPECT_EQ(p.iValue[kPrimaryCurrentRatio], 250);  // kept: noReset, though stored
  EXPECT_EQ(p.iValue[kFiringRatio], 4321);  // not a setting
  EXPECT_EQ(p.iValue[kMaxStep], 4);         // protected
  EXPECT_EQ(p.iValue[kUnitName], textChecksum);
  // Not saved yet: the reset setting reads as changed until the next save.
  EXPECT_EQ(p.iSaveValue[kCurrentLimit1], def + 1);
  EXPECT_EQ(dbParameterSaveStatus(kCurrentLimit1), kChangedSinceSave);

  testing::internal::CaptureStdout();
  EXPECT_EQ(dbFactoryReset(), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("no of parameters changed 0 \n"), std::string::npos);
}

}  // namespace
