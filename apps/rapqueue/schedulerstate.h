// What rapqueue's threads share: the connection status and the last queue read of each
// scheduler (written by the client loop, read by the answer thread), and the clock
// request (set by the queue server, taken by the client loop).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "queue.h"

namespace rapqueue {

constexpr int kSchedulers = 2;

// Printed under these names.
enum class ConnectStatus : uint8_t { newConnection = 0, connected = 1, failed = 2, disconnect = 3, none = 4 };
const char* statusName(ConnectStatus status);

using QueueWords = std::array<uint16_t, kQueueLength>;

struct SchedulerView {
  ConnectStatus status = ConnectStatus::none;
  QueueWords queue{};  // the last queue read from this scheduler
};

class SchedulerState {
 public:
  void setStatus(int scheduler, ConnectStatus status);
  void setQueue(int scheduler, const QueueWords& queue);
  // A consistent copy: a queue is never seen half copied.
  std::array<SchedulerView, kSchedulers> snapshot() const;

  void requestClockSync() { syncClock_.store(true); }
  // True once per request.
  bool takeClockSync() { return syncClock_.exchange(false); }

 private:
  mutable std::mutex mutex_;
  std::array<SchedulerView, kSchedulers> views_{};
  std::atomic<bool> syncClock_{false};
};

}  // namespace rapqueue
