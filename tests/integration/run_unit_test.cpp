// scripts/run-unit, the command that runs a whole unit: it lays out the image, starts
// the programs with their logs, serves Modbus on the port given, and stops all it
// started on SIGTERM.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "free_port.h"
#include "sharedmem/tagaccess.h"
#include "unit_harness.h"

namespace {

using namespace std::chrono_literals;
using orvix::testing::UnitHarness;


bool pidAlive(const std::string& pidText) { return !pidText.empty() && kill(std::stoi(pidText), 0) == 0; }

// The pid that run-unit printed for a program: "  <program> (pid N), output in ...".
std::string pidOf(const std::string& output, const std::string& program) {
  const size_t at = output.find("  " + program + " (pid ");
  if (at == std::string::npos) return "";
  const size_t start = at + program.size() + 8;
  return output.substr(start, output.find(')', start) - start);
}

TEST(RunUnit, StartsTheUnitAndStopsItOnSigterm) {
  UnitHarness unit;
  const int port = orvix::testing::freeLoopbackPort();
  const std::string script = std::string(std::getenv("ORVIX_SOURCE_DIR")) + "/scripts/run-unit";
  // What the last run left in the image's /tmp; a boot starts without it.
  unit.image().writeFile("/tmp/left/by-the-last-run", "");
  auto runUnit = unit.startProgram({script, "--root", unit.image().root(), "--shm-key", std::to_string(unit.key()),
                                    "--modbus-port", std::to_string(port)},
                                   "run-unit");
  ASSERT_TRUE(UnitHarness::waitFor([&] { return unit.log("run-unit").find("== the unit runs") != std::string::npos; },
                                   30s))
      << unit.log("run-unit");
  const std::string output = unit.log("run-unit");
  const std::string database = pidOf(output, "database");
  EXPECT_TRUE(pidAlive(database)) << output;
  EXPECT_TRUE(dbIsSorted());
  EXPECT_NE(unit.log("database").find("build date "), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(unit.image().path("/tmp/left")));
  if (std::filesystem::exists(UnitHarness::bin() + "/regserver")) {
    EXPECT_NE(output.find("Modbus TCP: 127.0.0.1:" + std::to_string(port)), std::string::npos) << output;
    const std::string poll = "mbpoll -m tcp -p " + std::to_string(port) + " -a 1 -r 1 -c 2 -1 127.0.0.1 >/dev/null 2>&1";
    EXPECT_TRUE(UnitHarness::waitFor([&] { return std::system(poll.c_str()) == 0; }, 10s));
  }
  runUnit->signal(SIGTERM);
  EXPECT_EQ(runUnit->waitForExit(10s), 0);
  EXPECT_FALSE(pidAlive(database));
  EXPECT_NE(unit.log("run-unit").find("database stopped"), std::string::npos);
}

TEST(RunUnit, RefusesBadOptions) {
  UnitHarness unit;
  const std::string script = std::string(std::getenv("ORVIX_SOURCE_DIR")) + "/scripts/run-unit";
  auto badKey = unit.startProgram({script, "--shm-key", "x"}, "run-unit");
  EXPECT_EQ(badKey->waitForExit(10s), 1);
  auto unknown = unit.startProgram({script, "--frobnicate"}, "run-unit");
  EXPECT_EQ(unknown->waitForExit(10s), 1);
  EXPECT_NE(unit.log("run-unit").find("Usage: "), std::string::npos);
}

}  // namespace
