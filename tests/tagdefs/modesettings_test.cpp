// Mode marking, save values and the factory reset on hand-made settings.
#include "sharedmem/modesettings.h"

#include <gtest/gtest.h>

#include <string>

#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace {

using orvix::testing::StoreTest;

constexpr char kNoCan = static_cast<char>(255);

Bit32tag flagsOf(int handle) { return Bit32tag{.all = shared_mem->parameter.config[handle].all}; }
constexpr int kCurrentLimitType = 3;
constexpr int kActualCurrentLimit = 562;  // vxo_actmodecurrlim
constexpr int kMode1CurrentLimit = 690;   // vxo_mode1currlim, one per mode every 8 handles
constexpr int kFiringRatioType = 4;
constexpr int kActualFiringRatio = 559;
constexpr int kMode1FiringRatio = 691;

// A stored holding-register setting with range 0..1000.
void defineSetting(int handle, const char* name, int def) {
  int code = -1;
  ASSERT_TRUE(dbInitTag(handle, 0, 0, 1000, def, name, "", 1024 + handle, 1, -1, 0, 0, kNoCan, &code)) << name;
  ASSERT_TRUE(flagsOf(handle).bits.store) << name;
}

class ModeSettingTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    defineSetting(kActualCurrentLimit, "vxo_actmodecurrlim", 500);
    defineSetting(kActualFiringRatio, "vxo_actmodefiringratio", 100);
    dbSetActualModeParameter(kActualCurrentLimit, kCurrentLimitType);
    dbSetActualModeParameter(kActualFiringRatio, kFiringRatioType);
    for (int mode = 1; mode <= 6; ++mode) {
      const int limit = kMode1CurrentLimit + 8 * (mode - 1);
      const int ratio = kMode1FiringRatio + 8 * (mode - 1);
      defineSetting(limit, ("vxo_mode" + std::to_string(mode) + "currlim").c_str(), 400 + mode);
      defineSetting(ratio, ("vxo_mode" + std::to_string(mode) + "firingratio").c_str(), 100);
      dbSetModeParameter(limit, mode, kCurrentLimitType);
      dbSetModeParameter(ratio, mode, kFiringRatioType);
    }
  }
};

TEST_F(ModeSettingTest, ModeHandleFollowsTheSettingType) {
  EXPECT_EQ(getModeSettingHandle(kActualCurrentLimit, 3), 706);
  EXPECT_EQ(getModeSettingHandle(kActualCurrentLimit, 0), kActualCurrentLimit);
  EXPECT_EQ(getModeSettingHandle(706, 0), kActualCurrentLimit);
  EXPECT_EQ(getModeSettingHandle(706, 6), kMode1CurrentLimit + 40);
  EXPECT_EQ(getModeSettingHandle(kActualFiringRatio, 2), kMode1FiringRatio + 8);
  EXPECT_EQ(getModeSettingHandle(kActualCurrentLimit, 7), kNoModeSettingHandle);
  EXPECT_EQ(getModeSettingHandle(100, 3), 0);  // not a mode setting
  EXPECT_EQ(getModeSettingHandle(-1, 3), 0);
}

TEST_F(ModeSettingTest, ModeTypeReadersTellLiveFromPerModeSettings) {
  EXPECT_EQ(dbReadModeType(kActualCurrentLimit), -1);
  EXPECT_EQ(dbReadModeSettingType(kActualCurrentLimit), kCurrentLimitType);
  EXPECT_EQ(dbReadModeType(706), kCurrentLimitType);
  EXPECT_EQ(dbReadModeSettingType(706), kCurrentLimitType);
  EXPECT_EQ(dbReadModeType(100), -1);
  EXPECT_EQ(dbReadModeSettingType(100), -1);

  // Mode 8 does not fit: the marking goes, the type stays.
  dbSetModeParameter(706, 8, kCurrentLimitType);
  EXPECT_EQ(flagsOf(706).bits.modeSetting, 0u);
  EXPECT_EQ(flagsOf(706).bits.modeSettingType, static_cast<unsigned>(kCurrentLimitType));
  EXPECT_EQ(dbReadModeType(706), -1);
  dbSetActualModeParameter(100, 16);  // no such type: unchanged
  EXPECT_FALSE(dbIsActualModeParameter(100));
}

TEST_F(ModeSettingTest, ModeSaveValueOfTheLiveTagIsThatOfTheModeCopy) {
  int code = -1;
  ASSERT_TRUE(dbSetSaveValueByHandle(706, 654, &code));
  int value = 0;
  EXPECT_TRUE(dbGetModeSaveValueByHandle(kActualCurrentLimit, &value, 3, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(value, 654);
  value = 0;
  EXPECT_TRUE(dbGetModeSaveValueByTagName("vxo_actmodecurrlim", &value, 3, &code));
  EXPECT_EQ(value, 654);
  // A per-mode tag gives its own save value.
  EXPECT_TRUE(dbGetModeSaveValueByHandle(706, &value, 1, &code));
  EXPECT_EQ(value, 654);
  // No copy for mode 7: refused with the default, nothing read beyond the store.
  EXPECT_FALSE(dbGetModeSaveValueByHandle(kActualCurrentLimit, &value, 7, &code));
  EXPECT_EQ(code, 1);
  EXPECT_EQ(value, 500);
}

using SaveValueTest = StoreTest;

TEST_F(SaveValueTest, SaveStatusFollowsValueAgainstSaveValue) {
  defineSetting(600, "vxo_koramaxpcr", 20);
  int code = -1;
  ASSERT_TRUE(dbSetSaveValueByHandle(600, 20, &code));
  EXPECT_EQ(dbParameterSaveStatus(600), kSaved);
  ASSERT_TRUE(dbSetValueByHandle(600, 21, &code));
  EXPECT_EQ(dbParameterSaveStatus(600), kChangedSinceSave);
  ASSERT_TRUE(dbSetValueByHandle(600, 20, &code));
  EXPECT_EQ(dbParameterSaveStatus(600), kSaved);
  ASSERT_TRUE(dbSetValueAndSaveByTagname("vxo_koramaxpcr", 33, &code));
  EXPECT_EQ(dbParameterSaveStatus(600), kSaved);
  int saved = 0;
  EXPECT_TRUE(dbGetSaveValueByHandle(600, &saved, &code));
  EXPECT_EQ(saved, 33);
  saved = 0;
  EXPECT_TRUE(dbGetSaveValueByTagName("vxo_koramaxpcr", &saved, &code));
  EXPECT_EQ(saved, 33);

  // Not stored: status 0, the save value is not reachable and not written.
  int handleCode = -1;
  ASSERT_TRUE(dbInitTag(601, 0, 0, 9, 4, "vxi_measured", "", -1, 1, -1, 0, 0, kNoCan, &handleCode));
  EXPECT_EQ(dbParameterSaveStatus(601), kNotStored);
  EXPECT_FALSE(dbGetSaveValueByHandle(601, &saved, &code));
  EXPECT_EQ(code, 1);
  EXPECT_EQ(saved, 4);  // the default
  EXPECT_FALSE(dbSetSaveValueByHandle(601, 5, &code));
  EXPECT_EQ(shared_mem->parameter.iSaveValue[601], 0);
  saved = -7;
  EXPECT_FALSE(dbGetSaveValueByTagName("vxi_measured", &saved, &code));
  EXPECT_EQ(saved, -7);
  EXPECT_FALSE(dbGetSaveValueByHandle(kNoOfHandles, &saved, &code));
  EXPECT_EQ(dbParameterSaveStatus(-3), kNotStored);

  // A setting that is no longer saved has status 0.
  dbResetStoreBit(600);
  EXPECT_EQ(dbParameterSaveStatus(600), kNotStored);
}

using FactoryResetTest = StoreTest;

TEST_F(FactoryResetTest, ResetsChangedSettingsOnlyAndKeepsSaveValues) {
  defineSetting(10, "vxo_changed", 100);
  defineSetting(11, "vxo_unchanged", 100);
  defineSetting(12, "vxo_kept", 100);
  defineSetting(13, "vxo_protected", 100);
  int code = -1;
  ASSERT_TRUE(dbInitTag(14, 0, 0, 1000, 100, "vxi_notstored", "", 14, 1, -1, 0, 0, kNoCan, &code));
  ASSERT_TRUE(dbInitTag(15, 0, 0, 0, 0, "vxo_label", "", 1293, 4, -1, 0, 0, kNoCan, &code));
  ASSERT_EQ(dbSetModbusTextByHandle(15, "Fan", &code), 1003);
  for (int handle = 10; handle <= 14; ++handle) {
    ASSERT_TRUE(dbSetValueByHandle(handle, 7, &code));
    shared_mem->parameter.iSaveValue[handle] = 7;
  }
  ASSERT_TRUE(dbSetValueByHandle(11, 100, &code));
  dbNoFactoryReset(12);
  shared_mem->parameter.config[13].bits.protect = 1;

  testing::internal::CaptureStdout();
  EXPECT_EQ(dbFactoryReset(), 1);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("1 10 100 7 \n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("modbus Text 15 \n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("no of parameters changed 1 \n"), std::string::npos) << printed;

  const volatile auto& p = shared_mem->parameter;
  EXPECT_EQ(p.iValue[10], 100);
  EXPECT_EQ(p.iValue[12], 7);  // noReset
  EXPECT_EQ(p.iValue[13], 7);  // protected
  EXPECT_EQ(p.iValue[14], 7);  // not stored
  EXPECT_EQ(p.iValue[15], 70 + 2 * 97 + 4 * 110);  // the text's checksum stays
  // Not saved yet: the reset setting reads as changed until the next save.
  EXPECT_EQ(p.iSaveValue[10], 7);
  EXPECT_EQ(dbParameterSaveStatus(10), kChangedSinceSave);

  testing::internal::CaptureStdout();
  EXPECT_EQ(dbFactoryReset(), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("no of parameters changed 0 \n"), std::string::npos);
}

}  // namespace
