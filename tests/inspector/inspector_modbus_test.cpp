// The Modbus client functions against a running register server that serves the test's
// own store: what the inspector reads must be what the tags hold, and what it writes
// must reach the tags.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "free_port.h"
#include "inspector_fixture.h"
#include "sharedmem/tagaccess.h"

namespace orvix::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kRefreshCounter = 1378;  // the register server synchronises when it moves


bool accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

class ModbusClientTest : public InspectorTest {
 protected:
  void SetUp() override {
    InspectorTest::SetUp();
    port_ = orvix::testing::freeLoopbackPort();
    image_.writeFile("/etc/regserver.conf", "5\nport=" + std::to_string(port_) + "\n");
    server_ = std::make_unique<BackgroundProgram>(buildProgram("regserver"),
                                                  std::vector<std::string>{"-c", "/etc/regserver.conf"});
    for (int attempt = 0; attempt < 100 && !accepts(port_); ++attempt) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(accepts(port_)) << "regserver does not listen on port " << port_;
  }
  void TearDown() override {
    server_.reset();
    InspectorTest::TearDown();
  }

  // Lets the server run one synchronisation pass.
  void synchronise() {
    dbIncrementByHandle(kRefreshCounter);
    std::this_thread::sleep_for(400ms);
  }
  ProgramResult client(std::vector<std::string> args) {
    args.insert(args.begin(), "-m");
    args.push_back(server());
    return inspect(args);
  }
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

  int port_ = 0;
  std::unique_ptr<BackgroundProgram> server_;
};

// The value column of "-m -d" by handle.
std::map<int, std::string> listedValues(const std::string& output) {
  std::map<int, std::string> values;
  for (const std::string& line : linesOf(output)) {
    std::istringstream fields(line);
    int number = 0;
    int address = 0;
    int handle = 0;
    std::string value;
    if (fields >> number >> address >> value >> handle) values[handle] = value;
  }
  return values;
}

TEST_F(ModbusClientTest, TagListShowsWhatTheTagsHold) {
  // A 32-bit holding register of each word order, the packed date, an input register.
  int unswapped = -1;
  for (int index = 0; index < dbGetModbusNoOfIndex() && unswapped < 0; ++index) {
    const int handle = dbGetModbusHandlePointer(index);
    if (dbGetModbusDataFormat(index) == 2 && dbGetModbusAddress(index) >= 1024 && !dbIsSwapWordBitSet(index) &&
        handle != handleOf("vxo_date")) {
      unswapped = handle;
    }
  }
  ASSERT_GE(unswapped, 0);
  const std::map<int, int> tags = {
      {unswapped, 0x00012345},          {handleOf("vxo_time"), 0x17153600}, {handleOf("vxo_date"), 0x007E0C07},
      {handleOf("vxi_firingratio"), 4321}, {handleOf("vxi_programversion"), -2},  {handleOf("vxo_tron"), 1},
  };
  for (const auto& [handle, value] : tags) setRaw(handle, value);
  int code = 0;
  ASSERT_EQ(dbSetModbusTextByTagName("vxo_unit_name", "FIELD7", &code), 1006);
  synchronise();

  const ProgramResult listed = client({"-d"});
  ASSERT_EQ(listed.exitStatus, 0) << listed.output;
  const std::map<int, std::string> values = listedValues(listed.output);
  for (const auto& [handle, value] : tags) EXPECT_EQ(values.at(handle), std::to_string(value)) << handle;
  EXPECT_EQ(values.at(handleOf("vxo_unit_name")), "FIELD7");
  EXPECT_EQ(static_cast<int>(values.size()), dbGetModbusNoOfIndex());
  for (const auto& [handle, value] : values) EXPECT_NE(value, "error") << handle;

  int inputCoils = 0, holdingCoils = 0, inputRegisters = 0, holdingRegisters = 0;
  for (int index = 0; index < dbGetModbusNoOfIndex(); ++index) {
    const bool bit = dbGetModbusDataFormat(index) == 0;
    const int address = dbGetModbusAddress(index);
    ++(bit ? (address < 16384 ? inputCoils : holdingCoils) : (address < 1024 ? inputRegisters : holdingRegisters));
  }
  EXPECT_EQ(linesOf(listed.output).back(), "input coils:" + std::to_string(inputCoils) +
                                               " holding coils:" + std::to_string(holdingCoils) +
                                               " input registers:" + std::to_string(inputRegisters) +
                                               " holding registers:" + std::to_string(holdingRegisters) + " ");
}

TEST_F(ModbusClientTest, SingleReadsAndWritesReachTheStore) {
  setRaw(handleOf("vxi_firingratio"), 4321);
  setRaw(handleOf("vxi_alwrtcreinitw"), 1);
  synchronise();
  EXPECT_EQ(client({"-rr", "19"}).output, "register 19 = 4321\n");
  EXPECT_EQ(client({"-rb", "0xd"}).output, "discrete input 13 = 1\ncoil 13 = 1\n");

  const ProgramResult written = inspect({"-m", "-wr", "1041", "3", server(), "-V"});
  EXPECT_EQ(written.output, "func:6 adr:1041  val:3\nip: 127.0.0.1 port: " + std::to_string(port_) +
                                "\nwriting 3 to 1041\n");
  EXPECT_EQ(client({"-wb", "16384", "1"}).output, "writing bit 1 to 16384 rc=1\n");
  synchronise();
  EXPECT_EQ(valueOf(handleOf("vxo_mode")), 3);
  EXPECT_EQ(valueOf(handleOf("vxo_tron")), 1);
  EXPECT_EQ(client({"-rb", "16384"}).output, "coil 16384 = 1\n");

  // Outside the server's tables the server answers with an exception.
  const ProgramResult refused = client({"-rr", "0x7000"});
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.output.rfind("ERROR: reading register ", 0), 0u) << refused.output;
}

TEST_F(ModbusClientTest, FixedExerciseTogglesAndRestores) {
  synchronise();
  const std::vector<std::string> lines = linesOf(inspect({"-m", server()}).output);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "read bit 16388 = 0");
  EXPECT_EQ(lines[1], "writing bit 1 to 16388 rc=1");
  EXPECT_EQ(lines[2], "read back bit 1");
  EXPECT_EQ(lines[3], "writing bit 0 to 16388 rc=1");
  EXPECT_EQ(lines[4], "writing register 1234 to 20");
  EXPECT_EQ(lines[5], "read back register 1234");
}

TEST_F(ModbusClientTest, NoServerAndNoConnection) {
  EXPECT_EQ(inspect({"-m", "-i"}).output, "attached modbus addresses:" + std::to_string(dbGetModbusNoOfIndex()) + "\n");
  server_.reset();
  const ProgramResult refused = client({"-rr", "19"});
  EXPECT_EQ(refused.output, "ERROR: Connection failed\n");
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(inspect({"-m", "-wr", "1041"}).output, "missing argument, -m -wr requires more arguments\n");
  EXPECT_EQ(inspect({"-m", "-rr", "0x1g"}).output, "argument not a number 0x1g\n");
  EXPECT_EQ(inspect({"-m", "-rr", "19", "127.0.0.1:99999"}).output, "not a server address 127.0.0.1:99999\n");
}

}  // namespace
}  // namespace orvix::testing
