#include "queue.h"

#include <algorithm>

namespace rapqueue {

namespace {

// Seconds added to a short slot, so that a unit that starts late does not overlap the
// next one; a busy queue gets less, since its units wait longer anyway.
constexpr int kShortSlot        = 99;   // s, a slot up to this long gets a load margin
constexpr int kMediumSlot       = 199;  // s, up to this long gets kMediumMargin
constexpr int kIdleLoad         = 19;   // s queued: up to this, kIdleMargin
constexpr int kBusyLoad         = 100;  // s queued: from this on, no margin
constexpr int kIdleMargin       = 13;   // s
constexpr int kModerateMargin   = 8;    // s
constexpr int kMediumMargin     = 3;    // s

int slotWithMargin(int asked, int load) {
  int slot = asked;
  if (asked <= kShortSlot) {
    if (load <= kIdleLoad) {
      slot += kIdleMargin;
    } else if (load < kBusyLoad) {
      slot += kModerateMargin;
    }
  } else if (asked <= kMediumSlot) {
    slot += kMediumMargin;
  }
  return slot & 0xFF;
}

}  // namespace

int RapQueue::queuedTime() const {
  int total = 0;
  for (const rapping::QueueMessage& entry : entries_) {
    if (entry.empty()) break;
    total += entry.time;
  }
  return total;
}

int RapQueue::addToQueue(uint16_t request) {
  switch (request) {
    case kClearQueue:
      entries_.fill({});
      return kCleared;
    case kEndHeadSlot:
      // Only a running slot can end; an empty head stays empty.
      if (!entries_[0].empty()) entries_[0].time = 1;
      return kHeadShortened;
    case kClockRequest:
      return kClockRequested;
    default:
      break;
  }
  const rapping::QueueMessage asked = rapping::unpackMessage(request);
  for (size_t index = 0; index < entries_.size(); ++index) {
    rapping::QueueMessage& entry = entries_[index];
    if (!entry.empty()) {
      if (entry.sameSlotOwner(asked)) return kAlreadyQueued;
      continue;
    }
    if (index == entries_.size() - 1) return kQueueFull;
    const int load = queuedTime();
    entry          = asked;
    entry.time     = static_cast<uint8_t>(slotWithMargin(asked.time, load));
    return static_cast<int>(index) + 1;
  }
  return kQueueFull;
}

int RapQueue::countQueue() {
  const int total = queuedTime();
  if (!entries_[0].empty()) {
    --entries_[0].time;
    if (entries_[0].empty()) {
      std::move(entries_.begin() + 1, entries_.end(), entries_.begin());
      entries_.back() = {};
    }
  }
  return total - 1;
}

void RapQueue::restore(const std::array<uint16_t, kQueueLength>& words) {
  // Only the packed run from the head counts, as the queue keeps it.
  entries_.fill({});
  for (size_t index = 0; index + 1 < words.size(); ++index) {
    const rapping::QueueMessage entry = rapping::unpackMessage(words[index]);
    if (entry.empty()) break;
    entries_[index] = entry;
  }
}

}  // namespace rapqueue
