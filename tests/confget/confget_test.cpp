// confget as scripts and the daemon run it: one setting of a key=value file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/shell.h"
#include "temp_image.h"

namespace {

using orvix::platform::shellQuote;

struct Result {
  std::string out;
  int status;
};

std::string program() { return shellQuote(std::string(std::getenv("ORVIX_BUILD_BIN")) + "/confget"); }

// Runs a shell command line and collects its standard output and exit status.
Result run(const std::string& command) {
  Result result{{}, -1};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.out += buffer;
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Runs confget with the arguments (already shell words); standard error is dropped
// unless asked for.
Result confget(const std::string& arguments, bool withErrors = false) {
  return run(program() + " " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null"));
}

class ConfgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image_.writeFile("/var/lib/orvix/orvix.ini",
                     "baudrate=19200\n"
                     "rate=5\n"
                     "a=b=c\n"
                     "dspUpdateDebug=Yes\n"
                     "empty=\n"
                     "long=" + std::string(200, 'x') + "\n");
  }
  orvix::testing::TempImage image_;
};

TEST_F(ConfgetTest, ValueAfterTheFirstEquals) {
  EXPECT_EQ(confget("/var/lib/orvix/orvix.ini a").out, "b=c\n");
  EXPECT_EQ(confget("/var/lib/orvix/orvix.ini dspUpdateDebug").out, "Yes\n");
  EXPECT_EQ(confget("/var/lib/orvix/orvix.ini empty").out, "\n");
}

TEST_F(ConfgetTest, FirstMatchingLineWinsTailsOfLongerKeysMatch) {
  const Result result = confget("/var/lib/orvix/orvix.ini rate");
  EXPECT_EQ(result.out, "19200\n");  // baudrate= comes first and ends in rate=
  EXPECT_EQ(result.status, 0);
}

TEST_F(ConfgetTest, MissingKeyOrFilePrintsAnEmptyLine) {
  EXPECT_EQ(confget("/var/lib/orvix/orvix.ini nothere").out, "\n");
  const Result missing = confget("/var/lib/orvix/absent.ini rate");
  EXPECT_EQ(missing.out, "\n");
  EXPECT_EQ(missing.status, 0);
}

TEST_F(ConfgetTest, LongValueCutTo119CharactersOfTheLine) {
  const std::string value = confget("/var/lib/orvix/orvix.ini long").out;
  EXPECT_EQ(value, std::string(119 - 5, 'x') + "\n");
}

TEST_F(ConfgetTest, KeyIsNeverShellText) {
  const std::string marker = image_.path("/tmp/injected");
  const Result result = confget("/var/lib/orvix/orvix.ini " + shellQuote("x; touch " + marker));
  EXPECT_EQ(result.out, "\n");
  EXPECT_NE(0, access(marker.c_str(), F_OK));
  EXPECT_EQ(confget("/var/lib/orvix/orvix.ini -v").out, "\n");  // not an option of grep
}

TEST_F(ConfgetTest, FileNamesThatLookLikeOptionsAreReadAsFiles) {
  // Beside the files, one that a recursive search or standard input would find instead.
  image_.writeFile("/work/-r", "rate=7\n");
  image_.writeFile("/work/-", "rate=3\n");
  image_.writeFile("/work/other.ini", "rate=9\n");
  const std::string inWork = "cd " + shellQuote(image_.path("/work")) + " && " + program();
  EXPECT_EQ(run(inWork + " -r rate < other.ini").out, "7\n");
  EXPECT_EQ(run(inWork + " - rate < other.ini").out, "3\n");
}

TEST_F(ConfgetTest, UsageAndOverlongCommandsAreRefused) {
  Result result = confget("/var/lib/orvix/orvix.ini", true);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("Usage: "), std::string::npos) << result.out;
  EXPECT_EQ(confget("", true).status, 1);
  result = confget("/var/lib/orvix/orvix.ini " + std::string(1100, 'k'), true);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("too long"), std::string::npos) << result.out;
}

}  // namespace
