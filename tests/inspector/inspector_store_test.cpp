// Reports over the whole store, the address-space check and the two outputs besides
// the store (LED file, UDP datagram).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "inspector_fixture.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace orvix::testing {
namespace {

using ReportTest = InspectorTest;

int countHandles(bool (*counts)(int)) {
  int count = 0;
  for (int handle = 0; handle < kNoOfHandles; ++handle) count += counts(handle) ? 1 : 0;
  return count;
}

// The figures of the store the unit's start-up builds: 959 rows of the definition table
// with 160 named internal tags (44 and 254 are defined twice), 2 measurement tags and 133
// internal integers; every named tag is in the master tag list. Modbus: 854 rows of the
// table and 4 internal tags; texts: 14 in the table and 2 internal.
TEST_F(ReportTest, StoreFiguresOfTheUnitsStore) {
  const std::string expected =
      "shared memory size: 120216 Bytes\n"
      "shared memory key: " + std::to_string(store_.key()) + " \n"
      "initialized parameters: 1254 of maximum 1500\n"
      "registred tag name: 1121 of maximum 1200\n"
      "mastertaglist parameters: 1121\n"
      "modbus parameters: 858 of maximum 1000\n"
      "canbus parameters: 181 of maximum 400\n"
      "text string parameters: 16 of maximum 30\n"
      "group parameters: 2 of maximum 8 \n";
  EXPECT_EQ(inspect({"-?"}).output, expected);
}

// The handles of the rows of a parameter table.
std::vector<int> rowHandles(const std::string& output) {
  std::vector<int> handles;
  for (const std::string& line : linesOf(withoutColours(output))) {
    int handle = 0;
    int protect = 0;
    char after = 0;
    // "%4d %1d " starts every row and nothing else.
    if (std::sscanf(line.c_str(), "%4d %1d%c", &handle, &protect, &after) == 3 && after == ' ') {
      handles.push_back(handle);
    }
  }
  return handles;
}

TEST_F(ReportTest, ColouredTableStopsAtTheLastHandle) {
  int code = 0;
  ASSERT_TRUE(dbInitSharedInt(1499, 31, &code));
  const std::string ranged = inspect({"-d", "10", "2000"}).output;
  const std::vector<int> handles = rowHandles(ranged);
  int expected = 0;
  for (int handle = 10; handle < kNoOfHandles; ++handle) expected += dbIsInitialized(handle) ? 1 : 0;
  ASSERT_EQ(static_cast<int>(handles.size()), expected);
  EXPECT_EQ(handles.front(), 10);
  EXPECT_EQ(handles.back(), 1499);
  EXPECT_EQ(ranged.find("total number"), std::string::npos);
  // Value, minimum, default and maximum in yellow, green, blue and red.
  EXPECT_NE(ranged.find("\33[33m        31\33[0m \33[32m          0\33[0m \33[34m         0\33[0m \33[31m         0\33[0m"),
            std::string::npos);

  const std::string whole = inspect({"-d"}).output;
  EXPECT_NE(whole.find("total number of parameters initialized:" + std::to_string(countHandles(dbIsInitialized)) +
                       " \n"),
            std::string::npos);
  EXPECT_EQ(inspect({"-d", "ten"}).output, "argument not a number ten\n");
}

TEST_F(ReportTest, PlainTableHasTheCanColumn) {
  const std::vector<std::string> lines = linesOf(inspect({"-F"}).output);
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "   H P      Value         Min    Default        Max ModBus CanBus Unit                         Tagname");
  EXPECT_EQ(lines[1], std::string(lines[0].size(), '-'));
  const auto row215 =
      std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind(" 215 ", 0) == 0; });
  ASSERT_NE(row215, lines.end());
  EXPECT_EQ(*row215, " 215 0          0           0          0          0     13     71 %" + std::string(5 + 30 - 15, ' ') +
                         "vxi_firingratio");
  EXPECT_EQ(rowHandles(inspect({"-f"}).output).size(), static_cast<size_t>(countHandles(dbIsInitialized)));
}

TEST_F(ReportTest, NameListSaveStatusAndCanMap) {
  int rows = 0;
  for (const std::string& line : linesOf(inspect({"-l"}).output)) {
    const size_t equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    EXPECT_EQ(handleOf(line.substr(0, equals).c_str()), std::stoi(line.substr(equals + 1))) << line;
    ++rows;
  }
  EXPECT_GT(rows, 1000);

  const int setting = handleOf("vxo_mode2currlim");
  shared_mem->parameter.iSaveValue[setting] = 321;
  const std::vector<std::string> save = linesOf(inspect({"-z"}).output);
  int stored = 0;
  for (int handle = 0; handle < kNoOfHandles; ++handle) stored += dbParameterSaveStatus(handle) != kNotStored;
  ASSERT_EQ(static_cast<int>(save.size()), 3 + stored);
  EXPECT_EQ(save[0], "SAVE status ");
  char row[64];
  std::snprintf(row, sizeof row, "%6d%15d%16d", setting, valueOf(setting), 321);
  EXPECT_NE(std::find(save.begin(), save.end(), row), save.end());

  shared_mem->canbus.config[71].bits.lastValue = -17;
  const std::vector<std::string> can = linesOf(inspect({"-C"}).output);
  ASSERT_EQ(static_cast<int>(can.size()), 1 + dbGetCanbusNoOfIndex());
  EXPECT_EQ(can[0], "Address Direction Length Handle LastValue TagName");
  EXPECT_NE(std::find(can.begin(), can.end(), "0x047   DSP->SOM       2    215       -17 vxi_firingratio"), can.end());
  EXPECT_NE(std::find(can.begin(), can.end(), "0x000   DSP<->SOM      1      0         0 vxi_sumalarm"), can.end());
}

TEST_F(ReportTest, ModbusWritableTagsFollowTheProtection) {
  std::vector<std::string> lines = linesOf(inspect({"-Q"}).output);
  EXPECT_EQ(static_cast<int>(lines.size()), dbGetModbusNoOfIndex());
  dbModbusProtectAll();
  dbModbusUnprotect(handleOf("vxo_mode"));
  dbModbusUnprotect(handleOf("vxo_unit_name"));
  setRaw(handleOf("vxo_mode"), 3);
  lines = linesOf(inspect({"-Q"}).output);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "vxo_mode                       WORD16  0x0411 3");
  EXPECT_EQ(lines[1], "vxo_unit_name                  TXT12C  0x0500 0");
}

TEST_F(ReportTest, UnitDateAndTime) {
  setRaw(handleOf("vxo_date"), (126 << 16) | (12 << 8) | 7);
  setRaw(handleOf("vxo_time"), (23 << 24) | (21 << 16) | (54 << 8));
  EXPECT_EQ(inspect({"-D"}).output, "2026/12/07 23:21:54 \n");
}

using AddressCheckTest = InspectorTest;

TEST_F(AddressCheckTest, RealTableSharesOnlyItsOneDiscreteInput) {
  const ProgramResult check = inspect({"-A"});
  const std::vector<std::string> lines = linesOf(check.output);
  std::vector<std::string> lastLines;
  int errors = 0;
  for (const std::string& line : lines) errors += line.rfind("error on", 0) == 0;
  // vxi_ipsetchange and vxi_timesyncsetchange report on one discrete input by design.
  EXPECT_EQ(errors, 1) << check.output;
  EXPECT_EQ(lines.front(), "error on mb coil adr 5c ");
  for (const char* title : {"read only coils", "read write coils", "read only registers", "read write registers"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), title), lines.end()) << title;
  }
  // Each list ends with the first address after its last used one: discrete input 98,
  // coil 16479, input register 364 (a text shown as its checksum) and holding register 1594.
  for (const char* next : {"read write coils", "read only registers", "read write registers"}) {
    const auto title = std::find(lines.begin(), lines.end(), next);
    ASSERT_NE(title, lines.end());
    lastLines.push_back(*(title - 1));
  }
  lastLines.push_back(lines.back());
  EXPECT_EQ(lastLines, (std::vector<std::string>{"free adr 63 ", "free adr 4060 ", "free adr 16d ", "free adr 63b "}));
  EXPECT_EQ(check.exitStatus, 1);
}

TEST_F(AddressCheckTest, BrokenTableReportsEveryOverlap) {
  constexpr char kNoCan = static_cast<char>(255);
  int code = 0;
  // A 16-bit register on the second word of vxo_time, a 32-bit one on vxo_date (the name
  // list is sorted, so the extra tags stay nameless).
  ASSERT_TRUE(dbInitTag(924, 0, 0, 100, 0, nullptr, nullptr, 1110, 1, -1, 0, 0, kNoCan, &code));
  ASSERT_TRUE(dbInitTag(1498, 0, 0, 0, 0, nullptr, nullptr, 1107, 2, -1, 0, 0, kNoCan, &code));
  const ProgramResult check = inspect({"-A"});
  EXPECT_EQ(check.exitStatus, 1);
  EXPECT_NE(check.output.find("error on mb register adr 456 \n"), std::string::npos) << check.output;
  EXPECT_NE(check.output.find("error on mb register adr 453 1498\n"), std::string::npos) << check.output;
  EXPECT_NE(check.output.find("error on mb register adr 454 1498\n"), std::string::npos) << check.output;
}

using OutputTest = InspectorTest;

TEST_F(OutputTest, LedFileUnderTheImage) {
  const std::string led = image_.path("/sys/class/leds/Led D/brightness");
  EXPECT_EQ(inspect({"-L", "1"}).exitStatus, 0);
  EXPECT_EQ(image_.readFile("/sys/class/leds/Led D/brightness"), "1");
  EXPECT_EQ(inspect({"-L", "0"}).exitStatus, 0);
  EXPECT_EQ(image_.readFile("/sys/class/leds/Led D/brightness"), "0");
  EXPECT_EQ(inspect({"-L", "2"}).exitStatus, 1);
  EXPECT_EQ(image_.readFile("/sys/class/leds/Led D/brightness"), "0");
  std::filesystem::remove_all(image_.root() + "/sys");
  const ProgramResult missing = inspect({"-L", "1"});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.output.find("No such file or directory"), std::string::npos);
}

TEST_F(OutputTest, UnitMessageIsOneHundredBytes) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(49200);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    GTEST_SKIP() << "UDP port 49200 is in use on this machine";
  }
  const std::string longMessage(150, 'm');
  EXPECT_EQ(inspect({"-U", "hello unit"}).exitStatus, 0);
  EXPECT_EQ(inspect({"-U", longMessage}).exitStatus, 0);
  timeval timeout = {2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  char datagram[512];
  ASSERT_EQ(recv(fd, datagram, sizeof datagram, 0), 100);
  EXPECT_STREQ(datagram, "hello unit");
  ASSERT_EQ(recv(fd, datagram, sizeof datagram, 0), 100);
  EXPECT_EQ(std::string(datagram, 100), std::string(99, 'm') + '\0');
  close(fd);
}

}  // namespace
}  // namespace orvix::testing
