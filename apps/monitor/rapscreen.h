// The rapping queue screen: waiting times of the queue and which field and cell rap most.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

namespace monitor {

struct QueueEntry {
  int time  = 0;  // seconds of rapping; 0 ends the queue
  int field = 0;  // 1 = field A
  int cell  = 0;  // path number
};

inline constexpr int kQueueSlots = 20;
using RapQueue                   = std::array<QueueEntry, kQueueSlots>;

// Unpacks one queue word: time in bits 0-7, field in 8-11, cell in 12-15.
QueueEntry unpackQueueEntry(uint16_t word);

class RapQueueStats {
 public:
  static constexpr int kAveragedSamples     = 12;  // waiting times in the running average
  static constexpr int kDistributionMinimum = 50;

  // One look at the queue (once a second).
  void sample(const RapQueue& queue);
  void print(std::FILE* out) const;

 private:
  RapQueue queue_{};
  int length_      = 0;
  bool lengthSeen_ = false;
  std::array<int, kAveragedSamples> waits_{};  // the latest waiting times, seconds
  int waitCount_   = 0;                        // samples taken, all time
  int longestWait_ = 0;
  int headSamples_ = 0;                // looks with a field rapping
  std::array<int, 7> fieldSamples_{};  // A..G
  std::array<int, 5> cellSamples_{};   // paths 1..5
};

// Reads the queue from its tags.
RapQueue readQueueFromStore();

int runRapScreen(std::FILE* out);

}  // namespace monitor
