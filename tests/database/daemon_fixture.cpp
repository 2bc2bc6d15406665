#include "daemon_fixture.h"

#include <cstdlib>
#include <cstring>

#include "orxtags/storebuilder.h"
#include "orxtime/orxtime.h"
#include "sharedmem/tagaccess.h"

namespace orvix::testing {

namespace {
std::tm testClock{};
std::tm readTestClock() { return testClock; }
}  // namespace

void DaemonTest::SetUp() {
  StoreTest::SetUp();
  tagstore::buildTagStore();
  const std::string layOut =
      std::string(std::getenv("ORVIX_SOURCE_DIR")) + "/unit/lay-out-image " + image_.root() + " " +
      std::getenv("ORVIX_BUILD_BIN") + " >/dev/null";
  ASSERT_EQ(std::system(layOut.c_str()), 0);
  // Programs the daemon starts (the settings loaders) attach the test's own store.
  setenv("ORVIX_SHM_KEY", std::to_string(store_.key()).c_str(), 1);
  previousPath_ = std::getenv("PATH");
  setenv("PATH", (image_.root() + "/bin:" + std::getenv("ORVIX_BUILD_BIN") + ":" + previousPath_).c_str(), 1);
  std::strcpy(daemon_.path.saveFile, "/var/lib/orvix/saveFile");
  std::strcpy(daemon_.path.program, "/home/root/orvix/prog/");
  std::strcpy(daemon_.path.dspProgramPath, "/home/root/orvix/dsp");
  std::strcpy(daemon_.path.modbusLog, "/home/ftp/modbuslog");
  setClock(10, 0, 5);
  orxtime::setClockSource(readTestClock);
}

void DaemonTest::TearDown() {
  orxtime::setClockSource(nullptr);
  setenv("PATH", previousPath_.c_str(), 1);
  unsetenv("ORVIX_SHM_KEY");
}

void DaemonTest::setClock(int hour, int minute, int second) {
  testClock = {};
  testClock.tm_year = 2026 - 1900;
  testClock.tm_mon = 11;
  testClock.tm_mday = 7;
  testClock.tm_hour = hour;
  testClock.tm_min = minute;
  testClock.tm_sec = second;
}

int DaemonTest::tag(int handle) { return dbReadValueByHandle(handle); }

void DaemonTest::setTag(int handle, int value) { shared_mem->parameter.iValue[handle] = value; }

std::string DaemonTest::recordedHostCommands() const { return image_.readFile("/var/log/host-commands.log"); }

}  // namespace orvix::testing
