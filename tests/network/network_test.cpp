// The network module: masks and prefixes, the interface file it writes, and what it reads
// from the loopback interface, whose configuration every host shares.
#include "network/network.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "temp_image.h"

namespace {

using orvix::testing::TempImage;

constexpr const char* kInterfaceFile = "/etc/systemd/network/20-wired.network";

TEST(SubnetMask, OnesThenZerosOnly) {
  for (const char* mask : {"255.255.255.0", "255.255.128.0", "255.255.255.255", "0.0.0.0", "254.0.0.0"}) {
    EXPECT_TRUE(is_valid_subnet_mask(mask)) << mask;
  }
  for (const char* mask :
       {"255.0.255.0", "255.255.255.1", "128.255.0.0", "256.0.0.0", "255.255.255", "255.255.255.0x", "", "abc"}) {
    EXPECT_FALSE(is_valid_subnet_mask(mask)) << mask;
  }
}

TEST(SubnetMask, PrefixCountsTheMaskBits) {
  EXPECT_EQ(convertToCIDR("192.168.1.20", "255.255.255.0"), "192.168.1.20/24");
  EXPECT_EQ(convertToCIDR("10.1.2.3", "255.255.128.0"), "10.1.2.3/17");
  EXPECT_EQ(convertToCIDR("10.1.2.3", "255.255.255.252"), "10.1.2.3/30");
  EXPECT_FALSE(convertToCIDR("10.1.2", "255.255.255.0").has_value());
  EXPECT_FALSE(convertToCIDR("10.1.2.3", "mask").has_value());
}

TEST(InterfaceFile, StaticWithAndWithoutGatewayAndDhcp) {
  TempImage image;
  ASSERT_EQ(updateNetworkInterfaceFile("192.168.1.20", "255.255.255.0", "192.168.1.1", false), 0);
  EXPECT_EQ(image.readFile(kInterfaceFile),
            "# ORVIX eth0 config\n[Match]\nName=eth0\n\n[Network]\nAddress=192.168.1.20/24\nGateway=192.168.1.1\n");
  ASSERT_EQ(updateNetworkInterfaceFile("10.0.0.5", "255.0.0.0", "", false), 0);
  EXPECT_EQ(image.readFile(kInterfaceFile),
            "# ORVIX eth0 config\n[Match]\nName=eth0\n\n[Network]\nAddress=10.0.0.5/8\n");
  ASSERT_EQ(updateNetworkInterfaceFile("", "", "", true), 0);
  EXPECT_EQ(image.readFile(kInterfaceFile), "# The loopback interface\n[Match]\nName=eth0\n\n[Network]\nDHCP=yes");
  // An address that does not parse leaves the file as it was.
  EXPECT_EQ(updateNetworkInterfaceFile("10.0.0.300", "255.0.0.0", "", false), -1);
  EXPECT_EQ(image.readFile(kInterfaceFile), "# The loopback interface\n[Match]\nName=eth0\n\n[Network]\nDHCP=yes");
}

TEST(Reading, LoopbackInterface) {
  uint32_t address = 0;
  ASSERT_EQ(getIpAddress("lo", &address, "0.0.0.0"), 0);
  EXPECT_EQ(address, 0x0100007Fu);  // 127.0.0.1 in network byte order
  ASSERT_EQ(getIpAddress("no-such-if", &address, "10.9.8.7"), 0);
  EXPECT_EQ(address, 0x0708090Au);
  EXPECT_EQ(getIpAddress("no-such-if", &address, "not an address"), -1);
  EXPECT_STREQ(getSubNetMask("lo"), "255.0.0.0");
  EXPECT_STREQ(getSubNetMask("no-such-if"), "");
  EXPECT_EQ(getMacAddress("lo"), "00-00-00-00-00-00");
  EXPECT_FALSE(getMacAddress("no-such-if").has_value());
  uint32_t gateway = 0;
  EXPECT_EQ(getgatewayandiface(&gateway, "no-such-if"), -1);
  EXPECT_EQ(swapIp(0x0100007F), 0x7F000001);
}

// A leased address is what "ip addr show" calls "scope global dynamic"; a fixed one is not.
// Run in a network namespace of its own, with ip itself setting the addresses up.
TEST(Reading, DhcpLeaseAsIpShowsIt) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const auto shell   = [](const char* command) { return std::system(command) == 0; };
    const auto ipCalls = [&](const char* words) {
      return shell((std::string("ip addr show lo | grep -q 'scope global ") + words + "'").c_str());
    };
    if (unshare(CLONE_NEWNET) != 0 || !shell("ip link set lo up")) _exit(10);
    if (isDhcpEnabled("lo")) _exit(11);  // 127.0.0.1 is of host scope
    if (!shell("ip addr add 10.1.2.3/24 dev lo valid_lft 300 preferred_lft 300") || !ipCalls("dynamic")) _exit(12);
    if (!isDhcpEnabled("lo")) _exit(13);
    if (!shell("ip addr del 10.1.2.3/24 dev lo && ip addr add 10.1.2.3/24 dev lo") || ipCalls("dynamic")) _exit(14);
    if (isDhcpEnabled("lo")) _exit(15);
    _exit(isDhcpEnabled("no-such-if") ? 16 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10 set-up, 11 loopback, 12/14 ip, 13 leased, 15 fixed, 16 missing";
}

TEST(Reading, TextInFile) {
  TempImage image;
  image.writeFile("/etc/hosts.test", "first line\n" + std::string(2000, 'x') + "needle\nlast");
  EXPECT_EQ(findstr("/etc/hosts.test", "needle"), 1);
  EXPECT_EQ(findstr("/etc/hosts.test", "haystack"), 0);
  EXPECT_EQ(findstr("/etc/missing", "needle"), -1);
  EXPECT_TRUE(searchFileForText("/etc/hosts.test", "last"));
  EXPECT_FALSE(searchFileForText("/etc/hosts.test", "haystack"));
  EXPECT_TRUE(searchFileForText("/etc/missing", "needle"));  // an unreadable file counts as found
}

}  // namespace
