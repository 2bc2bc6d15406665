// Watches that catch changes made by another process, and the coloured table as a
// terminal shows it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "inspector_fixture.h"
#include "sharedmem/tagaccess.h"

namespace orvix::testing {
namespace {

using namespace std::chrono_literals;

// The watch reads the value once at its start; give it time to get there.
void letWatchStart() { std::this_thread::sleep_for(300ms); }

using WatchTest = InspectorTest;

TEST_F(WatchTest, ChangesFromAnotherProcessAreCaughtAndCounted) {
  const int handle = handleOf("vxo_mode");
  setRaw(handle, 1);
  BackgroundProgram watch(inspector(), {"vxo_mode", "-t", "2"});
  letWatchStart();
  setRaw(handle, 2);
  std::string output = watch.waitForOutput("\n", 5s);
  ASSERT_EQ(output.rfind("vxo_mode 1 -> 2 ", 0), 0u) << output;
  std::tm when{};
  const char* rest = strptime(output.c_str() + 16, "%a %b %e %H:%M:%S %Y", &when);
  ASSERT_NE(rest, nullptr) << output;
  EXPECT_STREQ(rest, "\n");
  setRaw(handle, -7);
  EXPECT_EQ(watch.waitForExit(5s), 0);
  output = watch.waitForOutput("", 0ms);
  EXPECT_NE(output.find("\nvxo_mode 2 -> -7 "), std::string::npos) << output;
}

TEST_F(WatchTest, ByteWatchShowsEachByte) {
  const int handle = handleOf("vxi_firingratio");
  setRaw(handle, 0x01020304);
  BackgroundProgram watch(inspector(), {"215", "-y"});
  letWatchStart();
  setRaw(handle, 0x01FF0304);
  EXPECT_EQ(watch.waitForExit(5s), 0);
  const std::vector<std::string> lines = linesOf(watch.waitForOutput("", 0ms));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "--- 215 ----");
  EXPECT_EQ(lines[1], "Byte:0 4 -> 4");
  EXPECT_EQ(lines[2], "Byte:1 3 -> 3");
  EXPECT_EQ(lines[3], "Byte:2 2 -> 255");
  EXPECT_EQ(lines[4].substr(0, 14), "Byte:3 1 -> 1 ");
}

TEST_F(WatchTest, ThresholdWatchReportsWhileOutside) {
  const int handle = handleOf("vxo_mode");
  setRaw(handle, 0);
  BackgroundProgram watch(inspector(), {"vxo_mode", "-o", "3"});
  letWatchStart();
  EXPECT_EQ(watch.waitForOutput("\n", 200ms), "");
  setRaw(handle, 5);
  EXPECT_EQ(watch.waitForOutput("\n", 5s).substr(0, 11), "vxo_mode 5 ");
  EXPECT_EQ(inspect({"vxo_mode", "-t", "two"}).output, "argument not a number\n");
  EXPECT_EQ(inspect({"1500", "-t"}).output, "ERROR: 1\n");
}

// A tmux server of the test's own; only that server is ever stopped.
class TmuxSession {
 public:
  TmuxSession() : socket_("orvix-inspector-" + std::to_string(getpid())) {}
  ~TmuxSession() { runProgram("/usr/bin/tmux", {"-L", socket_, "kill-server"}); }
  ProgramResult tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"-L", socket_});
    return runProgram("/usr/bin/tmux", args);
  }

 private:
  std::string socket_;
};

TEST_F(WatchTest, ColouredTableRendersInATerminal) {
  if (access("/usr/bin/tmux", X_OK) != 0) GTEST_SKIP() << "tmux is not installed";
  setRaw(handleOf("vxi_firingratio"), 4321);
  TmuxSession session;
  const std::string command = inspector() + " -d 214 217; sleep 60";
  ASSERT_EQ(session
                .tmux({"new-session", "-d", "-x", "160", "-y", "20", "-e", "ORVIX_SHM_KEY=" + std::to_string(store_.key()),
                       "-e", "ORVIX_ROOT=" + image_.root(), command})
                .exitStatus,
            0);
  std::string screen;
  for (int attempt = 0; attempt < 50 && screen.find("vxi_firingratio") == std::string::npos; ++attempt) {
    std::this_thread::sleep_for(100ms);
    screen = session.tmux({"capture-pane", "-p", "-e"}).output;
  }
  // tmux redraws the colours it was sent: yellow value, green minimum, blue default, red maximum.
  EXPECT_NE(screen.find("\33[33m      Value"), std::string::npos) << screen;
  EXPECT_NE(screen.find("\33[33m      4321"), std::string::npos) << screen;
  EXPECT_NE(screen.find("\33[32m"), std::string::npos);
  EXPECT_NE(screen.find("\33[34m"), std::string::npos);
  EXPECT_NE(screen.find("\33[31m"), std::string::npos);
  const std::string plain = session.tmux({"capture-pane", "-p"}).output;
  EXPECT_NE(plain.find(" 215 0       4321           0          0          0     13 %        "), std::string::npos)
      << plain;
}

}  // namespace
}  // namespace orvix::testing
