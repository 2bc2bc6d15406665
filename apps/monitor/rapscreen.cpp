#include "rapscreen.h"

#include <algorithm>
#include <numeric>

#include "pacing.h"
#include "sharedmem/tagaccess.h"
#include "terminal.h"

namespace monitor {

namespace {

constexpr int kRefreshMs         = 1000;
constexpr int kFieldLetterOffset = 64;  // field 1 prints as 'A'

int queueLength(const RapQueue& queue) {
  int length = 0;
  while (length < kQueueSlots && queue[static_cast<size_t>(length)].time != 0) ++length;
  return length;
}

int percent(int part, int whole) { return whole ? part * 100 / whole : 0; }

}  // namespace

QueueEntry unpackQueueEntry(uint16_t word) { return QueueEntry{word & 0xFF, (word >> 8) & 0xF, (word >> 12) & 0xF}; }

void RapQueueStats::sample(const RapQueue& queue) {
  queue_           = queue;
  const int length = queueLength(queue);
  // A changed length means an entry came or went: the newest entry waits for those ahead.
  if (lengthSeen_ && length != length_ && length > 0) {
    int wait = 0;
    for (int i = 0; i + 1 < length; ++i) wait += queue[static_cast<size_t>(i)].time;
    waits_[static_cast<size_t>(waitCount_ % kAveragedSamples)] = wait;
    ++waitCount_;
    longestWait_ = std::max(longestWait_, wait);
  }
  lengthSeen_ = true;
  length_     = length;
  if (length > 0) {
    const QueueEntry& head = queue[0];
    ++headSamples_;
    if (head.field >= 1 && head.field <= static_cast<int>(fieldSamples_.size()))
      ++fieldSamples_[static_cast<size_t>(head.field - 1)];
    if (head.cell >= 1 && head.cell <= static_cast<int>(cellSamples_.size()))
      ++cellSamples_[static_cast<size_t>(head.cell - 1)];
  }
}

void RapQueueStats::print(std::FILE* out) const {
  const int held    = std::min(waitCount_, kAveragedSamples);
  const int waitSum = std::accumulate(waits_.begin(), waits_.begin() + held, 0);
  int queueTime     = 0;
  for (int i = 0; i < length_; ++i) queueTime += queue_[static_cast<size_t>(i)].time;
  std::fprintf(out, "Average Waiting Time:%d\n", held ? waitSum / held : 0);
  std::fprintf(out, "Longest Waiting Time:%d\n", longestWait_);
  std::fprintf(out, "Queue Length:%d \n", length_);
  if (length_ > 0) {
    std::fprintf(out, "Rapping Now:%c%d\n", queue_[0].field + kFieldLetterOffset, queue_[0].cell);
  } else {
    // The line ends here too, so that the next line does not run on after it.
    std::fputs("Rapping Now:None\n", out);
  }
  std::fprintf(out, "Total Queue Time:%d \n", queueTime);
  std::fputs("Distribution ", out);
  if (headSamples_ <= kDistributionMinimum) return;
  std::fputc('\n', out);
  for (size_t field = 0; field < fieldSamples_.size(); ++field) {
    // Field G is listed for the layout; a unit has at most six fields.
    const int share = field < 6 ? percent(fieldSamples_[field], headSamples_) : 0;
    std::fprintf(out, "%c fields:%d %% \n", static_cast<char>('A' + field), share);
  }
  for (size_t cell = 0; cell < cellSamples_.size(); ++cell) {
    const int share = cell < 4 ? percent(cellSamples_[cell], headSamples_) : 0;
    std::fprintf(out, "Path %zu:%d %% \n", cell + 1, share);
  }
}

RapQueue readQueueFromStore() {
  RapQueue queue{};
  char name[] = "vxi_schedulerqueuepos00";
  for (int i = 0; i < kQueueSlots; ++i) {
    name[sizeof name - 3]         = static_cast<char>('0' + i / 10);
    name[sizeof name - 2]         = static_cast<char>('0' + i % 10);
    queue[static_cast<size_t>(i)] = unpackQueueEntry(static_cast<uint16_t>(getValueByTagname(name)));
  }
  return queue;
}

int runRapScreen(std::FILE* out) {
  RapQueueStats stats;
  do {
    stats.sample(readQueueFromStore());
    beginRedraw(out);
    stats.print(out);
    std::fflush(out);
  } while (!waitOrStop(kRefreshMs));
  return 0;
}

}  // namespace monitor
