// The answer for this unit's rapping client (thread queueClientHandler, once a second):
// how long until its slot begins, or how long its running slot still lasts, from the
// queues last read from the schedulers.
#pragma once

#include <array>

#include "schedulerstate.h"

namespace rapqueue {

// 0 = in no queue read; > 0 = seconds to wait; < 0 = the slot runs and ends in that many
// seconds. Only connected schedulers count.
int answerFor(const std::array<SchedulerView, kSchedulers>& schedulers, const rapping::QueueMessage& self);

// One pass: the answer from the shared state, written to the answer tag.
void publishAnswer(const SchedulerState& shared);

}  // namespace rapqueue
