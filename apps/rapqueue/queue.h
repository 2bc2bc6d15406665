// This unit's rapping queue as a scheduler: up to 19 slots asked for by units, packed from
// index 0; index 0 is the slot being served and its time counts down once a second.
#pragma once

#include <array>
#include <cstdint>

#include "schedulertimer/rappingword.h"

namespace rapqueue {

constexpr int kQueueLength = 20;  // entries; the last one is never filled

// Words written to the request register that are commands rather than slot requests.
constexpr uint16_t kClearQueue   = 0xFFFF;
constexpr uint16_t kEndHeadSlot  = 0xFFFE;
constexpr uint16_t kClockRequest = 0xFFFD;

// Results of addToQueue besides the 1-based position of a new entry.
enum AddResult : int {
  kCleared      = -3,
  kHeadShortened = -4,
  kClockRequested = -5,
  kAlreadyQueued = -1,
  kQueueFull     = -2,
};

class RapQueue {
 public:
  using Entries = std::array<rapping::QueueMessage, kQueueLength>;

  // A request word or a command; see AddResult. A clock request is only reported.
  int addToQueue(uint16_t request);
  // One second of queue time: the head counts down and leaves at 0. Returns the total
  // queued time before the count, minus 1.
  int countQueue();

  const Entries& entries() const { return entries_; }
  // Takes entries as published earlier, so that a restarted daemon keeps its queue.
  void restore(const std::array<uint16_t, kQueueLength>& words);

 private:
  int queuedTime() const;
  Entries entries_{};
};

}  // namespace rapqueue
