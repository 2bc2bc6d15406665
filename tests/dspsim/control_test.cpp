// Requests from the control file and the command line, and the model constants file.
#include "control.h"

#include <gtest/gtest.h>

#include "constants.h"
#include "inihandler/inihandler.h"
#include "platform/platform.h"
#include "temp_image.h"

namespace dspsim {
namespace {

TEST(DspsimControlText, RequestsPerLineAndProblemsWithTheirLineNumbers) {
  std::string problems;
  const auto requests = parseControlText(
      "# test\n\nraise vxi_alttemphight\n  spark  \nheartbeat stop\nraise vxi_altextalarm1t\nheartbeat\n"
      "heartbeat run\nspark now\nraise\narc\naux 250\naux 251\naux -1\naux 12x\naux 0",
      problems);
  ASSERT_EQ(requests.size(), 7u);
  EXPECT_EQ(requests[0].kind, RequestKind::kRaiseAlarm);
  EXPECT_EQ(requests[0].alarm->handle, 2);
  EXPECT_EQ(requests[1].kind, RequestKind::kSpark);
  EXPECT_EQ(requests[2].kind, RequestKind::kHeartbeatStop);
  EXPECT_EQ(requests[3].kind, RequestKind::kHeartbeatRun);
  EXPECT_EQ(requests[4].kind, RequestKind::kArc);
  EXPECT_EQ(requests[5].kind, RequestKind::kAuxInput);
  EXPECT_EQ(requests[5].auxInput, 250);  // 25 mA, the most the input reads
  EXPECT_EQ(requests[6].auxInput, 0);
  // The external alarm is the module's, not the signal processor's.
  EXPECT_NE(problems.find("line 6: no alarm of the signal processor is called 'vxi_altextalarm1t'"), std::string::npos);
  EXPECT_NE(problems.find("line 7: not understood"), std::string::npos);
  EXPECT_NE(problems.find("line 9: not understood"), std::string::npos);
  EXPECT_NE(problems.find("line 10:"), std::string::npos);
  for (const char* line : {"line 13:", "line 14:", "line 15:"}) {
    EXPECT_NE(problems.find(line), std::string::npos) << line;
  }
}

TEST(DspsimControlFile, IsTakenOnceAndRemoved) {
  orvix::testing::TempImage image;
  std::string problems;
  EXPECT_TRUE(takeControlFile(kControlFilePath, problems).empty());
  image.writeFile(kControlFilePath, "raise vxi_allossofsynct\r\nspark\n");
  const auto requests = takeControlFile(kControlFilePath, problems);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].alarm->handle, 85);
  EXPECT_TRUE(problems.empty()) << problems;
  EXPECT_FALSE(orvix::platform::fileExists(kControlFilePath));
  EXPECT_TRUE(takeControlFile(kControlFilePath, problems).empty());
}

TEST(DspsimCommandLine, ConstantsFileAndAlarmsToRaise) {
  CommandLine line;
  std::string problems;
  const char* ok[] = {"dspsim", "-r", "vxi_altwatchdogt", "-c", "/tmp/x.ini", "-r", "vxi_alwtemphighw"};
  ASSERT_TRUE(parseCommandLine(7, ok, line, problems));
  EXPECT_EQ(line.constantsPath, "/tmp/x.ini");
  ASSERT_EQ(line.requests.size(), 2u);
  EXPECT_EQ(line.requests[1].alarm->handle, 1);

  CommandLine defaults;
  const char* none[] = {"dspsim"};
  ASSERT_TRUE(parseCommandLine(1, none, defaults, problems));
  EXPECT_EQ(defaults.constantsPath, kDefaultConstantsPath);

  for (auto args : {
           std::vector<const char*>{"dspsim", "-c"         },
            { "dspsim",    "-x",           "1"},
            { "dspsim",    "-r", "vxi_nothing"}
  }) {
    CommandLine bad;
    std::string why;
    EXPECT_FALSE(parseCommandLine(static_cast<int>(args.size()), args.data(), bad, why));
    EXPECT_FALSE(why.empty());
  }
}

TEST(DspsimConstants, FileValuesWithinRangeOthersKeepTheirDefault) {
  orvix::testing::TempImage image;
  image.writeFile(kDefaultConstantsPath,
                  "coronaOnsetVoltage=250\nfieldCapacitance=0\nsparkoverVoltage=12x\nlineFrequency=600\nbogus=1\n");
  std::string problems;
  const ModelConstants c = loadConstants(kDefaultConstantsPath, problems);
  EXPECT_EQ(c.coronaOnsetVoltage, 250);
  EXPECT_EQ(c.lineFrequency, 600);
  EXPECT_EQ(c.fieldCapacitance, ModelConstants{}.fieldCapacitance);  // 0 would divide by zero
  EXPECT_EQ(c.sparkoverVoltage, ModelConstants{}.sparkoverVoltage);
  EXPECT_NE(problems.find("fieldCapacitance=0"), std::string::npos);
  EXPECT_NE(problems.find("sparkoverVoltage=12x"), std::string::npos);
  EXPECT_NE(problems.find("unknown key bogus"), std::string::npos);
}

TEST(DspsimConstants, MissingOrMalformedFileGivesTheDefaults) {
  orvix::testing::TempImage image;
  std::string problems;
  EXPECT_EQ(loadConstants(kDefaultConstantsPath, problems).cyclePeriodMs, 50);
  EXPECT_NE(problems.find("defaults apply"), std::string::npos);
  image.writeFile(kDefaultConstantsPath, "cyclePeriodMs=20\nno equals sign\n");
  problems.clear();
  EXPECT_EQ(loadConstants(kDefaultConstantsPath, problems).cyclePeriodMs, 50);
  EXPECT_NE(problems.find("malformed"), std::string::npos);
}

TEST(DspsimConstants, TheImagesDefaultFileHoldsEveryKeyWithItsDefault) {
  const char* source = std::getenv("ORVIX_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  INIFile* ini = ini_create();
  ASSERT_EQ(ini_read_file(ini, (std::string(source) + "/unit/dspsim.ini").c_str()), 1);
  std::string problems;
  const ModelConstants fromFile = applyConstants(ini, problems);
  EXPECT_TRUE(problems.empty()) << problems;
  EXPECT_EQ(ini->size, constantRows().size());
  const ModelConstants defaults;
  for (const ConstantRow& row : constantRows()) EXPECT_EQ(fromFile.*(row.field), defaults.*(row.field)) << row.key;
  ini_destroy(ini);
}

}  // namespace
}  // namespace dspsim
