// Reading, setting and explaining single tags: the inspector's output against what the
// tag library says about the same store.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "inspector_fixture.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace orvix::testing {
namespace {

constexpr int kUndefinedHandle = 924;  // the one handle the definition table skips
constexpr int kSearchStatus = 157;     // -99 as the shell sees it

using ReadTest = InspectorTest;

TEST_F(ReadTest, ValuesAndErrorCodes) {
  setRaw(handleOf("vxi_firingratio"), 4321);
  // By handle or by name; the program version is built from tag version 27 (0x11B0C00).
  const std::pair<const char*, const char*> reads[] = {
      {"0", "0\n"},        {"215", "4321\n"}, {"292", "18549760\n"}, {"vxi_firingratio", "4321\n"},
      {"vxo_mode", "0\n"}, {"vxo_tron", "0\n"},
  };
  for (const auto& [tag, shown] : reads) {
    const ProgramResult read = inspect({tag, "-r"});
    EXPECT_EQ(read.output, shown) << tag;
    EXPECT_EQ(read.exitStatus, 0) << tag;
  }
  EXPECT_EQ(inspect({"1500", "-r"}).output, "ERROR: 1\n");
  EXPECT_EQ(inspect({"99999999999", "-r"}).output, "ERROR: 1\n");
  const ProgramResult undefined = inspect({std::to_string(kUndefinedHandle), "-r"});
  EXPECT_EQ(undefined.output, "ERROR: 2\n");
  EXPECT_EQ(undefined.exitStatus, 1);
  EXPECT_EQ(inspect({"vxi_firingratio"}).output, "handle 215 \n");
}

TEST_F(ReadTest, ScaledValuesForEveryExponent) {
  struct Case {
    const char* name;
    int exponent;
    int value;
    const char* shown;
  };
  const Case cases[] = {
      {"vxi_actualfiringangle", -1, 1205, "120.5"},   {"vxi_actualfiringangle", -1, -5, "-0.5"},
      {"vxi_firingratio", -2, 1205, "12.05"},         {"vxi_firingratio", -2, 7, "0.07"},
      {"vxi_firingratio", -2, -1230, "-12.30"},       {"vxi_testseccurr", -3, 1234567, "1234.567"},
      {"vxi_testseccurr", -3, -42, "-0.042"},         {"vxo_koraoptstepupthreshold", 1, 10, "100"},
      {"vxo_koraoptstepupthreshold", 1, -3, "-30"},   {"vxo_koraoptstepupthreshold", 1, 0, "0"},
      {"vxi_spm", 0, -17, "-17"},
  };
  for (const Case& c : cases) {
    const int handle = handleOf(c.name);
    ASSERT_EQ(shared_mem->parameter.cExponent[handle], c.exponent) << c.name;
    setRaw(handle, c.value);
    EXPECT_EQ(inspect({c.name, "-x"}).output, c.shown) << c.name << " " << c.value;
  }
}

using SetTest = InspectorTest;

TEST_F(SetTest, KeywordsTakeTheTagsOwnBounds) {
  const int handle = handleOf("vxo_actmodecurrlim");
  int bound = 0;
  ASSERT_TRUE(dbGetMaximumValueByHandle(handle, &bound));
  EXPECT_EQ(inspect({"vxo_actmodecurrlim", "-s", "max"}).exitStatus, 0);
  EXPECT_EQ(valueOf(handle), bound);
  ASSERT_TRUE(dbGetMinimumValueByHandle(handle, &bound));
  inspect({"vxo_actmodecurrlim", "-s", "MIN"});
  EXPECT_EQ(valueOf(handle), bound);
  ASSERT_TRUE(dbGetDefaultValueByHandle(handle, &bound));
  inspect({std::to_string(handle), "-s", "DEFAULT"});
  EXPECT_EQ(valueOf(handle), bound);

  // A tag without a range has no bound to take.
  const ProgramResult unbounded = inspect({"vxi_firingratio", "-s", "max"});
  EXPECT_EQ(unbounded.output, "parameter has no range, max can't be used\n");
  EXPECT_EQ(unbounded.exitStatus, 1);
}

TEST_F(SetTest, NumbersSignsAndTextThatIsNoNumber) {
  const int handle = handleOf("vxi_miralimitreceived");
  EXPECT_EQ(inspect({"vxi_miralimitreceived", "-s", "-5"}).exitStatus, 0);
  EXPECT_EQ(valueOf(handle), -5);
  EXPECT_EQ(inspect({"vxi_miralimitreceived", "-s", "6"}).exitStatus, 0);
  EXPECT_EQ(valueOf(handle), 6);

  for (const char* notANumber : {"5x", "-", "--5", "5 ", "+5", "0x10", "99999999999"}) {
    const ProgramResult refused = inspect({"vxi_miralimitreceived", "-s", notANumber});
    EXPECT_EQ(refused.output, std::string("argument not a number ") + notANumber + "\n");
    EXPECT_EQ(refused.exitStatus, 1);
  }
  EXPECT_EQ(valueOf(handle), 6);

  const ProgramResult outOfRange = inspect({"vxi_miralimitreceived", "-s", "7"});
  EXPECT_NE(outOfRange.output.find("ERROR: 4\n"), std::string::npos) << outOfRange.output;
  EXPECT_EQ(outOfRange.exitStatus, 1);
  EXPECT_EQ(valueOf(handle), 6);

  EXPECT_EQ(inspect({"vxi_miralimitreceived", "-s"}).output, "missing argument, -s requires more arguments\n");
}

TEST_F(SetTest, ProtectedAndUndefinedTagsAreLeftAlone) {
  const int handle = handleOf("vxo_mode");
  shared_mem->parameter.config[handle].bits.protect = 1;
  const int before = valueOf(handle);
  EXPECT_EQ(inspect({"vxo_mode", "-s", "3"}).output, "parameter is protected, can't be set\n");
  EXPECT_EQ(valueOf(handle), before);
  // Counters count even when protected.
  inspect({"vxo_mode", "-a"});
  EXPECT_EQ(valueOf(handle), before + 1);

  EXPECT_EQ(inspect({std::to_string(kUndefinedHandle), "-s", "1"}).output, "parameter not initialized\n");
  EXPECT_EQ(inspect({std::to_string(kUndefinedHandle), "-a"}).output, "ERROR: 2\n");
  EXPECT_EQ(shared_mem->parameter.iValue[kUndefinedHandle], 0);
}

using InformationTest = InspectorTest;

// The lines of "-i" from the given first line on.
std::vector<std::string> sectionFrom(const std::string& output, const std::string& first) {
  const std::vector<std::string> lines = linesOf(output);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == first) return {lines.begin() + static_cast<long>(i), lines.end()};
  }
  return {};
}

TEST_F(InformationTest, ValueBytesAreLabelledWithTheirBits) {
  setRaw(handleOf("vxi_firingratio"), 0x01020384);
  const std::vector<std::string> lines = sectionFrom(inspect({"vxi_firingratio", "-i"}).output, "handle: 215");
  ASSERT_GE(lines.size(), 12u);
  EXPECT_EQ(lines[3], "value: 16909188");
  EXPECT_EQ(lines[4], "   bytes 0x84:0x3:0x2:0x1");
  EXPECT_EQ(lines[5], "   bit 24-31 00000001");
  EXPECT_EQ(lines[6], "   bit 16-23 00000010");
  EXPECT_EQ(lines[7], "   bit 8-15  00000011");
  EXPECT_EQ(lines[8], "   bit 0-7   10000100");
  EXPECT_EQ(lines[9], "exponent: -2");
  EXPECT_EQ(lines[10], "formated value: 169091.88");
  EXPECT_EQ(lines[11], "range check: NO");
}

TEST_F(InformationTest, GroupShowsItsMembersValuesAndText) {
  const int handle = handleOf("vxg_groupvi");
  setRaw(handleOf("vxi_vivoltav3"), 345);
  const std::string output = inspect({"vxg_groupvi", "-i"}).output;
  char text[kGroupTextSize] = "";
  ASSERT_TRUE(dbGroupGetStringData(handle, text));
  const std::vector<std::string> lines = sectionFrom(output, "group attached. group " + std::to_string(valueOf(handle)));
  ASSERT_EQ(lines.size(), 2u + 7 + 7 + 2) << output;
  EXPECT_EQ(lines[1], "  columns 4 rows 7 ");
  EXPECT_EQ(lines[2], "     347    326    333    340");  // handles of V-I point 1
  EXPECT_EQ(lines[11], "       0    345      0      0");  // values of V-I point 3
  EXPECT_EQ(lines[16], "data String:");
  EXPECT_EQ(lines[17], std::string("  ") + text);
}

TEST_F(InformationTest, TextTagShowsItsText) {
  int code = 0;
  ASSERT_EQ(dbSetModbusTextByTagName("vxo_unit_name", "FIELD7", &code), 1006);
  const std::string output = inspect({"vxo_unit_name", "-i"}).output;
  const std::vector<std::string> lines = sectionFrom(output, "text attached ");
  ASSERT_GE(lines.size(), 8u) << output;
  EXPECT_EQ(lines[1], "  length 12 ");
  EXPECT_EQ(lines[2], "  text: FIELD7");
  EXPECT_EQ(lines[3], "available on modbus, address: 0x500-0x50b (1280-1291)");
  EXPECT_EQ(lines[5], "  modbus data format: TXT12C");
  EXPECT_EQ(lines[6], "  modbus read write register");
}

TEST_F(InformationTest, CanAndModbusMappings) {
  std::vector<std::string> lines =
      sectionFrom(inspect({"vxi_firingratio", "-i"}).output, "shared with DSP, canHandle: 0x47 (71)");
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[1], "  source: DSP ");
  EXPECT_EQ(lines[2], "  dataType: WORD16 ");
  EXPECT_EQ(lines[3], "available on modbus, address: 0x13 (19)");
  EXPECT_EQ(lines[4], "  modbus handle " + std::to_string(dbGetModbusIndex(215)) + " ");
  EXPECT_EQ(lines[6], "  modbus read only register");

  lines = sectionFrom(inspect({"vxo_time", "-i"}).output, "available on modbus, address: 0x455,0x456 (1109,1110)");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "  modbus data format: WORD32");
  EXPECT_EQ(lines[3], "  modbus read write register");
  EXPECT_EQ(lines[4], "  modbus write protected: no");
  EXPECT_EQ(lines[5], "  swapWord bit: 1 ");

  lines = sectionFrom(inspect({"vxo_tron", "-i"}).output, "available on modbus, address: 0x4000 (16384)");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], "  modbus read write coil");
}

TEST_F(InformationTest, StoredSettingShowsSaveValueAndFactoryReset) {
  const int handle = handleOf("vxo_mode2currlim");
  shared_mem->parameter.iSaveValue[handle] = 777;
  const std::string output = inspect({"vxo_mode2currlim", "-i"}).output;
  EXPECT_NE(output.find("stored: YES value in save file 777 \n"), std::string::npos) << output;
  EXPECT_NE(output.find("reset parameter by reset to defaults:YES to " +
                        std::to_string(shared_mem->parameter.iDefault[handle]) + "\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("mode setting Tag mode: 2 \nmode Type: 3 \n"), std::string::npos) << output;
  const std::string measurement = inspect({"vxi_firingratio", "-i"}).output;
  EXPECT_NE(measurement.find("stored: NO \nreset parameter by reset to defaults:NO \n"), std::string::npos);
  EXPECT_EQ(inspect({std::to_string(kUndefinedHandle), "-i"}).output, "ERROR: 2\n");
}

using UsageTest = InspectorTest;

TEST_F(UsageTest, ManualAndExample) {
  const ProgramResult manual = inspect({});
  EXPECT_EQ(manual.exitStatus, 0);
  EXPECT_EQ(linesOf(manual.output).front(), "Basic Usage: [handle/tagName] [FUNCTION] [EXTRA]");
  EXPECT_EQ(linesOf(manual.output).back(), "[OPTION1]\t-L [OPTION2] 0 turn off LED C");

  const ProgramResult wrong = inspect({"vxo_mode", "-q"});
  EXPECT_EQ(wrong.exitStatus, 1);
  EXPECT_EQ(wrong.output, manual.output + "EXAMPEL: " + inspector() + " 2 -r \nto read the value of parameter 2 \n");
}

TEST_F(UsageTest, SearchListsEveryMatchingLineAndNeverRunsTheText) {
  const ProgramResult found = inspect({"setchange"});
  EXPECT_EQ(found.exitStatus, kSearchStatus);
  EXPECT_EQ(found.output,
            "0x005c          0                vxi_ipsetchange\n"
            "0x005c          0          vxi_timesyncsetchange\n");
  // Tags without a Modbus address or a name show as such.
  char nameless[64];
  std::snprintf(nameless, sizeof nameless, "0xNONE %10d %30d\n", valueOf(1101), 1101);
  EXPECT_EQ(inspect({" 1101$"}).output, nameless);

  const std::string marker = image_.path("/tmp/ran");
  const ProgramResult hostile = inspect({"x;touch " + marker + "$(touch " + marker + ")"});
  EXPECT_EQ(hostile.exitStatus, kSearchStatus);
  EXPECT_EQ(hostile.output, "");
  EXPECT_FALSE(std::filesystem::exists(marker));
  EXPECT_FALSE(std::filesystem::exists(image_.path("/tmp/tempFile")));
}

}  // namespace
}  // namespace orvix::testing
