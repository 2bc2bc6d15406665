// The client loop (rapqueue's main thread): keeps a connection to each of up to two
// scheduler units, forwards this unit's request to them, reads their queues for the
// answer thread, and passes clock requests on.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "schedulerlink.h"
#include "schedulerstate.h"

namespace rapqueue {

constexpr int kModbusPort = 502;

// Registers of a scheduler unit.
constexpr int kRequestRegister   = 1421;  // vxo_schedincomingrequest
constexpr int kQueueRegister     = 320;   // vxi_schedulerqueuepos00 .. 19
constexpr int kClockHighRegister = 1109;  // vxo_time, high word
constexpr int kClockLowRegister  = 1110;

struct ServerConnection {
  uint32_t ip                = 0;  // network byte order
  uint32_t oldIp             = 0;
  uint8_t retryTimer         = 0;  // passes through the failed state until the next attempt
  ConnectStatus status       = ConnectStatus::none;
  uint8_t firstTime          = 1;  // 1 until a context has been created
  uint8_t connectionErrorCnt = 0;  // failed attempts since the last good connection
  int32_t lastAsk            = -1;
  std::unique_ptr<SchedulerLink> link;
};

class QueueClient {
 public:
  QueueClient(SchedulerState& shared, int port = kModbusPort);

  // Both schedulers in turn, then the pause between passes.
  void pass();
  // Closes and frees every context (on leaving).
  void close();

  const ServerConnection& connection(int scheduler) const { return servers_[static_cast<size_t>(scheduler)]; }

 private:
  enum class Health { none, failed, connected };

  void serve(int k);
  void refreshAddress(int k);
  bool connect(int k);
  void exchange(int k);
  void forwardRequest(uint16_t request);
  void sendClock();
  void readQueue(int k);
  void setStatus(int k, ConnectStatus status);
  void setHealth(int k, Health health) const;

  SchedulerState& shared_;
  int port_;
  int fastPoll_ = 0;  // exchanges left at the fast pace
  std::array<ServerConnection, kSchedulers> servers_;
};

}  // namespace rapqueue
