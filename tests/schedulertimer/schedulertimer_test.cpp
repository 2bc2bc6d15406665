// The rapping scheduler client pass by pass on a private store: the start delay and the
// default interval, the request word, the answers of the queue, the five-step sequence,
// and the condition mode.
#include "schedulertimer/schedulertimer.h"

#include <gtest/gtest.h>

#include <functional>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "schedulertimer/rappingtags.h"
#include "sharedmem/tagaccess.h"
#include "tags_by_name.h"

namespace {

using namespace rapping;
using orvix::testing::by_name::set;
using orvix::testing::by_name::value;

// Packed time of day: seconds in bits 8-15, minutes 16-23, hours 24-31.
constexpr int timeWord(int hours, int minutes, int seconds) { return hours << 24 | minutes << 16 | seconds << 8; }

class SchedulerClientTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    set("vxo_tron", 1);
    set("vxo_fieldposition", 'B');
    set("vxo_cellposition", 1);
    set("vxo_rappingruntime", timeWord(0, 0, 4));
  }
  static int internalTag(int handle) { return dbReadValueByHandle(handle); }
  static void setInternal(int handle, int newValue) {
    int error = 0;
    dbSetValueByHandle(handle, newValue, &error);
  }
  // Passes until the condition holds, at most limit; the number of passes run.
  int passUntil(const std::function<bool()>& done, int limit = 100000) {
    int passes = 0;
    while (!done() && passes < limit) {
      client_.pass();
      ++passes;
    }
    EXPECT_TRUE(done()) << "after " << passes << " passes";
    return passes;
  }
  SchedulerClient client_;
};

TEST_F(SchedulerClientTest, DefaultIntervalFromTheProcessFactorsDoublesPerField) {
  for (const char* factor :
       {"vxo_dustconcentration", "vxo_espvelocity", "vxo_particlesize", "vxo_stickiness", "vxo_rappingdesign"}) {
    set(factor, 1);
  }
  // 600 s, 1200 s, 2400 s.
  for (const auto& [letter, interval] :
       {std::pair{'A', timeWord(0, 10, 0)}, {'B', timeWord(0, 20, 0)}, {'C', timeWord(0, 40, 0)}}) {
    set("vxo_rappreptime", 0);
    set("vxo_rapprepday", 0);
    set("vxo_fieldposition", letter);
    SchedulerClient client;
    client.pass();
    EXPECT_EQ(value("vxo_rappreptime"), interval) << letter;
    EXPECT_EQ(value("vxo_rapprepday"), 0) << letter;
  }
  // Factor 2 everywhere: 100 % grows by 1.2 five times, rounded at each step (120, 144,
  // 173, 208, 250): 6 * 250 s for field A.
  for (const char* factor :
       {"vxo_dustconcentration", "vxo_espvelocity", "vxo_particlesize", "vxo_stickiness", "vxo_rappingdesign"}) {
    set(factor, 2);
  }
  set("vxo_rappreptime", 0);
  set("vxo_fieldposition", 'A');
  client_.pass();
  EXPECT_EQ(value("vxo_rappreptime"), timeWord(0, 25, 0));

  // A letter outside A..M: no default interval, and the start delay from the address.
  set("vxo_rappreptime", 0);
  set("vxo_fieldposition", 'Z');
  set("vxo_cellposition", 2);
  set("vxo_ipaddress", 0x0307D50A);  // 10.213.7.3: field (value mod 5) + 1
  const int field = 0x0307D50A % 5 + 1;
  SchedulerClient client;
  client.pass();
  EXPECT_EQ(value("vxo_rappreptime"), 0);
  EXPECT_EQ(value("vxi_rappingtimerinfo"), (2 - 1) * field * 75 + 5 - 1);
}

// Field B, cell 1, one group as rapping output, unit 1 as scheduler: the request, then the
// queue's answer.
class SlotRequestTest : public SchedulerClientTest {
 protected:
  void SetUp() override {
    SchedulerClientTest::SetUp();
    set("vxo_rappreptime", timeWord(0, 1, 0));
    set("vxo_iogr2connection", kRappingOutput);
    set("vxo_rappingsched1ip", 0x0107D50A);
    passUntil([] { return internalTag(internal::kRequest) != 0; });
  }
  // The passes that wait for the answer, the last one reading it.
  void answer(int answer) {
    setInternal(internal::kRequest, 0);  // rapqueue sent it
    for (int pass = 0; pass < 4; ++pass) {
      client_.pass();
      EXPECT_EQ(value("vxi_schedulerresult"), 0);
    }
    setInternal(internal::kAnswer, answer);
    client_.pass();
  }
};

TEST_F(SlotRequestTest, RequestWordCarriesTimeFieldAndCell) {
  // Time + 1 in bits 0-7, field B (2) in 8-11, cell 1 in 12-15.
  EXPECT_EQ(internalTag(internal::kRequest), 5 | 2 << 8 | 1 << 12);
  EXPECT_EQ(value("vxi_rappingstate"), 2);
}

TEST_F(SlotRequestTest, AskedTimeIncludesTheConsecutiveDelayAndIsCappedAt250) {
  set("vxo_iogr5connection", kConsecutiveOutput);
  set("vxo_iogr5type", 1);
  set("vxo_schedulerconsecutivedelay", 20);
  EXPECT_EQ(client_.requestWord(false) & 0xFF, 4 + 20 + 1);
  set("vxo_rappingruntime", timeWord(0, 4, 0));
  EXPECT_EQ(client_.requestWord(false) & 0xFF, 251);
  set("vxo_schedulerconsecutivedelay", 0);
  set("vxo_rappingruntime", timeWord(0, 4, 11));
  EXPECT_EQ(client_.requestWord(false) & 0xFF, 251);
}

TEST_F(SlotRequestTest, NegativeAnswerRapsInTheSamePass) {
  answer(-7);
  EXPECT_EQ(value("vxi_schedulerresult"), 1);
  EXPECT_EQ(value("vxi_rappingstate"), 3);
  EXPECT_EQ(value("vxi_schedulerpcrresult"), -1);
  // Loaded with the slot length of 4 s: three passes count it down to 1, the fourth ends
  // the slot, the fifth loads the interval.
  const int passes = passUntil([] { return value("vxi_schedulerresult") == 0; });
  EXPECT_EQ(passes, 5);
  EXPECT_EQ(value("vxi_rappingstate"), 1);
}

TEST_F(SlotRequestTest, PositiveAnswerRapsAfterCountingItDown) {
  answer(3);
  EXPECT_EQ(value("vxi_schedulerresult"), 0);
  client_.pass();
  client_.pass();
  EXPECT_EQ(value("vxi_schedulerresult"), 0);
  client_.pass();
  EXPECT_EQ(value("vxi_schedulerresult"), 1);
}

TEST_F(SlotRequestTest, NoAnswerAsksAgain) {
  answer(0);
  EXPECT_EQ(value("vxi_schedulerresult"), 0);
  client_.pass();
  EXPECT_NE(internalTag(internal::kRequest), 0);
}

TEST_F(SchedulerClientTest, FiveStepSequenceStepsAreATenthOfTheIntervalWithinBounds) {
  set("vxo_rappingmode", 1);
  set("vxo_rappingratio", 1);
  set("vxo_rappingstartpcr", 1000);
  set("vxo_rappingendpcr", 200);
  set("vxo_iogr1connection", kRappingOutput);
  // No scheduler: the unit raps on its own timing. The pcr result per step:
  // start, S - (S - E) / 4, (S + E) / 2, E + (S - E) / 4, end.
  const int expectedPcr[] = {1000, 800, 600, 400, 200};
  struct Case {
    int interval;  // s
    int repTime;
    int step;  // s
  };
  for (const auto& [interval, repTime, step] : {Case{1799, timeWord(0, 29, 59), 180},
                                                Case{20000, timeWord(5, 33, 20), 1800},
                                                Case{5000, timeWord(1, 23, 20), 500}}) {
    SchedulerClient client;
    set("vxo_rappreptime", repTime);
    for (int rap = 0; rap < 5; ++rap) {
      for (int pass = 0; pass < 30000 && value("vxi_schedulerresult") == 0; ++pass) client.pass();
      EXPECT_EQ(value("vxi_schedulerpcrresult"), expectedPcr[rap]) << interval << " step " << rap;
      // The pass that ends the rapping loads the time to the next one.
      while (value("vxi_schedulerresult") == 1) client.pass();
      EXPECT_EQ(value("vxi_rappingtimerinfo"), rap < 4 ? step : interval) << interval << " step " << rap;
    }
  }
}

// Condition mode without a queue: pulse current below its level AND firing angle above
// its level, on the means of the latest per-second samples, or the end of the window.
TEST_F(SchedulerClientTest, ConditionModeRapsWhenBothConditionsHoldOrTheWindowEnds) {
  set("vxo_rappingtype", 1);
  set("vxo_iogr1connection", kRappingOutput);
  set("vxo_rapprepmintime", timeWord(0, 0, 10));
  set("vxo_rapprepmaxtime", timeWord(0, 1, 40));
  set("vxi_tronstatus", 1);
  set("vxi_seccurrpulse", 50);        // mA
  set("vxo_autorappcondition01", 0);  // pulse current below, mA x 10
  set("vxo_autorapplevel01", 400);
  set("vxi_actualfiringangle", 600);  // 0.1 %
  set("vxo_autorappcondition02", 4);  // firing angle above
  set("vxo_autorapplevel02", 500);
  int tick  = 1000;
  auto pass = [&] {
    setInternal(internal::kSecondsOfDay, ++tick);
    client_.pass();
  };
  auto passesUntil = [&](const std::function<bool()>& done) {
    int passes = 0;
    for (; !done() && passes < 1000; ++passes) pass();
    return passes;
  };
  passesUntil([] { return value("vxi_autorappstatus") == 1; });  // the window is open
  for (int second = 0; second < 10; ++second) pass();            // the firing angle alone is not enough
  EXPECT_EQ(value("vxi_schedulerresult"), 0);
  EXPECT_EQ(value("vxi_autorappcondstatus02"), 1);

  // 30 mA from now: the mean of five samples falls below 40 mA with the third (1900 / 5),
  // the next pass raps and shows the mean with the fourth (1700 / 5).
  set("vxi_seccurrpulse", 30);
  EXPECT_EQ(passesUntil([] { return value("vxi_schedulerresult") == 1; }), 4);
  EXPECT_EQ(value("vxi_autorappcurrentreading01"), 340);
  EXPECT_EQ(value("vxi_rappingstate"), 5);

  // Conditions that never hold: the window of maximum minus minimum interval (90 s) ends.
  set("vxi_seccurrpulse", 50);
  passesUntil([] { return value("vxi_autorappstatus") == 1; });
  EXPECT_EQ(passesUntil([] { return value("vxi_schedulerresult") == 1; }), 90);
}

}  // namespace
