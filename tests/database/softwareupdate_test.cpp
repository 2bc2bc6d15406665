// Software in the FTP area: signal-processor program files moved and deciphered (names
// from the uploader never split into commands), update packages announced, removed or
// executed with the stop word, and the system information dump.
#include "softwareupdate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "daemon_fixture.h"

namespace {

using orvix::testing::DaemonTest;

constexpr int kUpdateAvailable = 91;
constexpr int kUpdateExecute   = 193;
constexpr int kUpdateRemove    = 194;

class UpdateFileTest : public DaemonTest {
 protected:
  void check() { EXPECT_TRUE(checkUpdateFiles(daemon_)); }
};

TEST_F(UpdateFileTest, AutomaticUpdateExecutesOnTheThirdCheck) {
  image_.writeFile("/home/ftp/vxupdate_2.1.tar", "x");
  image_.writeFile("/home/ftp/vxupdateAuto", "");
  setTag(kUpdateRemove, 1);
  check();
  check();
  EXPECT_EQ(tag(kUpdateExecute), 0);
  EXPECT_EQ(tag(kUpdateRemove), 0);
  check();
  EXPECT_EQ(daemon_.updateCounter, 3);
  EXPECT_EQ(tag(kUpdateExecute), 1);
  EXPECT_EQ(tag(kUpdateAvailable), 0);
}

TEST_F(UpdateFileTest, ManualUpdateIsOfferedFromTheSecondCheck) {
  image_.writeFile("/home/ftp/vxupdate_2.1.tar", "x");
  check();
  EXPECT_EQ(daemon_.updateCounter, -1);
  EXPECT_EQ(tag(kUpdateAvailable), 0);
  check();
  EXPECT_EQ(tag(kUpdateAvailable), 1);
  EXPECT_EQ(tag(kUpdateExecute), 0);
  daemon_.updateCounter = -999999;
  check();
  EXPECT_EQ(daemon_.updateCounter, -999999);
}

TEST_F(UpdateFileTest, AutomaticCountCarriesOverAndRemovalResets) {
  image_.writeFile("/home/ftp/vxupdate_2.1.tar", "x");
  daemon_.updateCounter = 5;  // the automatic flag file went away after three checks
  check();
  EXPECT_EQ(tag(kUpdateExecute), 1);
  unlink(image_.path("/home/ftp/vxupdate_2.1.tar").c_str());
  check();
  EXPECT_EQ(daemon_.updateCounter, 0);
  EXPECT_EQ(tag(kUpdateExecute), 0);
  EXPECT_EQ(tag(kUpdateAvailable), 0);
}

constexpr int kSystemState   = 1101;
constexpr int kUpdateSysInfo = 195;  // vxo_updateftpsysinfo

class DspFileTest : public DaemonTest {
 protected:
  bool exists(const std::string& unitPath) const { return access(image_.path(unitPath).c_str(), F_OK) == 0; }
  std::string waitForFile(const std::string& unitPath) const {
    for (int tries = 0; tries < 300 && !exists(unitPath); ++tries) usleep(10000);
    return exists(unitPath) ? image_.readFile(unitPath) : "(missing)";
  }
  void setDebugSetting(const char* value) {
    std::string ini = image_.readFile("/var/lib/orvix/orvix.ini");
    const size_t at = ini.find("dspUpdateDebug=");
    ini.replace(at, ini.find('\n', at) - at, std::string("dspUpdateDebug=") + value);
    image_.writeFile("/var/lib/orvix/orvix.ini", ini);
  }
};

TEST_F(DspFileTest, EncipheredFileIsMovedAndDecipheredWithoutDebugSetting) {
  image_.writeFile("/home/ftp/ORX_7.1.vxd", "program 7.1");
  image_.writeFile("/home/ftp/ORX_7.1.CRB", "plain");
  EXPECT_TRUE(checkDspUpdate(daemon_));
  EXPECT_FALSE(exists("/home/ftp/ORX_7.1.vxd"));
  EXPECT_EQ(waitForFile("/home/root/orvix/dsp/dsp.hex"), "program 7.1");  // dcrb's programming image
  // Without "dspUpdateDebug=Yes" the plain files stay where they are.
  EXPECT_FALSE(checkDspUpdate(daemon_));
  EXPECT_TRUE(exists("/home/ftp/ORX_7.1.CRB"));
}

TEST_F(DspFileTest, DebugFilesOnlyWithTheSetting) {
  setDebugSetting("Yes");
  image_.writeFile("/home/ftp/ORX_test.hex", ":00000001FF");
  EXPECT_TRUE(checkDspUpdate(daemon_));
  EXPECT_EQ(image_.readFile("/home/root/orvix/dsp/dsp.hex"), ":00000001FF");
  EXPECT_TRUE(exists("/home/root/orvix/MOVINGHEX"));
  EXPECT_FALSE(checkDspUpdate(daemon_));
}

TEST_F(DspFileTest, HostileNamesAreMovedWholeAndNeverRun) {
  const std::string hostile = "/home/ftp/ORX a'b;touch PWNED $(touch PWNED2).vxd";
  image_.writeFile(hostile, "hostile program");
  EXPECT_TRUE(checkDspUpdate(daemon_));
  EXPECT_FALSE(exists(hostile));
  EXPECT_EQ(waitForFile("/home/root/orvix/dsp/dsp.hex"), "hostile program");
  EXPECT_FALSE(exists("/home/ftp/PWNED"));
  EXPECT_FALSE(exists("/home/ftp/PWNED2"));
  EXPECT_EQ(access("PWNED", F_OK), -1);

  image_.writeFile("/home/ftp/vxupdate; rm -rf ..", "package");
  image_.writeFile("/home/ftp/keep", "operator's file");
  setTag(kUpdateRemove, 1);
  handleUpdate();
  EXPECT_FALSE(exists("/home/ftp/vxupdate; rm -rf .."));
  EXPECT_EQ(image_.readFile("/home/ftp/keep"), "operator's file");
}

TEST_F(DaemonTest, UpdateIsRemovedOrExecutedOnRequestOnly) {
  image_.writeFile("/home/ftp/vxupdate_2.1.tar", "x");
  image_.writeFile("/home/ftp/vxupdateAuto", "");
  setTag(kUpdateAvailable, 1);
  handleUpdateRequest(daemon_);  // offered, but nothing asked
  EXPECT_EQ(tag(kUpdateAvailable), 1);
  EXPECT_EQ(access(image_.path("/home/ftp/vxupdate_2.1.tar").c_str(), F_OK), 0);

  setTag(kUpdateRemove, 1);
  handleUpdateRequest(daemon_);
  EXPECT_NE(access(image_.path("/home/ftp/vxupdate_2.1.tar").c_str(), F_OK), 0);
  EXPECT_NE(access(image_.path("/home/ftp/vxupdateAuto").c_str(), F_OK), 0);
  EXPECT_EQ(tag(kUpdateRemove), 0);
  EXPECT_EQ(tag(kUpdateAvailable), 0);
  EXPECT_EQ(tag(kSystemState), 0);

  // An automatic package is never offered; flagged for execution it stops the programs.
  setTag(kUpdateExecute, 1);
  handleUpdateRequest(daemon_);
  EXPECT_EQ(tag(kSystemState), 470);
}

TEST_F(DaemonTest, SystemInfoDumpOnRequest) {
  updateFtpSystemInfo();
  setTag(kUpdateSysInfo, 1);
  updateFtpSystemInfo();
  EXPECT_EQ(tag(kUpdateSysInfo), 0);
  const std::string dump = image_.path("/home/ftp/systeminfo.txt");
  for (int tries = 0; tries < 300 && access(dump.c_str(), F_OK) != 0; ++tries) usleep(10000);
  EXPECT_NE(image_.readFile("/home/ftp/systeminfo.txt").find("kernel:"), std::string::npos);
}

}  // namespace
