// The queue server's pass (thread queueServerHandler, every 10 ms): takes a request
// written to vxo_schedincomingrequest into the queue, keeps the request history, counts
// the head slot down on each new second of the unit's clock and publishes the queue.
#pragma once

#include "queue.h"
#include "schedulerstate.h"

namespace rapqueue {

class QueueServer {
 public:
  // Starts from the queue as published, so that a restart changes no queue tag.
  explicit QueueServer(SchedulerState& shared);

  void poll();
  const RapQueue& queue() const { return queue_; }

 private:
  void takeRequest(int request);
  void publish() const;  // setQueueToShm

  SchedulerState& shared_;
  RapQueue queue_;
  int lastTick_;  // seconds of the day at the last count
};

}  // namespace rapqueue
