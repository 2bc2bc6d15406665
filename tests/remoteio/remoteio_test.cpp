// remoteio against independent Modbus TCP devices (Debian's pymodbus, tests/remoteio/device.py)
// on loopback addresses: register bits and single bits, read-modify-write outputs, devices
// that go away and come back, points moving between devices.
#include "remoteio.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "free_port.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "remoteiotags.h"
#include "sharedmem/tagaccess.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// Written out octet by octet: the first octet is the value's least significant byte.
constexpr uint32_t tagAddress(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a | b << 8 | c << 16 | d << 24; }

TEST(RemoteIoTags, HandlesMatchNames) {
  orvix::testing::PrivateStore store;
  shmStructbZero();
  tagstore::buildTagStore();
  const auto expect = [](int handle, const char* format, int number) {
    char name[48];
    std::snprintf(name, sizeof name, format, number);
    int found = -1;
    int error = 0;
    EXPECT_TRUE(dbGetHandleByTagname(name, &found, &error)) << name;
    EXPECT_EQ(found, handle) << name;
  };
  using namespace remoteio::tag;
  for (int n = 1; n <= remoteio::kInputs; ++n) {
    expect(kInputValue + n - 1, "vxo_virtualinput%02d", n);
    expect(kInputType + n - 1, "vxo_virtualinput%02dtype", n);
    expect(kInputIp + n - 1, "vxo_virtualinput%02dip", n);
    expect(kInputAddress + n - 1, "vxo_virtualinput%02daddr", n);
    expect(kInputRegisterBit + n - 1, "vxo_virtualinput%02dregbit", n);
    expect(kInputHealth + n - 1, "vxi_vi%dhealth", n);
  }
  for (int n = 1; n <= remoteio::kOutputs; ++n) {
    expect(kOutputType + n - 1, "vxo_virtualoutput%02dtype", n);
    expect(kOutputIp + n - 1, "vxo_virtualoutput%02dip", n);
    expect(kOutputAddress + n - 1, "vxo_virtualoutput%02daddr", n);
    expect(kOutputRegisterBit + n - 1, "vxo_virtualoutput%02dregbit", n);
    expect(kOutputHealth + n - 1, "vxi_vo%dhealth", n);
    expect(kGroupOutput + (n - 1) * kGroupOutputStep, "vxi_iogr%doutp", n);
  }
}

// A pymodbus process serving devices on some loopback addresses; ended by process id.
class DeviceProcess {
 public:
  DeviceProcess(int port, const std::vector<std::string>& hosts) : port_(port), hosts_(hosts) { start(); }
  ~DeviceProcess() { stop(); }

  void start() {
    std::vector<std::string> words{"/usr/bin/python3", ORVIX_TEST_SOURCE_DIR "/tests/remoteio/device.py",
                                   std::to_string(port_)};
    words.insert(words.end(), hosts_.begin(), hosts_.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    ASSERT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    for (const std::string& host : hosts_) waitUntilServing(host);
  }

  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  void waitUntilServing(const std::string& host) {
    for (int attempt = 0; attempt < 200; ++attempt) {
      modbus_t* probe = modbus_new_tcp(host.c_str(), port_);
      const bool up   = modbus_connect(probe) == 0;
      modbus_free(probe);
      if (up) return;
      std::this_thread::sleep_for(50ms);
    }
    FAIL() << "no device at " << host << ":" << port_;
  }

  int port_;
  std::vector<std::string> hosts_;
  pid_t pid_ = -1;
};

// The test's own view of a device, over a connection of its own.
class Peer {
 public:
  Peer(const std::string& host, int port) : context_(modbus_new_tcp(host.c_str(), port)) {
    EXPECT_EQ(modbus_connect(context_), 0) << host;
  }
  ~Peer() {
    modbus_close(context_);
    modbus_free(context_);
  }
  uint16_t holding(int address) {
    uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(context_, address, 1, &value), 1);
    return value;
  }
  void setHolding(int address, uint16_t value) { EXPECT_EQ(modbus_write_register(context_, address, value), 1); }
  bool coil(int address) {
    uint8_t value = 0;
    EXPECT_EQ(modbus_read_bits(context_, address, 1, &value), 1);
    return value != 0;
  }
  void setCoil(int address, bool on) { EXPECT_EQ(modbus_write_bit(context_, address, on), 1); }
  // The device counts the reads of each holding register (its test's reads included).
  uint16_t readsOf(int address) {
    uint16_t value = 0;
    EXPECT_EQ(modbus_read_input_registers(context_, address, 1, &value), 1);
    return value;
  }

 private:
  modbus_t* context_;
};

void set(const char* format, int number, int value) {
  char name[48];
  std::snprintf(name, sizeof name, format, number);
  int error = 0;
  ASSERT_TRUE(dbSetValueByTagName(name, value, &error)) << name << " error " << error;
}

int get(const char* format, int number) {
  char name[48];
  std::snprintf(name, sizeof name, format, number);
  int value = 0;
  int error = 0;
  EXPECT_TRUE(dbGetValueByTagname(name, &value, &error)) << name;
  return value;
}

constexpr int kSingleBit = 16;

class RemoteIoDevices : public orvix::testing::StoreTest {
 protected:
  static constexpr int kDevices = 12;

  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    // Addresses of this process's own, so that concurrent runs do not meet.
    network_ = 20 + getpid() % 200;
    port_    = orvix::testing::freeLoopbackPort();
    std::vector<std::string> others;
    for (int d = 2; d <= kDevices; ++d) others.push_back(host(d));
    first_  = std::make_unique<DeviceProcess>(port_, std::vector<std::string>{host(1)});
    others_ = std::make_unique<DeviceProcess>(port_, others);
  }

  std::string host(int device) const { return "127." + std::to_string(network_) + ".0." + std::to_string(device); }
  uint32_t ip(int device) const { return tagAddress(127, network_, 0, device); }

  void input(int n, int device, int address, int bit) {
    set("vxo_virtualinput%02dtype", n, 1);
    set("vxo_virtualinput%02dip", n, static_cast<int>(ip(device)));
    set("vxo_virtualinput%02daddr", n, address);
    set("vxo_virtualinput%02dregbit", n, bit);
  }
  void output(int n, int device, int address, int bit, int state) {
    set("vxo_virtualoutput%02dtype", n, 1);
    set("vxo_virtualoutput%02dip", n, static_cast<int>(ip(device)));
    set("vxo_virtualoutput%02daddr", n, address);
    set("vxo_virtualoutput%02dregbit", n, bit);
    set("vxi_iogr%doutp", n, state);
  }

  int network_ = 0;
  int port_    = 0;
  std::unique_ptr<DeviceProcess> first_;
  std::unique_ptr<DeviceProcess> others_;
};

TEST_F(RemoteIoDevices, RegisterBitsOneReadPerRegisterAndOutputsKeepOtherBits) {
  Peer device(host(1), port_);
  device.setHolding(7, 0xA004);  // bits 2, 13 and 15
  device.setHolding(9, 0x8001);
  input(1, 1, 7, 2);
  input(2, 1, 7, 3);
  input(3, 1, 7, 15);
  output(1, 1, 9, 5, 1);
  const uint16_t readsBefore = device.readsOf(7);

  remoteio::RemoteIo remoteIo(port_);
  remoteIo.runPass();

  EXPECT_EQ(get("vxo_virtualinput%02d", 1), 1);
  EXPECT_EQ(get("vxo_virtualinput%02d", 2), 0);
  EXPECT_EQ(get("vxo_virtualinput%02d", 3), 1);
  EXPECT_EQ(device.readsOf(7) - readsBefore, 1) << "three inputs on one register, one read";
  EXPECT_EQ(device.holding(9), 0x8021);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(get("vxi_vi%dhealth", n), remoteio::kHealthConnected) << n;
  EXPECT_EQ(get("vxi_vo%dhealth", 1), remoteio::kHealthConnected);
  EXPECT_EQ(get("vxi_vi%dhealth", 4), remoteio::kHealthUnused);

  set("vxi_iogr%doutp", 1, 0);
  device.setHolding(9, 0xFFFF);
  remoteIo.runPass();
  EXPECT_EQ(device.holding(9), 0xFFDF);
}

TEST_F(RemoteIoDevices, SingleBitsAreDiscreteInputsUpTo10000AndCoilsAbove) {
  Peer device(host(2), port_);
  // The device's discrete inputs are on at odd addresses; its coils are set to differ.
  device.setCoil(0, true);
  device.setCoil(1, false);
  device.setCoil(5, true);
  input(1, 2, 3, kSingleBit);      // discrete input 3: on
  input(2, 2, 4, kSingleBit);      // discrete input 4: off
  input(3, 2, 10000, kSingleBit);  // discrete input 10000: off (coil 0 is on)
  input(4, 2, 10001, kSingleBit);  // coil 1: off (discrete input 10001 is on)
  input(5, 2, 10005, kSingleBit);  // coil 5: on
  output(2, 2, 6, kSingleBit, 1);
  for (int n = 1; n <= 5; ++n) set("vxo_virtualinput%02d", n, n == 1 || n == 5 ? 0 : 1);

  remoteio::RemoteIo remoteIo(port_);
  remoteIo.runPass();

  const int expected[] = {1, 0, 0, 0, 1};
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(get("vxo_virtualinput%02d", n), expected[n - 1]) << "input " << n;
    EXPECT_EQ(get("vxi_vi%dhealth", n), remoteio::kHealthConnected) << n;
  }
  EXPECT_TRUE(device.coil(6));
  EXPECT_EQ(get("vxi_vo%dhealth", 2), remoteio::kHealthConnected);
}

TEST_F(RemoteIoDevices, DeviceGoneKeepsValueFailsAndReconnectsAfter5Then15Passes) {
  Peer(host(1), port_).setHolding(3, 0x0010);
  input(1, 1, 3, 4);
  remoteio::RemoteIo remoteIo(port_);
  remoteIo.runPass();
  ASSERT_EQ(get("vxi_vi%dhealth", 1), remoteio::kHealthConnected);
  ASSERT_EQ(get("vxo_virtualinput%02d", 1), 1);

  first_->stop();
  remoteIo.runPass();
  EXPECT_EQ(get("vxi_vi%dhealth", 1), remoteio::kHealthFailed);
  EXPECT_EQ(get("vxo_virtualinput%02d", 1), 1) << "a failed read keeps the last value";
  remoteio::RemoteIo restarted(port_);
  restarted.runPass();
  EXPECT_EQ(get("vxo_virtualinput%02d", 1), 1) << "a restart changes no tag";
  // Five passes later the first attempt to reconnect fails too.
  for (int pass = 0; pass < 5; ++pass) remoteIo.runPass();
  EXPECT_EQ(remoteIo.connection(0).connectionErrors, 2);

  first_->start();  // a fresh device: its register 3 is 0
  int passes = 0;
  while (get("vxi_vi%dhealth", 1) != remoteio::kHealthConnected && passes < 30) {
    remoteIo.runPass();
    ++passes;
  }
  EXPECT_EQ(passes, 15);
  EXPECT_EQ(get("vxo_virtualinput%02d", 1), 0);
}

TEST_F(RemoteIoDevices, PointMovingToATwelfthDeviceTakesTheConnectionItLeft) {
  for (int n = 1; n <= remoteio::kInputs; ++n) {
    Peer(host(n), port_).setHolding(0, 1);
    input(n, n, 0, 0);
  }
  for (int n = 1; n <= remoteio::kOutputs; ++n) output(n, remoteio::kInputs + n, 0, kSingleBit, 1);
  remoteio::RemoteIo remoteIo(port_);
  remoteIo.runPass();
  for (int n = 1; n <= remoteio::kInputs; ++n) {
    EXPECT_EQ(get("vxi_vi%dhealth", n), remoteio::kHealthConnected) << n;
    EXPECT_EQ(get("vxo_virtualinput%02d", n), 1) << n;
  }
  for (int n = 1; n <= remoteio::kOutputs; ++n) {
    EXPECT_EQ(get("vxi_vo%dhealth", n), remoteio::kHealthConnected) << n;
    EXPECT_TRUE(Peer(host(remoteio::kInputs + n), port_).coil(0)) << n;
  }

  set("vxo_virtualinput%02dip", 1, static_cast<int>(ip(kDevices)));  // register 0 there is 0
  remoteIo.runPass();
  EXPECT_EQ(get("vxi_vi%dhealth", 1), remoteio::kHealthConnected);
  EXPECT_EQ(get("vxo_virtualinput%02d", 1), 0);
  for (int k = 0; k < remoteio::kConnections; ++k) EXPECT_NE(remoteIo.connection(k).ip, ip(1)) << k;
}

}  // namespace
