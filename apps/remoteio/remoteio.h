// remoteio's passes: six virtual inputs read from bits of remote Modbus TCP devices into
// tags, five virtual outputs copying the I/O group outputs onto remote bits, over at most
// eleven connections, one per distinct device address.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "modbusdevice.h"

namespace remoteio {

constexpr int kInputs      = 6;
constexpr int kOutputs     = 5;
constexpr int kPoints      = kInputs + kOutputs;
constexpr int kConnections = 11;
constexpr int kModbusPort  = 502;

enum class PointType : uint16_t { unused = 0, singleBit = 1, registerBit = 2 };

// Printed under these names in the connection list.
enum class ConnectionStatus : uint8_t { newConnection = 0, connected = 1, failed = 2, none = 4 };

enum Health : int { kHealthUnused = 0, kHealthConnected = 1, kHealthFailed = 2 };

struct Point {
  bool isOutput     = false;
  int number        = 0;  // 1-based within the inputs or the outputs
  PointType type    = PointType::unused;
  uint32_t ip       = 0;  // network byte order, see dottedAddress
  uint16_t address  = 0;  // Modbus address; single-bit inputs above 10000 are coils
  uint8_t bit       = 0;  // register bit 0..15; 16 selects single-bit access
  bool outputStatus = false;
  bool result       = false;
  int connection    = -1;  // index into the connections, -1 = none
};

struct Connection {
  uint32_t ip             = 0;  // 0 = free
  ConnectionStatus status = ConnectionStatus::none;
  uint8_t retryTimer      = 0;  // passes until the next connection attempt
  int connectionErrors    = 0;  // failed attempts since the last good connection
  std::unique_ptr<ModbusDevice> device;
};

class RemoteIo {
 public:
  // Takes the input values already in the store, so that a restart changes no tag.
  explicit RemoteIo(int port = kModbusPort);

  // One pass: configuration refresh, every connection, input results. Returns whether any
  // input or output is in use.
  bool runPass();

  const Connection& connection(int index) const { return connections_[index]; }

 private:
  void refreshConfiguration();
  int addToSocket(uint32_t ip);
  void freeUnusedConnections();
  void printConnectionList() const;
  void serve(int index);
  void connect(int index);
  void serveMembers(int index);
  bool serveInput(Point& input, ModbusDevice& device);
  bool serveOutput(const Point& output, ModbusDevice& device);
  void markFailed(int index);
  void setHealth(const Point& point, Health health) const;
  void setMembersHealth(int index, Health health) const;
  void writeInputResults() const;

  int port_;
  std::array<Point, kPoints> points_{};
  std::array<Connection, kConnections> connections_{};
  int inUse_       = 0;
  unsigned passes_ = 0;
};

}  // namespace remoteio
