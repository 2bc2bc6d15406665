// Request words and queue registers as they arrive from the network: any sequence of
// requests keeps the queue packed, below its last entry and free of duplicates, and any
// queue read from a scheduler gives an answer within the queue's time.
#include <cstddef>
#include <cstdint>

#include "answer.h"
#include "queue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t words = size / 2;
  rapqueue::RapQueue queue;
  std::array<rapqueue::SchedulerView, rapqueue::kSchedulers> views{};
  for (size_t i = 0; i < words; ++i) {
    const auto word = static_cast<uint16_t>(data[2 * i] | data[2 * i + 1] << 8);
    if (word & 1) {
      queue.countQueue();
    } else {
      queue.addToQueue(word);
    }
    views[i % 2].status                           = rapqueue::ConnectStatus::connected;
    views[i % 2].queue[(i / 2) % rapqueue::kQueueLength] = word;
  }
  const auto& entries = queue.entries();
  bool ended          = false;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].empty()) {
      ended = true;
      continue;
    }
    if (ended || i == entries.size() - 1) __builtin_trap();
    for (size_t j = 0; j < i; ++j) {
      if (entries[j].sameSlotOwner(entries[i])) __builtin_trap();
    }
  }
  const int answer = rapqueue::answerFor(views, rapping::QueueMessage{1, 2, 1});
  if (answer > 2 * rapqueue::kQueueLength * 255 || answer < -255) __builtin_trap();
  return 0;
}
