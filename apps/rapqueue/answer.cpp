#include "answer.h"

#include <algorithm>

#include "schedulertimer/rappingtags.h"
#include "sharedmem/tagaccess.h"

namespace rapqueue {

int answerFor(const std::array<SchedulerView, kSchedulers>& schedulers, const rapping::QueueMessage& self) {
  std::array<bool, kSchedulers> inQueue{};
  std::array<int, kSchedulers> wait{};  // s queued ahead of this unit
  bool found    = false;
  int remaining = 0;  // s left of this unit's running slot
  for (size_t k = 0; k < schedulers.size(); ++k) {
    if (schedulers[k].status != ConnectStatus::connected) continue;
    for (size_t index = 0; index < schedulers[k].queue.size(); ++index) {
      const rapping::QueueMessage entry = rapping::unpackMessage(schedulers[k].queue[index]);
      if (entry.empty()) continue;
      if (entry.sameSlotOwner(self)) {
        inQueue[k] = true;
        found      = true;
        if (index == 0) remaining = std::max(remaining, static_cast<int>(entry.time));
      } else if (!inQueue[k]) {
        wait[k] += entry.time;
      }
    }
  }
  int chosen = 0;
  if (inQueue[0] && wait[0] > 0) {
    chosen = inQueue[1] && wait[1] > wait[0] ? wait[1] : wait[0];
  } else if (inQueue[1] && wait[1] > 0) {
    chosen = wait[1];
  }
  if (!found) return 0;
  return chosen > 0 ? chosen : -remaining;
}

void publishAnswer(const SchedulerState& shared) {
  const rapping::QueueMessage self{1, static_cast<uint8_t>(rapping::fieldId() & 0xF),
                                   static_cast<uint8_t>(dbReadValueByHandle(rapping::tag::vxo_cellposition) & 0xF)};
  int error = 0;
  dbSetValueByHandle(rapping::internal::kAnswer, answerFor(shared.snapshot(), self), &error);
}

}  // namespace rapqueue
