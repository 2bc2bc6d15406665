// The settings store of orxloadsave: what a save writes, what a load restores into a
// freshly built store (values, save values, texts) and which lines a load refuses.
#include "settingsfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/tagaccess.h"
#include "temp_image.h"

namespace {

using orvix::testing::StoreTest;
using settingsfile::parseLine;

int handleOf(const char* name) {
  int handle = -1;
  int code = 0;
  dbGetHandleByTagname(name, &handle, &code);
  return handle;
}

std::string textOf(const char* name) {
  char* text = nullptr;
  int code = 0;
  return dbGetModbusTextByTagName(name, &text, &code) ? text : "";
}

// Collects what a load reports.
class Capture {
 public:
  Capture() : file_(std::tmpfile()) {}
  ~Capture() { std::fclose(file_); }
  FILE* file() const { return file_; }
  std::string text() const {
    std::rewind(file_);
    std::string all;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, file_) != nullptr) all += buffer;
    return all;
  }

 private:
  FILE* file_;
};

class SettingsFileTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
  static void set(const char* name, int value) {
    int code = 0;
    ASSERT_TRUE(dbSetValueByTagName(name, value, &code)) << name << " code " << code;
  }
};

TEST(SettingLines, Parsing) {
  std::string why;
  auto line = parseLine("vxo_mode1currlim=850\r", &why);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->name, "vxo_mode1currlim");
  EXPECT_EQ(line->value, 850);
  line = parseLine("vxo_unit_name=\"Unit=7\"", &why);
  ASSERT_TRUE(line);
  EXPECT_TRUE(line->isText);
  EXPECT_EQ(line->text, "Unit=7");
  EXPECT_EQ(parseLine("x=-2147483648", &why)->value, INT32_MIN);

  EXPECT_FALSE(parseLine("# comment", &why));
  EXPECT_TRUE(why.empty());
  EXPECT_FALSE(parseLine("", &why));
  EXPECT_TRUE(why.empty());
  for (const char* bad : {"novalue", "=5", "Upper=5", "a=2147483648", "a=12x", "a=", "a=\"open", "a=\"two words\"",
                          "a=\"thirty characters long text!\"", "name_that_is_far_too_long_for_a_tag=1"}) {
    EXPECT_FALSE(parseLine(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

TEST_F(SettingsFileTest, SavedSettingsSurviveANewStore) {
  set("vxo_mode3currlim", 555);
  int code = 0;
  ASSERT_GT(dbSetModbusTextByTagName("vxo_unit_name", "Field7", &code), 1000);
  dbSetModbusTextByTagName("vxo_iogr2name", "Hopper", &code);
  const int checksum = dbReadValueByHandle(handleOf("vxo_unit_name"));
  const std::string file = settingsfile::composeSettings(settingsfile::takeSnapshot());
  EXPECT_NE(file.find("\nvxo_unit_name=\"Field7\"\n"), std::string::npos);
  EXPECT_EQ(file.find("vxo_tron="), std::string::npos);  // never saved

  tagstore::buildTagStore();
  ASSERT_NE(dbReadValueByHandle(handleOf("vxo_mode3currlim")), 555);
  Capture errors;
  const auto counts = settingsfile::loadSettings(file, errors.file(), nullptr);
  EXPECT_EQ(counts.refused, 0) << errors.text();
  EXPECT_GT(counts.loaded, 300);
  const int handle = handleOf("vxo_mode3currlim");
  EXPECT_EQ(dbReadValueByHandle(handle), 555);
  EXPECT_EQ(dbParameterSaveStatus(handle), kSaved);
  EXPECT_EQ(textOf("vxo_unit_name"), "Field7");
  EXPECT_EQ(textOf("vxo_iogr2name"), "Hopper");
  EXPECT_EQ(dbReadValueByHandle(handleOf("vxo_unit_name")), checksum);
  EXPECT_EQ(dbParameterSaveStatus(handleOf("vxo_unit_name")), kSaved);
}

TEST_F(SettingsFileTest, RefusedLinesKeepTheDefault) {
  const int handle = handleOf("vxo_mode3currlim");
  int max = 0;
  ASSERT_TRUE(dbGetMaximumValueByHandle(handle, &max));
  const int defaultValue = dbReadValueByHandle(handle);
  const std::string file = "vxo_mode3currlim=" + std::to_string(max + 1) +
                           "\nvxo_gone_from_the_table=4\nvxo_tron=1\nvxo_unit_name=7\nvxo_mode1currlim=\"x\"\ngarbage\n";
  Capture errors;
  const auto counts = settingsfile::loadSettings(file, errors.file(), nullptr);
  EXPECT_EQ(counts.loaded, 0);
  EXPECT_EQ(counts.refused, 6);
  EXPECT_EQ(dbReadValueByHandle(handle), defaultValue);
  EXPECT_EQ(dbReadValueByHandle(handleOf("vxo_tron")), 0);
  const std::string report = errors.text();
  EXPECT_NE(report.find("line 1 refused: vxo_mode3currlim"), std::string::npos) << report;
  EXPECT_NE(report.find("unknown tag vxo_gone_from_the_table"), std::string::npos) << report;
  EXPECT_NE(report.find("vxo_tron is not a stored setting"), std::string::npos) << report;
  EXPECT_NE(report.find("line 6 refused (no '=')"), std::string::npos) << report;
}

TEST_F(SettingsFileTest, SaveWritesTheFileAndMakesValuesSaved) {
  orvix::testing::TempImage image;
  const std::string path = image.path("/var/lib/orvix/saveFile");
  set("vxo_mode3currlim", 444);
  const int handle = handleOf("vxo_mode3currlim");
  EXPECT_EQ(dbParameterSaveStatus(handle), kChangedSinceSave);
  ASSERT_TRUE(settingsfile::saveSettings(path, stderr));
  EXPECT_EQ(dbParameterSaveStatus(handle), kSaved);
  EXPECT_NE(image.readFile("/var/lib/orvix/saveFile").find("\nvxo_mode3currlim=444\n"), std::string::npos);
}

TEST_F(SettingsFileTest, FileAndSaveValuesComeFromOneSnapshot) {
  orvix::testing::TempImage image;
  set("vxo_mode3currlim", 444);
  const settingsfile::SettingsSnapshot snapshot = settingsfile::takeSnapshot();
  set("vxo_mode3currlim", 555);  // an operator's change while the save runs
  ASSERT_TRUE(settingsfile::saveSnapshot(snapshot, image.path("/var/lib/orvix/saveFile"), stderr));
  EXPECT_NE(image.readFile("/var/lib/orvix/saveFile").find("\nvxo_mode3currlim=444\n"), std::string::npos);
  const int handle = handleOf("vxo_mode3currlim");
  EXPECT_EQ(shared_mem->parameter.iSaveValue[handle], 444);
  EXPECT_EQ(dbParameterSaveStatus(handle), kChangedSinceSave);  // 555 waits for the next save
}

TEST_F(SettingsFileTest, NothingIsSavedFromAnEmptyStore) {
  orvix::testing::TempImage image;
  image.writeFile("/var/lib/orvix/saveFile", "vxo_mode3currlim=444\n");
  shmStructbZero();
  Capture errors;
  EXPECT_FALSE(settingsfile::saveSettings(image.path("/var/lib/orvix/saveFile"), errors.file()));
  EXPECT_EQ(image.readFile("/var/lib/orvix/saveFile"), "vxo_mode3currlim=444\n");
}

TEST_F(SettingsFileTest, UnwritableDirectoryLeavesSaveValues) {
  set("vxo_mode3currlim", 444);
  Capture errors;
  EXPECT_FALSE(settingsfile::saveSettings("/nonexistent-dir/saveFile", errors.file()));
  EXPECT_EQ(dbParameterSaveStatus(handleOf("vxo_mode3currlim")), kChangedSinceSave);
  EXPECT_NE(errors.text().find("cannot write"), std::string::npos);
}

}  // namespace
