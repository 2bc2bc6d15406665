#include "queueserver.h"

#include "schedulertimer/rappingtags.h"
#include "sharedmem/tagaccess.h"

namespace rapqueue {

namespace {
void setTag(int handle, int value) {
  int error = 0;
  dbSetValueByHandle(handle, value, &error);
}
}  // namespace

QueueServer::QueueServer(SchedulerState& shared)
    : shared_(shared), lastTick_(dbReadValueByHandle(rapping::internal::kSecondsOfDay)) {
  QueueWords published{};
  for (int index = 0; index < kQueueLength; ++index) {
    published[static_cast<size_t>(index)] =
        static_cast<uint16_t>(dbReadValueByHandle(rapping::tag::vxi_schedulerqueuepos00 + index));
  }
  queue_.restore(published);
}

void QueueServer::poll() {
  int request = 0;
  int error   = 0;
  // Taken and cleared in one step: a request the register server writes meanwhile stays.
  if (dbTakeValueByHandle(rapping::tag::vxo_schedincomingrequest, &request, &error) && request != 0) {
    takeRequest(request);
  }
  const int tick = dbReadValueByHandle(rapping::internal::kSecondsOfDay);
  if (tick != lastTick_) {
    lastTick_ = tick;
    queue_.countQueue();
    publish();
  }
}

void QueueServer::takeRequest(int request) {
  if (queue_.addToQueue(static_cast<uint16_t>(request)) == kClockRequested) shared_.requestClockSync();
  publish();
  using namespace rapping::tag;
  setTag(vxi_lastincomingrequesttime2, dbReadValueByHandle(vxi_lastincomingrequesttime1));
  setTag(vxi_lastincomingrequesttime1, dbReadValueByHandle(vxo_time));
  setTag(vxi_lastincomingrequest2, dbReadValueByHandle(vxi_lastincomingrequest1));
  setTag(vxi_lastincomingrequest1, request);
}

void QueueServer::publish() const {
  for (int index = 0; index < kQueueLength; ++index) {
    setTag(rapping::tag::vxi_schedulerqueuepos00 + index, rapping::packMessage(queue_.entries()[static_cast<size_t>(index)]));
  }
}

}  // namespace rapqueue
