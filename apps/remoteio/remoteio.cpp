#include "remoteio.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>

#include "remoteiotags.h"
#include "sharedmem/tagaccess.h"

namespace remoteio {
namespace {

using std::chrono::milliseconds;

constexpr uint32_t kBroadcastAddress = 0xFFFFFFFF;
constexpr int kSingleBitSelector     = 16;     // bit setting that selects single-bit access
constexpr int kCoilOffset            = 10000;  // single-bit inputs above this are coils
constexpr unsigned kListEveryPasses  = 41;
constexpr milliseconds kConnectPause{5};
constexpr milliseconds kRegisterInputPause{50};
constexpr milliseconds kBitInputPause{100};
constexpr milliseconds kOutputPause{5};

// Passes to wait before the next attempt, by the failures counted so far.
uint8_t retryPasses(int failuresSoFar) {
  if (failuresSoFar == 0) return 5;
  if (failuresSoFar <= 4) return 15;
  return 60;
}

const char* statusName(ConnectionStatus status) {
  switch (status) {
    case ConnectionStatus::newConnection:
      return "NEWCONNECTION";
    case ConnectionStatus::connected:
      return "CONNECTED";
    case ConnectionStatus::failed:
      return "FAILED";
    case ConnectionStatus::none:
      break;
  }
  return "NONE";
}

int handleOf(const Point& point, int inputRun, int outputRun) {
  return (point.isOutput ? outputRun : inputRun) + point.number - 1;
}

bool servesDevice(uint32_t ip) { return ip != 0 && ip != kBroadcastAddress; }

}  // namespace

RemoteIo::RemoteIo(int port) : port_(port) {
  for (int i = 0; i < kPoints; ++i) {
    Point& point   = points_[i];
    point.isOutput = i >= kInputs;
    point.number   = point.isOutput ? i - kInputs + 1 : i + 1;
    if (!point.isOutput) point.result = dbReadValueByHandle(tag::kInputValue + i) != 0;
  }
}

bool RemoteIo::runPass() {
  refreshConfiguration();
  for (int k = 0; k < kConnections; ++k) {
    if (servesDevice(connections_[k].ip)) serve(k);
  }
  writeInputResults();
  ++passes_;
  return inUse_ > 0;
}

void RemoteIo::refreshConfiguration() {
  inUse_ = 0;
  for (Point& point : points_) {
    const auto type = static_cast<PointType>(dbReadValueByHandle(handleOf(point, tag::kInputType, tag::kOutputType)));
    if (type == PointType::unused) {
      point.type       = type;
      point.connection = -1;
      setHealth(point, kHealthUnused);
      continue;
    }
    ++inUse_;
    point.ip = static_cast<uint32_t>(dbReadValueByHandle(handleOf(point, tag::kInputIp, tag::kOutputIp)));
    point.address =
        static_cast<uint16_t>(dbReadValueByHandle(handleOf(point, tag::kInputAddress, tag::kOutputAddress)));
    const int bit = dbReadValueByHandle(handleOf(point, tag::kInputRegisterBit, tag::kOutputRegisterBit));
    // Bit 16 (the default) means the address is a single bit, whatever the type says.
    point.bit  = static_cast<uint8_t>(bit >= 0 && bit < kSingleBitSelector ? bit : kSingleBitSelector);
    point.type = point.bit < kSingleBitSelector ? PointType::registerBit : PointType::singleBit;
    if (point.isOutput) {
      point.outputStatus = dbReadValueByHandle(tag::kGroupOutput + (point.number - 1) * tag::kGroupOutputStep) != 0;
    }
    if (point.connection >= 0 && connections_[point.connection].ip != point.ip) point.connection = -1;
  }
  // Free first, so that a point moving to a new device can take the connection it left
  // even when all eleven are taken.
  freeUnusedConnections();
  for (Point& point : points_) {
    if (point.type == PointType::unused) continue;
    if (point.connection < 0) point.connection = addToSocket(point.ip);
    if (point.connection < 0) setHealth(point, kHealthFailed);
  }
  if (inUse_ > 0 && passes_ % kListEveryPasses == 0) printConnectionList();
}

int RemoteIo::addToSocket(uint32_t ip) {
  if (!servesDevice(ip)) return -1;
  int firstFree = -1;
  for (int k = 0; k < kConnections; ++k) {
    if (connections_[k].ip == ip) return k;
    if (connections_[k].ip == 0 && firstFree < 0) firstFree = k;
  }
  if (firstFree < 0) return -1;
  Connection& connection      = connections_[firstFree];
  connection.ip               = ip;
  connection.status           = ConnectionStatus::newConnection;
  connection.retryTimer       = 0;
  connection.connectionErrors = 0;
  return firstFree;
}

void RemoteIo::freeUnusedConnections() {
  std::array<bool, kConnections> used{};
  for (const Point& point : points_) {
    if (point.connection >= 0) used[point.connection] = true;
  }
  for (int k = 0; k < kConnections; ++k) {
    if (used[k] || connections_[k].ip == 0) continue;
    connections_[k] = Connection{};
  }
}

void RemoteIo::printConnectionList() const {
  for (int k = 0; k < kConnections; ++k) {
    const Connection& connection = connections_[k];
    if (connection.ip == 0) continue;
    std::printf("sock:%d ip %s %s ", k, dottedAddress(connection.ip).text, statusName(connection.status));
    for (const Point& point : points_) {
      if (point.connection == k) std::printf(point.isOutput ? "VO%d," : "VI%d,", point.number);
    }
    std::printf("\n");
  }
}

void RemoteIo::serve(int index) {
  Connection& connection = connections_[index];
  if (connection.status == ConnectionStatus::failed) {
    setMembersHealth(index, kHealthFailed);
    if (connection.retryTimer > 0) --connection.retryTimer;
    if (connection.retryTimer == 0) connection.status = ConnectionStatus::newConnection;
  }
  if (connection.status == ConnectionStatus::newConnection) connect(index);
  if (connection.status == ConnectionStatus::connected) serveMembers(index);
}

void RemoteIo::connect(int index) {
  Connection& connection = connections_[index];
  std::printf("%s\n", dottedAddress(connection.ip).text);
  connection.device.reset();
  connection.device = std::make_unique<ModbusDevice>(connection.ip, port_);
  std::this_thread::sleep_for(kConnectPause);
  if (!connection.device->connect()) {
    markFailed(index);
    std::this_thread::sleep_for(kConnectPause);
    return;
  }
  connection.status           = ConnectionStatus::connected;
  connection.connectionErrors = 0;
  setMembersHealth(index, kHealthConnected);
  std::this_thread::sleep_for(kConnectPause);
}

void RemoteIo::serveMembers(int index) {
  ModbusDevice& device = *connections_[index].device;
  // Holding registers read in this pass, so that inputs on bits of one register cost one read.
  std::array<std::pair<uint16_t, uint16_t>, kInputs> registersRead{};
  int registersCached = 0;
  for (Point& point : points_) {
    if (point.connection != index) continue;
    bool done = false;
    if (point.isOutput) {
      done = serveOutput(point, device);
      std::this_thread::sleep_for(kOutputPause);
    } else if (point.type == PointType::registerBit) {
      std::this_thread::sleep_for(kRegisterInputPause);
      std::optional<uint16_t> value;
      for (int i = 0; i < registersCached; ++i) {
        if (registersRead[i].first == point.address) value = registersRead[i].second;
      }
      if (!value) {
        value = device.readHoldingRegister(point.address);
        if (value) registersRead[registersCached++] = {point.address, *value};
      }
      if (value) point.result = (*value >> point.bit) & 1u;
      done = value.has_value();
    } else {
      std::this_thread::sleep_for(kBitInputPause);
      done = serveInput(point, device);
    }
    if (!done) {
      markFailed(index);
      return;
    }
    setHealth(point, kHealthConnected);
  }
}

bool RemoteIo::serveInput(Point& input, ModbusDevice& device) {
  const std::optional<bool> bit = input.address <= kCoilOffset ? device.readDiscreteInput(input.address)
                                                               : device.readCoil(input.address - kCoilOffset);
  if (bit) input.result = *bit;
  return bit.has_value();
}

bool RemoteIo::serveOutput(const Point& output, ModbusDevice& device) {
  if (output.type == PointType::singleBit) return device.writeCoil(output.address, output.outputStatus);
  const std::optional<uint16_t> value = device.readHoldingRegister(output.address);
  if (!value) return false;
  const auto mask = static_cast<uint16_t>(1u << output.bit);
  return device.writeRegister(output.address,
                              static_cast<uint16_t>(output.outputStatus ? *value | mask : *value & ~mask));
}

// Any failed exchange ends the connection; it is tried again after the same waits as a
// failed connection attempt.
void RemoteIo::markFailed(int index) {
  Connection& connection = connections_[index];
  connection.status      = ConnectionStatus::failed;
  connection.retryTimer  = retryPasses(connection.connectionErrors);
  ++connection.connectionErrors;
  connection.device.reset();
  setMembersHealth(index, kHealthFailed);
}

void RemoteIo::setHealth(const Point& point, Health health) const {
  int error = 0;
  dbSetValueByHandle(handleOf(point, tag::kInputHealth, tag::kOutputHealth), health, &error);
}

void RemoteIo::setMembersHealth(int index, Health health) const {
  for (const Point& point : points_) {
    if (point.connection == index) setHealth(point, health);
  }
}

void RemoteIo::writeInputResults() const {
  for (int i = 0; i < kInputs; ++i) {
    if (points_[i].type == PointType::unused) continue;
    int error = 0;
    dbSetValueByHandle(tag::kInputValue + i, points_[i].result ? 1 : 0, &error);
  }
}

}  // namespace remoteio
