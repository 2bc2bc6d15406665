#include "schedulerstate.h"

namespace rapqueue {

const char* statusName(ConnectStatus status) {
  switch (status) {
    case ConnectStatus::newConnection: return "NEWCONNECTION";
    case ConnectStatus::connected: return "CONNECTED";
    case ConnectStatus::failed: return "FAILED";
    case ConnectStatus::disconnect: return "DISCONNECT";
    case ConnectStatus::none: return "NONE";
  }
  return "NONE";
}

void SchedulerState::setStatus(int scheduler, ConnectStatus status) {
  const std::lock_guard lock(mutex_);
  views_[static_cast<size_t>(scheduler)].status = status;
}

void SchedulerState::setQueue(int scheduler, const QueueWords& queue) {
  const std::lock_guard lock(mutex_);
  views_[static_cast<size_t>(scheduler)].queue = queue;
}

std::array<SchedulerView, kSchedulers> SchedulerState::snapshot() const {
  const std::lock_guard lock(mutex_);
  return views_;
}

}  // namespace rapqueue
