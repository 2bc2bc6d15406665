// The loop's own tasks and the operator's requests on a store built as at start-up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "daemon_fixture.h"
#include "looptasks.h"
#include "registerimage.h"
#include "settings.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/tagaccess.h"
#include "synchroniser.h"

namespace {

using orvix::testing::DaemonTest;

class TaskTest : public DaemonTest {};

TEST_F(TaskTest, AlarmResetCounter) {
  setTag(106, 1);
  countAlarmReset(daemon_);
  EXPECT_EQ(daemon_.alarmResetCounter, -1);
  countAlarmReset(daemon_);
  EXPECT_EQ(daemon_.alarmResetCounter, -1);
  daemon_.alarmResetCounter = 3;
  countAlarmReset(daemon_);
  EXPECT_EQ(daemon_.alarmResetCounter, 2);
}

TEST_F(TaskTest, ClockTasksBySecondsOfDay) {
  daemon_.maxIdleCurrent = 100;
  setTag(610, 2000);  // vxo_ratioseccurr
  setTag(1128, 37);
  setTag(1102, 36001);  // t mod 60 = 1
  EXPECT_FALSE(runClockTasks(daemon_));
  EXPECT_EQ(tag(1303), 200);
  EXPECT_EQ(tag(1127), 0);
  setTag(1102, 36002);  // t mod 10 = 2
  EXPECT_TRUE(runClockTasks(daemon_));
  EXPECT_EQ(tag(1127), 37);
  EXPECT_EQ(tag(1128), 0);
  setTag(1102, 36000);  // the full hour writes the hardware clock
  EXPECT_TRUE(runClockTasks(daemon_));
  EXPECT_NE(recordedHostCommands().find("hwclock -w"), std::string::npos);

  // A slow loop that steps from 36011 to 36013 still serves 36012's tasks, once.
  setTag(1102, 36011);
  runClockTasks(daemon_);
  setTag(1128, 41);
  setTag(1102, 36013);
  runClockTasks(daemon_);
  EXPECT_EQ(tag(1127), 41);
  setTag(1128, 43);
  runClockTasks(daemon_);  // the same second again
  EXPECT_EQ(tag(1127), 41);
}

TEST_F(TaskTest, ModbusLogStopsAtItsLimit) {
  image_.writeFile("/home/ftp/modbuslog", std::string(3000, 'm'));
  setTag(1126, 10);
  testing::internal::CaptureStdout();
  checkModbusLogSize(daemon_);
  EXPECT_EQ(tag(1126), 10);
  setTag(1126, 2);
  checkModbusLogSize(daemon_);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(tag(1126), 0);
  EXPECT_NE(out.find("stop modbus logging maximum filesize is reached /home/ftp/modbuslog 2 \n"), std::string::npos)
      << out;
}

TEST_F(TaskTest, MasterSyncAtOneMinuteToMidnight) {
  setTag(98, 1);
  setTag(1102, 86339);
  requestMasterSync(daemon_);
  EXPECT_EQ(tag(163), 0);
  setTag(1102, 86340);
  requestMasterSync(daemon_);
  EXPECT_EQ(tag(163), 1);
}

TEST_F(TaskTest, HeartbeatStuckOnTheTenthSecond) {
  setTag(480, 1);
  int reports = 0;
  for (int second = 1; second <= 25; ++second) {
    if (handleHeartBeat(daemon_)) {
      ++reports;
      EXPECT_EQ(second, 10);
    }
  }
  EXPECT_EQ(reports, 1);
  setTag(480, 0);
  handleHeartBeat(daemon_);
  EXPECT_EQ(daemon_.heartbeatSeconds, 0);
}

class RequestTest : public DaemonTest {
 protected:
  void SetUp() override {
    DaemonTest::SetUp();
    for (int handle = 0; handle < kNoOfHandles; ++handle) {
      int code = 0;
      if (dbParameterSaveStatus(handle) != kNotStored) dbSetSaveValueByHandle(handle, tag(handle), &code);
    }
  }
  static void write(int handle, int value) {
    int code = 0;
    ASSERT_TRUE(dbSetValueByHandle(handle, value, &code)) << handle << " code " << code;
  }
};

TEST_F(RequestTest, UnsavedChangesAndTheFirstOfThem) {
  EXPECT_FALSE(checkForModifications());
  // vxo_iogr1mode .. vxo_iogr4mode at 1 or 3 do not count; other values do.
  for (const int ioGroupMode : {630, 632, 634, 636}) {
    for (const int uncounted : {1, 3}) {
      write(ioGroupMode, uncounted);
      EXPECT_FALSE(checkForModifications()) << ioGroupMode << " = " << uncounted;
    }
    write(ioGroupMode, 2);
    EXPECT_TRUE(checkForModifications()) << ioGroupMode;
    EXPECT_EQ(tag(1399), ioGroupMode);
    write(ioGroupMode, 3);
  }
  write(872, 1);  // vxo_iogr5mode has no such exception
  EXPECT_TRUE(checkForModifications());
  EXPECT_EQ(tag(1399), 872);
  write(872, 0);
  write(706, tag(706) + 1);  // vxo_mode3currlim
  EXPECT_TRUE(checkForModifications());
  EXPECT_EQ(tag(1399), 706);
  write(630, 2);
  reportUnsavedSettings(daemon_);
  EXPECT_EQ(tag(83), 1);
  EXPECT_EQ(tag(1399), 630);
}

TEST_F(RequestTest, RestoreDefaultsWithTheirTexts) {
  int defaultLimit = 0;
  dbGetDefaultValueByHandle(706, &defaultLimit);
  write(706, defaultLimit + 1);
  int code = 0;
  dbSetModbusTextByHandle(767, "Field7", &code);
  setTag(107, 1);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(checkSetDefaults());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(tag(706), defaultLimit);
  char* text = nullptr;
  ASSERT_TRUE(dbGetModbusTextByTagName("vxo_unit_name", &text, &code));
  EXPECT_STREQ(text, "Orvix");
  EXPECT_EQ(tag(35), 1);
  EXPECT_EQ(tag(107), 0);
  EXPECT_GE(tag(1121), 1);
  EXPECT_NE(out.find("values reseted by operator "), std::string::npos);
  EXPECT_NE(out.find("767 Orvix \n"), std::string::npos);
  EXPECT_FALSE(checkSetDefaults());
}

TEST_F(RequestTest, ScopeRestartOncePerRequestBurst) {
  setTag(166, 1);
  const int restarts = tag(1371);
  testing::internal::CaptureStdout();
  scopeGrabReset(daemon_);
  EXPECT_EQ(tag(166), 0);
  EXPECT_EQ(tag(1371), restarts + 1);
  for (int pass = 0; pass < 30; ++pass) scopeGrabReset(daemon_);
  setTag(166, 1);  // a second request within two seconds is ignored
  int passes = 0;
  while (daemon_.scopeRestartCounter != 0 && passes < 500) {
    scopeGrabReset(daemon_);
    ++passes;
  }
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(tag(1371), restarts + 1);
  EXPECT_EQ(tag(166), 0);
  EXPECT_EQ(passes, 149 - 30);
  size_t starts = 0;
  for (size_t at = out.find("start scopegrab prog"); at != std::string::npos; at = out.find("start scopegrab prog", at + 1)) {
    ++starts;
  }
  EXPECT_EQ(starts, 1u);
}

TEST_F(RequestTest, SignalProcessorRestart) {
  write(94, 1);
  setTag(133, 1);
  EXPECT_TRUE(restartDspCheck(daemon_));
  EXPECT_EQ(tag(133), 0);
  EXPECT_EQ(tag(94), 0);
  for (int wait = 0; wait < 100 && recordedHostCommands().find(" reset") == std::string::npos; ++wait) usleep(20000);
  EXPECT_NE(recordedHostCommands().find(" reset"), std::string::npos);
  EXPECT_FALSE(restartDspCheck(daemon_));
}

// The start-up restore of a settings file that names one text and leaves the others
// empty, then the register server publishing the store as it does from its start.
TEST_F(DaemonTest, StartsAllSavedWhileTheRegisterServerPublishes) {
  image_.writeFile("/var/lib/orvix/saveFile", "vxo_unit_name=\"Field7\"\nvxo_iogr1name=\"\"\n");
  testing::internal::CaptureStdout();
  restoreSettingsAtStartup(daemon_);
  testing::internal::GetCapturedStdout();

  regserver::RegisterImage registers({regserver::kCoilBase + 96, 99, 365, regserver::kHoldingBase + 571});
  ASSERT_TRUE(registers.valid());
  regserver::Synchroniser server(registers);
  for (int pass = 0; pass < 3; ++pass) {
    countModbusRefresh(daemon_);
    server.update();
  }
  EXPECT_FALSE(checkForModifications()) << "first unsaved setting: " << tag(1399);
  char* text = nullptr;
  int code = 0;
  ASSERT_TRUE(dbGetModbusTextByTagName("vxo_unit_name", &text, &code));
  EXPECT_STREQ(text, "Field7");
  ASSERT_TRUE(dbGetModbusTextByTagName("vxo_iogr1name", &text, &code));
  EXPECT_STREQ(text, "IoGrp1");
  EXPECT_EQ(registers.holding(1293), 'I');  // vxo_iogr1name as clients read it
}

}  // namespace
