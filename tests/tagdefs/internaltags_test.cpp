// The version tags and the open tags file, on a store that holds only what a test
// defines.
#include "orxtags/internaltags.h"

#include <gtest/gtest.h>

#include <string>

#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"
#include "temp_image.h"

namespace {

using orvix::testing::StoreTest;
using orvix::testing::TempImage;

constexpr char kNoCan = static_cast<char>(255);

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

TEST_F(OpenTagsTest, CommentsAndBlankLeadingLinesNameNoTag) {
  // A tag defined twice leaves an empty name slot, which the sort puts first.
  int code = -1;
  ASSERT_TRUE(dbInitTag(560, 0, 0, 0, 0, "vxo_mode", "", -1, 1, -1, 0, 0, kNoCan, &code));
  ASSERT_TRUE(sortTagnames());
  image_.writeFile("/var/lib/orvix/openTags.ini",
                   "# open tags\n"
                   "  vxo_lock\n"
                   "vxo_mode\n");
  testing::internal::CaptureStdout();
  openTags(true);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed,
            "  tagName  -1\n"
            "tagname not found! from openTags.ini  2\n"
            "  tagName  -1\n"
            "tagname not found! from openTags.ini  2\n"
            "  tagName vxo_mode 7\n");
  EXPECT_FALSE(dbIsModbusProtected(560));
  EXPECT_TRUE(dbIsModbusProtected(561));
}

}  // namespace
