// The internal tags, the version tags and the open tags file, on a store that holds
// only what a test defines besides them.
#include "orxtags/internaltags.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"
#include "temp_image.h"

namespace {

using orvix::testing::StoreTest;
using orvix::testing::TempImage;

constexpr char kNoCan = static_cast<char>(255);

Bit32tag flagsOf(int handle) { return Bit32tag{.all = shared_mem->parameter.config[handle].all}; }

int valueOf(const char* name) {
  int value = 0;
  int code = 0;
  EXPECT_TRUE(dbGetValueByTagname(name, &value, &code)) << name;
  return value;
}

class InternalTagTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    initInternalSharedMemoryTags();
    initMeasurmentSharedInt();
  }
};

TEST_F(InternalTagTest, NamedTagsCarryTheirMarkAndRanges) {
  EXPECT_EQ(dbTagNameListStatus(), 162 + 2);
  for (const InternalTagDefinition& d : internalTagTable()) {
    const Bit32tag config{.all = shared_mem->parameter.config[d.varNum].all};
    EXPECT_TRUE(config.bits.initialized) << d.tag;
    EXPECT_TRUE(config.bits.bit27) << d.tag;
    EXPECT_EQ(shared_mem->parameter.canbus.address[d.varNum], -1) << d.tag;
  }
  EXPECT_EQ(valueOf("vxo_showseries4"), 1);
  EXPECT_EQ(valueOf("vxi_korarefcurrk"), 500);
  EXPECT_EQ(valueOf("vxo_virtualoutput05regbit"), 16);
  int code = 0;
  EXPECT_FALSE(dbSetValueByTagName("vxi_miralimitreceived", 7, &code));
  EXPECT_EQ(code, 100 + kTagOutOfRange);
  EXPECT_TRUE(dbSetValueByTagName("vxi_miralimitreceived", -6, &code));
  EXPECT_EQ(shared_mem->parameter.cExponent[1316], 1);
  char* unit = nullptr;
  char* name = nullptr;
  ASSERT_TRUE(dbGetUnitAndTagNameByHandle(1252, &unit, &name, &code));
  EXPECT_STREQ(name, "vxi_koralastqfull03");
  EXPECT_STREQ(unit, "Q");
}

TEST_F(InternalTagTest, FourModbusMappingsTwoOfThemTexts) {
  ASSERT_EQ(dbGetModbusNoOfIndex(), 4);
  EXPECT_EQ(dbGetModbusHandlePointer(0), 1345);
  EXPECT_EQ(dbGetModbusAddress(0), 1556);
  EXPECT_TRUE(flagsOf(1345).bits.store);
  EXPECT_TRUE(flagsOf(1383).bits.store);
  EXPECT_EQ(shared_mem->parameter.modbus.address[1383], 1076);
  EXPECT_EQ(shared_mem->parameter.modbus.address[1343], 364);
  EXPECT_EQ(shared_mem->parameter.modbus.address[1372], 363);
  EXPECT_EQ(dbGetModbusDataFormat(dbGetModbusIndex(1372)), 4);

  ASSERT_EQ(shared_mem->text.noOfAttachedTexts, 2);
  char* text = nullptr;
  int code = 0;
  ASSERT_TRUE(dbGetModbusTextByTagName("vxi_positiontag", &text, &code));
  EXPECT_STREQ(text, "X");
  EXPECT_EQ(shared_mem->parameter.iValue[1372], 'X');
  EXPECT_EQ(flagsOf(1372).bits.textString, 1u);
}

TEST_F(InternalTagTest, NamelessIntegersStartWithTheirValues) {
  for (int handle = 1220; handle <= 1229; ++handle) EXPECT_EQ(shared_mem->parameter.iValue[handle], -96563296);
  EXPECT_EQ(shared_mem->parameter.iValue[1190], 10000);
  EXPECT_EQ(shared_mem->parameter.iValue[1174], -1);
  EXPECT_EQ(shared_mem->parameter.iValue[1175], 0);
  const int everyRun[] = {1197, 1361, 1101, 1378, 1100, 1141, 1172, 1177};
  for (int handle : everyRun) {
    const Bit32tag config{.all = shared_mem->parameter.config[handle].all};
    EXPECT_TRUE(config.bits.initialized && config.bits.noReset && config.bits.notInMasterTaglist) << handle;
    EXPECT_EQ(config.bits.objectType, 0u) << handle;
  }
  EXPECT_FALSE(dbIsInitialized(1335));  // between the runs: never defined
  EXPECT_EQ(valueOf("vxo_measvistdcurrk"), 0);
}

TEST_F(InternalTagTest, BothGroupsHoldTheirMembers) {
  EXPECT_EQ(shared_mem->parameter.iValue[1194], 1);
  EXPECT_EQ(shared_mem->parameter.iValue[1362], 2);
  groupType refs{};
  ASSERT_TRUE(dbGroupGetReference(1362, &refs));
  EXPECT_EQ(refs.value[0][0], 1357);
  EXPECT_EQ(refs.value[6][0], 1366);
  EXPECT_EQ(refs.value[6][1], 1365);
  ASSERT_TRUE(dbGroupGetReference(1194, &refs));
  EXPECT_EQ(refs.value[0][0], 347);  // vxi_vicurrden1
  EXPECT_EQ(refs.value[6][3], 346);  // vxi_vivoltva7
  EXPECT_EQ(shared_mem->group.rows[1], 7);
  EXPECT_EQ(shared_mem->group.columns[1], 4);

  const int firstColumn[] = {1357, 1358, 1359, 1360, 1361, 1364, 1366};
  for (int row = 0; row < 7; ++row) shared_mem->parameter.iValue[firstColumn[row]] = 10 * (row + 1);
  char text[kGroupTextSize] = "";
  ASSERT_TRUE(dbGroupGetStringDataByTagName("vxg_sparkrecovcurve", text));
  EXPECT_STREQ(text, "10,20,30,40,50,60,70;0,0,0,0,0,0,0");
}

using VersionTest = StoreTest;

TEST_F(VersionTest, TagsComeFromTheMasterTagVersion) {
  int code = -1;
  ASSERT_TRUE(dbInitTag(477, 0, 0, 65535, 27, "vxi_mastertagversion", "", -1, 1, 123, 0, 0, 1, &code));
  for (int handle : {292, 358, 359, 360}) ASSERT_TRUE(dbInitTag(handle, 0, 0, 0, 0, nullptr, "", -1, 2, -1, 0, 0, kNoCan, &code));
  dbBuildVersions();
  EXPECT_EQ(shared_mem->parameter.iValue[360], 455213312);  // 0x1B220100
  EXPECT_EQ(shared_mem->parameter.iValue[292], 18549760);   // 0x11B0C00
  EXPECT_EQ(shared_mem->parameter.iValue[358], 28);
  EXPECT_EQ(shared_mem->parameter.iValue[359], 100);
  // A version of 200 fills the sign bit of the system version word.
  ASSERT_TRUE(dbSetValueByHandle(477, 200, &code));
  dbBuildVersions();
  EXPECT_EQ(static_cast<uint32_t>(shared_mem->parameter.iValue[360]), 0xC8220100u);
}

class OpenTagsTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    int code = -1;
    const char* names[] = {"vxo_mode", "vxo_lock", "vxo_tron", "vxo_mode1kora"};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(dbInitTag(560 + i, 0, 0, 0, 0, names[i], "", -1, 1, -1, 0, 0, kNoCan, &code));
  }
  TempImage image_;
};

TEST_F(OpenTagsTest, WithoutTheFileEveryTagStaysWritable) {
  openTags(false);
  for (int handle = 0; handle < kNoOfHandles; ++handle) ASSERT_FALSE(dbIsModbusProtected(handle)) << handle;
}

TEST_F(OpenTagsTest, OnlyListedTagsStayWritable) {
  image_.writeFile("/var/lib/orvix/openTags.ini",
                   "vxo_mode=3\n"
                   "vxo_lock\r\n"
                   "vxo_\n"                                      // 4 characters: ignored
                   "vxo_tron" + std::string(92, ' ') + "\n"      // 100 characters: ignored
                   "vxo_nosuchtag\n");
  testing::internal::CaptureStdout();
  openTags(true);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(dbIsModbusProtected(560));  // vxo_mode
  EXPECT_FALSE(dbIsModbusProtected(561));  // vxo_lock
  EXPECT_TRUE(dbIsModbusProtected(562));   // vxo_tron
  EXPECT_TRUE(dbIsModbusProtected(563));
  EXPECT_TRUE(dbIsModbusProtected(1499));
  EXPECT_NE(printed.find("  tagName vxo_mode 7\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("tagname not found! from openTags.ini vxo_nosuchtag"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("vxo_tron"), std::string::npos) << printed;
}

}  // namespace
