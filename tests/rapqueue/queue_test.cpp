// The queue a scheduler keeps: margins by load, refusals, the command words, the count
// down of the head slot, the answer a unit gets from one or two queues, and the server
// pass on a private store.
#include <gtest/gtest.h>

#include "answer.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "queue.h"
#include "queueserver.h"
#include "schedulertimer/rappingtags.h"
#include "sharedmem/tagaccess.h"
#include "tags_by_name.h"

namespace {

using namespace rapqueue;
using orvix::testing::by_name::set;
using orvix::testing::by_name::value;

// Time in bits 0-7, field in 8-11, cell in 12-15.
constexpr uint16_t word(int time, int field, int cell) {
  return static_cast<uint16_t>(time | field << 8 | cell << 12);
}

int storedTime(const RapQueue& queue, int index) { return queue.entries()[static_cast<size_t>(index)].time; }

TEST(RapQueue, MarginDependsOnSlotLengthAndQueueLoad) {
  RapQueue empty;
  EXPECT_EQ(empty.addToQueue(word(10, 1, 1)), 1);
  EXPECT_EQ(storedTime(empty, 0), 23);

  // The second request of 10 s, by the time already queued: 50 s (stored as 18 s), 120 s
  // (10 s), and the load boundaries.
  for (const auto& [queued, expected] : {std::pair{50, 18}, {120, 10}, {19, 23}, {20, 18}, {99, 18}, {100, 10}}) {
    RapQueue queue;
    queue.restore({word(queued, 1, 1)});
    EXPECT_EQ(queue.addToQueue(word(10, 2, 1)), 2);
    EXPECT_EQ(storedTime(queue, 1), expected) << queued;
  }

  RapQueue medium;
  medium.addToQueue(word(150, 1, 1));
  medium.addToQueue(word(199, 2, 1));
  medium.addToQueue(word(220, 3, 1));
  medium.addToQueue(word(99, 4, 1));
  EXPECT_EQ(storedTime(medium, 0), 153);
  EXPECT_EQ(storedTime(medium, 1), 202);
  EXPECT_EQ(storedTime(medium, 2), 220);
  EXPECT_EQ(storedTime(medium, 3), 99);  // the queue is busy: no margin
}

TEST(RapQueue, RefusesAQueuedCellAndFieldAndTheTwentiethRequest) {
  RapQueue queue;
  EXPECT_EQ(queue.addToQueue(word(10, 3, 2)), 1);
  EXPECT_EQ(queue.addToQueue(word(200, 3, 2)), kAlreadyQueued);
  EXPECT_EQ(queue.addToQueue(word(10, 3, 3)), 2);  // another cell of the same field
  for (int field = 4; field <= 15; ++field) EXPECT_EQ(queue.addToQueue(word(1, field, 2)), field - 1);
  for (int field = 4; field <= 8; ++field) EXPECT_EQ(queue.addToQueue(word(1, field, 5)), field + 11);
  EXPECT_EQ(queue.entries()[18].field, 8);
  EXPECT_EQ(queue.addToQueue(word(1, 9, 5)), kQueueFull);
  EXPECT_TRUE(queue.entries()[19].empty());
  EXPECT_EQ(queue.addToQueue(word(1, 3, 2)), kAlreadyQueued);
}

TEST(RapQueue, CommandWordsAndTheCountDown) {
  RapQueue queue;
  EXPECT_EQ(queue.addToQueue(kEndHeadSlot), kHeadShortened);
  EXPECT_TRUE(queue.entries()[0].empty());  // no running slot to end
  queue.addToQueue(word(5, 1, 1));          // 18 s
  queue.addToQueue(word(20, 2, 1));         // 33 s: 18 s queued is idle
  EXPECT_EQ(queue.countQueue(), 18 + 33 - 1);
  EXPECT_EQ(storedTime(queue, 0), 17);
  EXPECT_EQ(queue.addToQueue(kEndHeadSlot), kHeadShortened);
  EXPECT_EQ(storedTime(queue, 0), 1);
  queue.countQueue();  // the running slot ends at the next second
  EXPECT_EQ(queue.entries()[0].field, 2);
  EXPECT_EQ(storedTime(queue, 0), 33);
  EXPECT_TRUE(queue.entries()[1].empty());
  EXPECT_EQ(queue.addToQueue(kClockRequest), kClockRequested);
  EXPECT_EQ(queue.addToQueue(kClearQueue), kCleared);
  EXPECT_TRUE(queue.entries()[0].empty());
  EXPECT_EQ(queue.countQueue(), -1);
}

SchedulerView connected(std::initializer_list<uint16_t> entries) {
  SchedulerView view;
  view.status = ConnectStatus::connected;
  std::copy(entries.begin(), entries.end(), view.queue.begin());
  return view;
}

TEST(Answer, WaitRunningSlotAndNotQueued) {
  const rapping::QueueMessage self{1, 2, 1};  // field B, cell 1
  const uint16_t mine = word(18, 2, 1);
  // Only the first scheduler reachable: its queue alone counts.
  SchedulerView unreachable = connected({word(200, 3, 1), mine});
  unreachable.status        = ConnectStatus::failed;
  EXPECT_EQ(answerFor({connected({word(30, 1, 1), word(12, 4, 1), mine}), unreachable}, self), 42);
  // First in one queue, waiting in the other: the positive wait of the other.
  EXPECT_EQ(answerFor({connected({word(7, 2, 1), word(30, 1, 1)}), connected({word(25, 1, 1), mine})}, self), 25);
  EXPECT_EQ(answerFor({connected({word(25, 1, 1), mine}), connected({word(7, 2, 1)})}, self), 25);
  // Waiting in both: the longer wait.
  EXPECT_EQ(answerFor({connected({word(9, 1, 1), mine}), connected({word(25, 3, 1), mine})}, self), 25);
  // Head of every queue that holds it: the slot runs, the longest remaining time.
  EXPECT_EQ(answerFor({connected({word(7, 2, 1)}), connected({word(11, 2, 1)})}, self), -11);
  // Entries behind this unit's do not count; another cell of the field is another unit.
  EXPECT_EQ(answerFor({connected({word(9, 1, 1), mine, word(50, 3, 1)}), {}}, self), 9);
  EXPECT_EQ(answerFor({connected({word(9, 2, 2)}), {}}, self), 0);
  EXPECT_EQ(answerFor({unreachable, {}}, self), 0);
}

class QueueServerTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
  static void setTick(int seconds) {
    int error = 0;
    dbSetValueByHandle(rapping::internal::kSecondsOfDay, seconds, &error);
  }
  SchedulerState shared_;
};

TEST_F(QueueServerTest, RequestIsQueuedPublishedRememberedAndCountedOnTheTick) {
  setTick(100);
  QueueServer server(shared_);
  set("vxo_time", 0x0A000000);
  set("vxo_schedincomingrequest", word(10, 1, 1));
  server.poll();
  EXPECT_EQ(value("vxo_schedincomingrequest"), 0);
  EXPECT_EQ(value("vxi_schedulerqueuepos00"), word(23, 1, 1));
  EXPECT_EQ(value("vxi_lastincomingrequest1"), word(10, 1, 1));
  EXPECT_EQ(value("vxi_lastincomingrequesttime1"), 0x0A000000);

  set("vxo_time", 0x0A000100);
  set("vxo_schedincomingrequest", word(10, 2, 1));
  server.poll();
  EXPECT_EQ(value("vxi_schedulerqueuepos01"), word(18, 2, 1));
  EXPECT_EQ(value("vxi_lastincomingrequest1"), word(10, 2, 1));
  EXPECT_EQ(value("vxi_lastincomingrequest2"), word(10, 1, 1));
  EXPECT_EQ(value("vxi_lastincomingrequesttime1"), 0x0A000100);
  EXPECT_EQ(value("vxi_lastincomingrequesttime2"), 0x0A000000);

  server.poll();  // same second: nothing counted
  EXPECT_EQ(value("vxi_schedulerqueuepos00"), word(23, 1, 1));
  setTick(101);
  server.poll();
  EXPECT_EQ(value("vxi_schedulerqueuepos00"), word(22, 1, 1));

  // A restarted server takes the published queue: a duplicate is still refused.
  QueueServer restarted(shared_);
  set("vxo_schedincomingrequest", word(99, 2, 1));
  restarted.poll();
  EXPECT_EQ(value("vxi_schedulerqueuepos01"), word(18, 2, 1));
  EXPECT_EQ(value("vxi_schedulerqueuepos02"), 0);

  set("vxo_schedincomingrequest", kClockRequest);
  restarted.poll();
  EXPECT_TRUE(shared_.takeClockSync());
  EXPECT_FALSE(shared_.takeClockSync());
  set("vxo_schedincomingrequest", kClearQueue);
  restarted.poll();
  EXPECT_EQ(value("vxi_schedulerqueuepos00"), 0);
}

TEST_F(QueueServerTest, HandlesNameTheirTags) {
#define RAPPING_CHECK_HANDLE(name, handle)                    \
  {                                                           \
    int found = -1;                                           \
    int error = 0;                                            \
    EXPECT_TRUE(dbGetHandleByTagname(#name, &found, &error)); \
    EXPECT_EQ(found, handle) << #name;                        \
  }
  RAPPING_TAG_HANDLES(RAPPING_CHECK_HANDLE)
#undef RAPPING_CHECK_HANDLE
}

}  // namespace
