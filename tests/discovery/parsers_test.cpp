// Scan replies and summary pages: the outside texts the CGI reads.

#include <gtest/gtest.h>

#include <string>

#include "page_reader.h"
#include "scan_reply.h"

namespace discovery {
namespace {

TEST(ScanReply, FillsEveryFieldUpToSemicolonOrNewline) {
  Node node;
  ASSERT_TRUE(parseScanReply("IP = 10.0.0.2; HN = unit2; MAC = 00:30:11:22:33:44; DHCP = ON; "
                             "SN = 255.255.255.0; GW = 10.0.0.1\nModule version = 2.31",
                             node));
  EXPECT_EQ(node.ipAddress.view(), "10.0.0.2");
  EXPECT_EQ(node.hostName.view(), "unit2");
  EXPECT_EQ(node.macAddress.view(), "00:30:11:22:33:44");
  EXPECT_EQ(node.dhcpState.view(), "ON");
  EXPECT_EQ(node.subnetMask.view(), "255.255.255.0");
  EXPECT_EQ(node.gateway.view(), "10.0.0.1");
  EXPECT_EQ(node.moduleVersion.view(), "2.31");
}

TEST(ScanReply, WithoutIpKeyIsUnparsable) {
  Node node;
  EXPECT_FALSE(parseScanReply("HN = unit2; MAC = 00:30:11:22:33:44", node));
  EXPECT_FALSE(parseScanReply("", node));
  EXPECT_FALSE(parseScanReply("IP= 10.0.0.2", node));
  EXPECT_EQ(node.hostName.view(), "");
}

TEST(ScanReply, OtherKeysAreOptional) {
  Node node;
  ASSERT_TRUE(parseScanReply("IP = 10.0.0.9", node));
  EXPECT_EQ(node.ipAddress.view(), "10.0.0.9");
  EXPECT_EQ(node.hostName.view(), "");
  EXPECT_EQ(node.moduleVersion.view(), "");
}

TEST(ScanReply, LongValuesAreCutToFieldCapacity) {
  Node node;
  const std::string longValue(500, 'x');
  ASSERT_TRUE(parseScanReply("IP = 192.168.100.200.300.400; HN = " + longValue + "; MAC = " + longValue +
                                 "; DHCP = OFFLINE; Module version = " + longValue,
                             node));
  EXPECT_EQ(node.ipAddress.view(), "192.168.100.200");  // 15 of 16
  EXPECT_EQ(node.hostName.view(), std::string(12, 'x'));
  EXPECT_EQ(node.macAddress.view(), std::string(17, 'x'));
  EXPECT_EQ(node.dhcpState.view(), "OFF");
  EXPECT_EQ(node.moduleVersion.view(), std::string(9, 'x'));
}

TEST(ScanReply, KeyAtTheVeryEndGivesEmptyValue) {
  Node node;
  ASSERT_TRUE(parseScanReply("HN = u; IP = ", node));
  EXPECT_EQ(node.ipAddress.view(), "");
  EXPECT_EQ(node.hostName.view(), "u");
}

TEST(PageValue, RunsToLineEndAndKeyCountsOnlyAtLineStart) {
  const std::string page = "HOSTNAME = wrong\r\nNAME = Field 1.a\r\nLIM = 3;x\nTRON = 1";
  EXPECT_EQ(findPageValue(page, "NAME = "), "Field 1.a");
  EXPECT_EQ(findPageValue(page, "LIM = "), "3;x");
  EXPECT_EQ(findPageValue(page, "TRON = "), "1");
  EXPECT_EQ(findPageValue(page, "CR = "), std::nullopt);
  EXPECT_EQ(findPageValue("CR = \n", "CR = "), "");
}

TEST(PageNumber, AutomaticBaseMissingKeyAndMissingPage) {
  const std::optional<std::string> page = "A = 42\nB = 0x1F\nC = 017\nD = -5;7\nE = 12abc\nF = 0xFFFFFFFF\n"
                                          "G = 1234567890123456789012\nH = 0x80000000";
  EXPECT_EQ(readPageNumber(page, "A = "), 42);
  EXPECT_EQ(readPageNumber(page, "B = "), 31);
  EXPECT_EQ(readPageNumber(page, "C = "), 15);
  EXPECT_EQ(readPageNumber(page, "D = "), -5);
  EXPECT_EQ(readPageNumber(page, "E = "), 12);
  EXPECT_EQ(readPageNumber(page, "F = "), 0xFFFFFFFFLL);
  EXPECT_EQ(readPageNumber(page, "G = "), 1234567890123456789LL);  // first 19 characters only
  EXPECT_EQ(readPageNumber(page, "H = "), 0x80000000LL);
  EXPECT_EQ(readPageNumber(page, "Z = "), 0);
  EXPECT_EQ(readPageNumber(std::nullopt, "A = "), -1);
}

TEST(ValueWriters, EscapedFormKeepsOnlyLettersDigitsSpaceAndDash) {
  std::string out;
  appendEscapedValue(out, "a.b");
  EXPECT_EQ(out, "a%2eb");
  out.clear();
  appendEscapedValue(out, "Field-1 ok");
  EXPECT_EQ(out, "Field-1 ok");
  out.clear();
  appendEscapedValue(out, std::string("\t,\xc3\xa9\x7f\x01", 6));
  EXPECT_EQ(out, "%9%2c%c3%a9%7f%1");
}

TEST(ValueWriters, RawFormEscapesOnlyWhatWouldBreakTheAnswer) {
  std::string out;
  appendRawValue(out, "00:30:11:22:33:44 v1.2/3");
  EXPECT_EQ(out, "00:30:11:22:33:44 v1.2/3");
  out.clear();
  appendRawValue(out, "<b>&\",;\x01\xff");
  EXPECT_EQ(out, "%3cb%3e%26%22%2c%3b%1%ff");
}

TEST(AlarmLevel, TripMaskBeatsWarningMaskOverAllNineWords) {
  EXPECT_EQ(alarmLevel("ALARMS1 = 0x4\nALARMS1_MASK_W = 4\nALARMS9 = 0x100\nALARMS9_MASK_T = 0x1ff\n"), 2);
  EXPECT_EQ(alarmLevel("ALARMS3 = 6\nALARMS3_MASK_T = 1\nALARMS3_MASK_W = 2\n"), 1);
  EXPECT_EQ(alarmLevel("ALARMS1 = 6\nALARMS1_MASK_T = 1\nALARMS1_MASK_W = 8\nALARMS2_MASK_T = 6\n"), 0);
  EXPECT_EQ(alarmLevel(""), 0);
  EXPECT_EQ(alarmLevel("ALARMS5 = 0x80000000\nALARMS5_MASK_T = 0x80000000\n"), 2);
  // "ALARMS1 = " must not be taken from inside "ALARMS10 = " or another key.
  EXPECT_EQ(alarmLevel("XALARMS1 = 1\nALARMS1_MASK_T = 1\n"), 0);
}

}  // namespace
}  // namespace discovery
