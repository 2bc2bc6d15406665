// The daemon's command line and configuration file.
#include "commandline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "configuration.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"
#include "temp_image.h"

namespace {

struct Parsed {
  int status;
  CommandLine commandLine;
  std::string out;
  std::string err;
};

std::string contents(FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, file) != nullptr) text += buffer;
  std::fclose(file);
  return text;
}

Parsed parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "database");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  Parsed parsed{};
  parsed.status = parseCommandLine(static_cast<int>(argv.size()), argv.data(), &parsed.commandLine, out, err);
  parsed.out = contents(out);
  parsed.err = contents(err);
  if (parsed.commandLine.iniFile != nullptr) parsed.commandLine.iniFile = "set";
  return parsed;
}

TEST(CommandLine, ConfigurationPath) {
  std::vector<std::string> arguments = {"-c", "/a.ini", "-c", "/b.ini"};
  std::vector<char*> argv = {const_cast<char*>("database")};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  CommandLine commandLine;
  EXPECT_EQ(parseCommandLine(5, argv.data(), &commandLine, stdout, stderr), 0);
  EXPECT_STREQ(commandLine.iniFile, "/b.ini");  // the last pair counts
}

TEST(CommandLine, Refusals) {
  const std::string usage = "Usage: database -c <config_file_path>\n";
  EXPECT_EQ(parse({}).status, 1);
  EXPECT_EQ(parse({}).err, "Error: You must specify a configuration file with -c\n");
  EXPECT_EQ(parse({"-c"}).err, usage);
  EXPECT_EQ(parse({"-x", "/a.ini"}).err, usage);
  EXPECT_EQ(parse({"-c", "/a.ini", "-c"}).status, 1);
  EXPECT_EQ(parse({"/a.ini"}).err, usage);
  EXPECT_EQ(parse({"D1"}).err, "Error: You must specify a configuration file with -c\n");
}

TEST(CommandLine, DebugLevels) {
  EXPECT_EQ(parse({"-c", "/a.ini", "D2"}).commandLine.debugLevel, 2);
  EXPECT_EQ(parse({"d1", "-c", "/a.ini"}).commandLine.debugLevel, 1);
  EXPECT_EQ(parse({"-c", "/a.ini", "D3"}).commandLine.debugLevel, 0);
  const Parsed pi = parse({"-c", "/a.ini", "D9"});
  EXPECT_EQ(pi.commandLine.debugLevel, 0);
  EXPECT_EQ(pi.out, "we are running on raspberryPi ");
  EXPECT_EQ(parse({"-c", "/a.ini", "D8"}).out, "we are running on nfsBoot ");
  EXPECT_EQ(parse({"-c", "/data.ini"}).commandLine.debugLevel, 0);  // a path is never a debug option
}

class ConfigurationTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    int code = 0;
    dbInitSharedInt(1132, 0, &code);
  }
  int portAfterReading(const std::string& port) {
    image_.writeFile("/var/lib/orvix/orvix.ini", "localRemoteServerPort=" + port + "\n");
    Daemon daemon;
    readConfiguration("/var/lib/orvix/orvix.ini", daemon);
    int code = 0;
    dbSetValueByHandle(1132, 7, &code);
    applyServerPort(daemon);
    return dbReadValueByHandle(1132);
  }
  orvix::testing::TempImage image_;
};

TEST_F(ConfigurationTest, ServerPortBoundaries) {
  EXPECT_EQ(portAfterReading("1024"), 7);
  EXPECT_EQ(portAfterReading("1025"), 1025);
  EXPECT_EQ(portAfterReading("59999"), 59999);
  EXPECT_EQ(portAfterReading("60000"), 7);
}

TEST_F(ConfigurationTest, PathsAndMissingKeys) {
  image_.writeFile("/var/lib/orvix/orvix.ini",
                   "saveFilePath=/var/lib/orvix/saveFile\nprogramPath=/home/root/orvix/prog/\n"
                   "regserverLogPath=" + std::string(150, 'p') + "\n");
  Daemon daemon;
  testing::internal::CaptureStderr();
  readConfiguration("/var/lib/orvix/orvix.ini", daemon);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_STREQ(daemon.path.saveFile, "/var/lib/orvix/saveFile");
  EXPECT_STREQ(daemon.path.program, "/home/root/orvix/prog/");
  EXPECT_EQ(std::string(daemon.path.modbusLog), std::string(99, 'p'));  // never beyond its buffer
  EXPECT_STREQ(daemon.path.dspProgramPath, "");
  EXPECT_STREQ(daemon.path.iniFile, "/var/lib/orvix/orvix.ini");
  EXPECT_NE(errors.find("Missing setting dspProgramPath: "), std::string::npos) << errors;
  EXPECT_NE(errors.find("Missing setting noOfAlarmLogfiles: "), std::string::npos) << errors;
  EXPECT_EQ(errors.find("Missing setting saveFilePath"), std::string::npos) << errors;
}

TEST_F(ConfigurationTest, UnreadableFileOnlyPrints) {
  Daemon daemon;
  testing::internal::CaptureStderr();
  readConfiguration("/var/lib/orvix/absent.ini", daemon);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("Error reading /var/lib/orvix/absent.ini: "), std::string::npos) << errors;
  EXPECT_STREQ(daemon.path.saveFile, "");
}

}  // namespace
