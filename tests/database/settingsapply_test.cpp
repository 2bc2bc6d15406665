// The operator's network and time settings: an edit held against the refresh, applied once
// through the host's commands (recorded by the image's stand-ins), and refused whole when
// an address, mask, date or time is not one.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "daemon_fixture.h"
#include "networksettings.h"
#include "timesettings.h"

namespace {

using orvix::testing::DaemonTest;

// clang-format off
constexpr int kIpSetChange   = 90;   // vxi_ipsetchange
constexpr int kIpDhcp        = 191;  // vxo_ipdhcp
constexpr int kIpApply       = 192;  // vxo_ipapply
constexpr int kIpAddress     = 906;  // vxo_ipaddress
constexpr int kIpGateway     = 907;  // vxo_ipgateway
constexpr int kIpNetmask     = 908;  // vxo_ipnetmask
constexpr int kApplyChange   = 923;  // vxo_applynetworkchange
constexpr int kNtpServer     = 925;  // vxo_ntpserverip
constexpr int kTimeSyncOpt   = 927;  // vxo_timesyncopt
constexpr int kTimeSyncApply = 928;  // vxo_timesyncapply
constexpr int kLocale        = 930;  // vxo_locale
constexpr int kNewTime       = 931;  // vxo_newtime
constexpr int kNewDate       = 932;  // vxo_newdate
constexpr int kNewTimeSet    = 933;  // vxo_newtimeset
// clang-format on
constexpr const char* kInterfaceFile = "/etc/systemd/network/20-wired.network";

int ip(const char* text) {
  in_addr address{};
  EXPECT_EQ(inet_pton(AF_INET, text, &address), 1) << text;
  return static_cast<int>(address.s_addr);
}

class SettingsApplyTest : public DaemonTest {
 protected:
  void SetUp() override {
    DaemonTest::SetUp();
    readNetworkInfo(daemon_);
    unlink(image_.path("/var/log/host-commands.log").c_str());
  }
  bool hasFile(const char* unitPath) const { return access(image_.path(unitPath).c_str(), F_OK) == 0; }
  std::string recorded() const { return hasFile("/var/log/host-commands.log") ? recordedHostCommands() : ""; }
  void editNetwork(const char* address, const char* mask, const char* gateway) {
    setTag(kIpAddress, ip(address));
    setTag(kIpNetmask, ip(mask));
    setTag(kIpGateway, ip(gateway));
    setTag(kIpDhcp, 0);
  }
  // Applies the request and returns what the daemon printed.
  std::string applyNetwork() {
    setTag(kIpApply, 1);
    ::testing::internal::CaptureStdout();
    applyNetworkRequest(daemon_);
    return ::testing::internal::GetCapturedStdout();
  }
};

TEST_F(SettingsApplyTest, NetworkEditIsHeldAndAppliedOnce) {
  const int actualAddress = tag(kIpAddress);
  editNetwork("192.168.7.20", "255.255.255.0", "192.168.7.1");
  holdNetworkEdit(daemon_);
  EXPECT_EQ(tag(kIpSetChange), 1);
  countIpChangeSeconds(daemon_);
  EXPECT_FALSE(refreshNetworkInfo(daemon_));
  EXPECT_EQ(tag(kIpAddress), ip("192.168.7.20"));  // not refreshed over the edit

  const std::string log = applyNetwork();
  EXPECT_NE(log.find("network settings applied: 192.168.7.20 netmask 255.255.255.0 gateway 192.168.7.1"),
            std::string::npos)
      << log;
  EXPECT_EQ(image_.readFile(kInterfaceFile),
            "# ORVIX eth0 config\n[Match]\nName=eth0\n\n[Network]\nAddress=192.168.7.20/24\nGateway=192.168.7.1\n");
  const std::string commands = recorded();
  for (const char* command :
       {"ifconfig eth0 192.168.7.20\n", "ifconfig eth0 netmask 255.255.255.0\n",
        "ip route add default via 192.168.7.1 dev eth0\n", "systemctl restart systemd-networkd\n"}) {
    EXPECT_NE(commands.find(command), std::string::npos) << command << " not in\n" << commands;
  }
  EXPECT_EQ(tag(kIpApply), 0);
  EXPECT_EQ(tag(kIpSetChange), 0);
  EXPECT_EQ(tag(kIpAddress), actualAddress);  // the tags show eth0 again
  EXPECT_FALSE(noticeNetworkEdit(daemon_));

  applyNetworkRequest(daemon_);  // no new request: nothing runs again
  EXPECT_EQ(recorded(), commands);
}

TEST_F(SettingsApplyTest, InvalidNetworkIsRefusedAndNothingWritten) {
  struct Case {
    const char* address;
    const char* mask;
    const char* gateway;
    const char* log;
  };
  const Case cases[] = {
      {"192.168.7.20",  "255.0.255.0",   "0.0.0.0",      "255.0.255.0 is not a subnet mask"        },
      {"192.168.7.20",  "0.0.0.0",       "0.0.0.0",      "0.0.0.0 is not a subnet mask"            },
      {"192.168.7.0",   "255.255.255.0", "0.0.0.0",      "192.168.7.0 is not a host address"       },
      {"192.168.7.255", "255.255.255.0", "0.0.0.0",      "192.168.7.255 is not a host address"     },
      {"127.0.0.5",     "255.0.0.0",     "0.0.0.0",      "127.0.0.5 is not a host address"         },
      {"0.0.0.0",       "255.255.255.0", "0.0.0.0",      "0.0.0.0 is not a host address"           },
      {"192.168.7.20",  "255.255.255.0", "10.0.0.1",     "gateway 10.0.0.1 is not another host"    },
      {"192.168.7.20",  "255.255.255.0", "192.168.7.20", "gateway 192.168.7.20 is not another host"},
  };
  for (const Case& c : cases) {
    editNetwork(c.address, c.mask, c.gateway);
    const std::string log = applyNetwork();
    EXPECT_NE(log.find(std::string("network settings refused: ") + c.log), std::string::npos) << log;
    EXPECT_EQ(tag(kIpApply), 0);
  }
  EXPECT_FALSE(hasFile(kInterfaceFile));
  EXPECT_EQ(recorded(), "");
}

TEST_F(SettingsApplyTest, DhcpNeedsNoAddress) {
  editNetwork("0.0.0.0", "0.0.0.0", "0.0.0.0");
  setTag(kIpDhcp, 1);
  setTag(kApplyChange, 1);  // the other name of the request
  EXPECT_TRUE(applyNetworkRequest(daemon_));
  EXPECT_EQ(tag(kApplyChange), 0);
  EXPECT_EQ(image_.readFile(kInterfaceFile), "# The loopback interface\n[Match]\nName=eth0\n\n[Network]\nDHCP=yes");
  EXPECT_NE(recorded().find("systemctl restart systemd-networkd"), std::string::npos);
}

TEST_F(SettingsApplyTest, TimeSettingsAppliedOnceOrRefused) {
  setTag(kNewTime, 0x0D050900);  // 13:05:09
  setTag(kNewDate, 0x7C0307);    // 2024-03-07
  setTag(kLocale, 346);          // UTC
  setTag(kTimeSyncOpt, 2);
  setTag(kNtpServer, ip("10.0.0.1"));
  setTag(kNewTimeSet, 1);
  EXPECT_TRUE(applyTimeRequest(daemon_));
  EXPECT_EQ(tag(kNewTimeSet), 0);
  const std::string commands = recorded();
  for (const char* command : {"timedatectl set-timezone UTC\n", "date -s 2024-03-07 13:05:09\n", "hwclock --systohc\n",
                              "systemctl start systemd-timesyncd\n"}) {
    EXPECT_NE(commands.find(command), std::string::npos) << command << " not in\n" << commands;
  }
  EXPECT_NE(image_.readFile("/etc/systemd/timesyncd.conf").find("\nNTP=10.0.0.1\n"), std::string::npos);
  EXPECT_FALSE(applyTimeRequest(daemon_));

  struct Case {
    int time;
    int date;
    int sync;
    int server;
  };
  const Case refused[] = {
      {0x18000000, 0x7C0307, 1, 0}, // 24:00:00
      {0x0D050900, 0x7C0D01, 1, 0}, // month 13
      {0x0D050900, 0x7D021D, 1, 0}, // 29 February 2025
      {0x0D050900, 0x7C0307, 2, 0}, // network time without a server
  };
  for (const Case& c : refused) {
    setTag(kNewTime, c.time);
    setTag(kNewDate, c.date);
    setTag(kTimeSyncOpt, c.sync);
    setTag(kNtpServer, c.server);
    setTag(kNewTimeSet, 1);
    ::testing::internal::CaptureStdout();
    applyTimeRequest(daemon_);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("time settings refused"), std::string::npos);
  }
  EXPECT_EQ(recorded(), commands);

  setTag(kTimeSyncOpt, 0);  // sync off alone: zone and sync with the clock's own date and time
  setTag(kTimeSyncApply, 1);
  setTag(619, 0x7E0C07);    // vxo_date 2026-12-07
  setTag(620, 0x0A000500);  // vxo_time 10:00:05
  EXPECT_TRUE(applyTimeRequest(daemon_));
  EXPECT_EQ(tag(kTimeSyncApply), 0);
  EXPECT_NE(recorded().find("date -s 2026-12-07 10:00:05\n"), std::string::npos);
  EXPECT_NE(recorded().find("systemctl stop systemd-timesyncd\n"), std::string::npos);
}

}  // namespace
