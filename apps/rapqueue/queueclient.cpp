#include "queueclient.h"

#include <cstdio>
#include <cstring>

#include "schedulertimer/rappingtags.h"
#include "sharedmem/tagaccess.h"
#include "stop.h"

namespace rapqueue {

namespace {

constexpr int kFailedPauseMs    = 500;
constexpr int kAfterFreeMs      = 50;
constexpr int kBeforeConnectMs  = 5;
constexpr int kAfterFailureMs   = 50;
constexpr int kAfterConnectMs   = 5;
constexpr int kFastPollMs       = 250;
constexpr int kRequestWaitMs    = 500;
constexpr int kRequestWaits     = 10;
constexpr int kFastPolls        = 40;  // exchanges at the fast pace after a sent request
constexpr int kBetweenSchedulersMs = 1;
constexpr int kBusyPassPauseMs  = 5;
constexpr int kIdlePassPauseMs  = 1000;

// Passes through the failed state before the next attempt, by the number of failures.
uint8_t retryPasses(int failures) {
  if (failures <= 1) return 1;
  if (failures <= 10) return 5;
  return 20;
}

int addressTag(int k) { return k == 0 ? rapping::tag::vxo_rappingsched1ip : rapping::tag::vxo_rappingsched2ip; }

}  // namespace

QueueClient::QueueClient(SchedulerState& shared, int port) : shared_(shared), port_(port) {}

void QueueClient::pass() {
  bool anyAddress = false;
  for (int k = 0; k < kSchedulers && !stopRequested(); ++k) {
    serve(k);
    anyAddress = anyAddress || servers_[static_cast<size_t>(k)].ip != 0;
    pause(kBetweenSchedulersMs);
  }
  pause(anyAddress ? kBusyPassPauseMs : kIdlePassPauseMs);
}

void QueueClient::close() {
  for (ServerConnection& server : servers_) server.link.reset();
}

void QueueClient::refreshAddress(int k) {
  ServerConnection& server = servers_[static_cast<size_t>(k)];
  server.ip                = static_cast<uint32_t>(dbReadValueByHandle(addressTag(k)));
  if (server.ip != server.oldIp) {
    server.oldIp = server.ip;
    setStatus(k, ConnectStatus::newConnection);
    server.lastAsk = -1;
  } else if (server.status != ConnectStatus::connected) {
    server.lastAsk = -1;
  }
}

void QueueClient::serve(int k) {
  refreshAddress(k);
  ServerConnection& server = servers_[static_cast<size_t>(k)];
  if (server.ip == 0) {
    // No scheduler here any more: its old queue must not count.
    server.link.reset();
    setHealth(k, Health::none);
    return;
  }
  switch (server.status) {
    case ConnectStatus::failed:
      setHealth(k, Health::failed);
      if (server.retryTimer > 0) --server.retryTimer;
      if (server.retryTimer == 0) setStatus(k, ConnectStatus::newConnection);
      pause(kFailedPauseMs);
      break;
    case ConnectStatus::newConnection:
      if (connect(k)) {
        fastPoll_ = 1;
        exchange(k);
      }
      break;
    case ConnectStatus::connected:
      exchange(k);
      break;
    case ConnectStatus::disconnect:
    case ConnectStatus::none:
      break;
  }
}

bool QueueClient::connect(int k) {
  ServerConnection& server          = servers_[static_cast<size_t>(k)];
  const DottedAddress address       = dottedAddress(server.ip);
  std::printf("set ip:%s\n", address.text);
  std::printf("new connection to %x %s \n", server.ip, address.text);
  if (server.link) {
    std::printf("Modbus free ");
    server.link.reset();
    pause(kAfterFreeMs);
  }
  server.link      = std::make_unique<SchedulerLink>(server.ip, port_);
  server.firstTime = 0;
  std::printf("trying");
  pause(kBeforeConnectMs);
  if (!server.link->connect()) {
    std::printf("Fetching Input ERROR: Connection failed %s\n", modbus_strerror(errno));
    setStatus(k, ConnectStatus::failed);
    setHealth(k, Health::failed);
    pause(kAfterFailureMs);
    if (server.connectionErrorCnt < UINT8_MAX) ++server.connectionErrorCnt;
    server.retryTimer = retryPasses(server.connectionErrorCnt);
    return false;
  }
  setStatus(k, ConnectStatus::connected);
  server.connectionErrorCnt = 0;
  setHealth(k, Health::connected);
  std::printf("ctx %d connected \n", k);
  pause(kAfterConnectMs);
  return true;
}

void QueueClient::exchange(int k) {
  if (fastPoll_ > 0) {
    --fastPoll_;
    pause(kFastPollMs);
  } else {
    for (int wait = 0; wait < kRequestWaits && dbReadValueByHandle(rapping::internal::kRequest) == 0; ++wait) {
      if (stopRequested()) return;
      pause(kRequestWaitMs);
    }
  }
  const int request = dbReadValueByHandle(rapping::internal::kRequest);
  if (request != 0) {
    forwardRequest(static_cast<uint16_t>(request));
    return;
  }
  if (shared_.takeClockSync()) sendClock();
  readQueue(k);
}

void QueueClient::forwardRequest(uint16_t request) {
  for (int k = 0; k < kSchedulers; ++k) {
    ServerConnection& server = servers_[static_cast<size_t>(k)];
    if (server.status != ConnectStatus::connected) continue;
    if (!server.link->writeRegister(kRequestRegister, request)) {
      std::printf("connection failed server %d, try again.. \n", k);
      setStatus(k, ConnectStatus::newConnection);
    }
  }
  fastPoll_ = kFastPolls;
  int error = 0;
  dbSetValueByHandle(rapping::internal::kRequest, 0, &error);
}

void QueueClient::sendClock() {
  const auto time = static_cast<uint32_t>(dbReadValueByHandle(rapping::tag::vxo_time));
  for (ServerConnection& server : servers_) {
    if (server.status != ConnectStatus::connected) continue;
    server.link->writeRegister(kClockHighRegister, static_cast<uint16_t>(time >> 16));
    server.link->writeRegister(kClockLowRegister, static_cast<uint16_t>(time & 0xFFFF));
  }
}

void QueueClient::readQueue(int k) {
  QueueWords queue{};
  if (!servers_[static_cast<size_t>(k)].link->readRegisters(kQueueRegister, kQueueLength, queue.data())) {
    std::printf("connection failed server %d, try again.. \n", k);
    setStatus(k, ConnectStatus::newConnection);
    return;
  }
  setHealth(k, Health::connected);
  shared_.setQueue(k, queue);
}

void QueueClient::setStatus(int k, ConnectStatus status) {
  servers_[static_cast<size_t>(k)].status = status;
  shared_.setStatus(k, status);
}

void QueueClient::setHealth(int k, Health health) const {
  const auto low  = static_cast<unsigned char>(2 * k);
  const auto high = static_cast<unsigned char>(2 * k + 1);
  const int tag   = rapping::tag::vxo_schedulerconnectstatus;
  if (health == Health::none) {
    dbClearBitByHandle(tag, low);
  } else {
    dbSetBitByHandle(tag, low);
  }
  if (health == Health::connected) {
    dbSetBitByHandle(tag, high);
  } else {
    dbClearBitByHandle(tag, high);
  }
}

}  // namespace rapqueue
