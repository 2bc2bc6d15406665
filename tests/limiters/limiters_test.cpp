// The daemon's passes on a private store: counts taken and cleared on whole 10 seconds,
// spark and arc events added to their codes, the reset events, and the test pattern.
#include "limiters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "tags_by_name.h"

namespace {

using namespace limiters;

using namespace orvix::testing::by_name;

std::string indexed(const char* prefix, int code) { return prefix + std::to_string(code); }

TEST(LimitersTags, HandlesNameTheirTags) {
  orvix::testing::PrivateStore store;
  tagstore::buildTagStore();
#define LIMITERS_CHECK_HANDLE(name, handle)                   \
  {                                                           \
    int found = -1;                                           \
    int error = 0;                                            \
    EXPECT_TRUE(dbGetHandleByTagname(#name, &found, &error)); \
    EXPECT_EQ(found, handle) << #name;                        \
  }
  LIMITERS_TAG_HANDLES(LIMITERS_CHECK_HANDLE)
#undef LIMITERS_CHECK_HANDLE
  for (int code = 0; code < kCodes; ++code) {
    int found = -1;
    int error = 0;
    dbGetHandleByTagname(indexed("vxi_accshortlim", code).c_str(), &found, &error);
    EXPECT_EQ(found, tag::kShortShare[code]) << code;
    dbGetHandleByTagname(indexed("vxi_acclonglim", code).c_str(), &found, &error);
    EXPECT_EQ(found, tag::kLongShare[code]) << code;
    dbGetHandleByTagname(indexed("vxi_acctemplim", code).c_str(), &found, &error);
    EXPECT_EQ(found, tag::kCount[code]) << code;
  }
}

class LimitersPassTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    set("vxo_limiterstatshort", 0);  // one row: the result is the last period
    set("vxo_limiterstatlong", 0);
  }
  // One 10-second period in which pulse current limited `samples` times.
  void period(int samples = 9) {
    set("vxi_acctemplim9", samples);
    limiters_.pass(tick_ += 10);
  }
  Limiters limiters_;
  int tick_ = 0;
};

TEST_F(LimitersPassTest, CountsAreTakenOnWholeTenSecondsAndCleared) {
  limiters_.initLimiters();
  set("vxi_acctemplim2", 3);
  set("vxi_acctemplim9", 1);
  limiters_.pass(11);
  EXPECT_EQ(value("vxi_accshortlim2"), 0);
  EXPECT_EQ(value("vxi_acctemplim2"), 3);
  limiters_.pass(20);
  EXPECT_EQ(value("vxi_accshortlim2"), 750);
  EXPECT_EQ(value("vxi_accshortlim9"), 250);
  EXPECT_EQ(value("vxi_acclonglim2"), 13);  // one period of sixty: (750 + 30) / 60
  for (int code = 0; code < kCodes; ++code) EXPECT_EQ(value(indexed("vxi_acctemplim", code).c_str()), 0) << code;
}

// A spark counter already non-zero at start is no event; a change after the first row is,
// once per changed counter; an arc counts on code 10.
TEST_F(LimitersPassTest, SparkAndArcEventsFromTheSecondRowOn) {
  set("vxi_accspark", 5);
  set("vxi_accarc", 2);
  limiters_.initLimiters();
  set("vxi_accspark", 6);
  period();
  EXPECT_EQ(value("vxi_accshortlim5"), 0);
  EXPECT_EQ(value("vxi_accshortlim10"), 0);
  EXPECT_EQ(value("vxi_accshortlim9"), 1000);

  set("vxi_accspark", 7);
  set("vxi_accdoublespark", 1);
  period();
  // Two events on code 5 count double: 4 of 13.
  EXPECT_EQ(value("vxi_accshortlim5"), (4000 + 6) / 13);
  EXPECT_EQ(value("vxi_accshortlim9"), (9000 + 6) / 13);

  set("vxi_accarc", 3);
  period();
  EXPECT_EQ(value("vxi_accshortlim10"), (5000 + 7) / 14);
  EXPECT_EQ(value("vxi_accshortlim5"), 0);
}

TEST_F(LimitersPassTest, SelectedResetEventEmptiesTheStatistics) {
  struct Case {
    int setting;
    const char* source;
    int before;
    int after;
  };
  const Case cases[] = {
      {1,  "vxi_tronstatus",    0, 1 },
      {2,  "vxi_rapping",       1, 0 },
      {3,  "vxi_timer1status",  0, 30},
      {12, "vxi_timer10status", 0, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    set(c.source, c.before);
    set("vxo_limiterstatreset", c.setting);
    limiters_.initLimiters();
    period();
    ASSERT_EQ(value("vxi_accshortlim9"), 1000);
    // Another source's edge is no event for this setting.
    set(c.setting == 3 ? "vxi_timer2status" : "vxi_timer1status", 1);
    set("vxi_acctemplim9", 4);
    limiters_.pass(tick_ + 1);
    EXPECT_EQ(value("vxi_accshortlim9"), 1000);
    EXPECT_EQ(value("vxi_acctemplim9"), 4);
    set(c.source, c.after);
    limiters_.pass(tick_ + 2);
    EXPECT_EQ(value("vxi_accshortlim9"), 0);
    EXPECT_EQ(value("vxi_acclonglim9"), 0);
    EXPECT_EQ(value("vxi_acctemplim9"), 0);
    set("vxi_timer1status", 0);
    set("vxi_timer2status", 0);
    set(c.source, 0);
  }
}

// The program's start with "-t": the test pattern stands until the first row, which comes on
// the first whole 10 seconds after the one the start waited for; the stop word ends it.
TEST_F(LimitersPassTest, TestPatternStandsUntilTheFirstRow) {
  const auto expectPattern = [] {
    for (int code = 0; code < kCodes; ++code) {
      EXPECT_EQ(value(indexed("vxi_accshortlim", code).c_str()), 20 + 10 * code) << code;
      EXPECT_EQ(value(indexed("vxi_acclonglim", code).c_str()), 1000 + code) << code;
    }
  };
  const auto advanceTo = [](int tick) {
    dbSetValueByHandle(internal::kSecondsOfDay, tick, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
  };
  // Waits a generous while for the daemon's thread to show what it did.
  const auto shows = [](const char* name, int expected) {
    for (int poll = 0; poll < 500 && value(name) != expected; ++poll) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return value(name) == expected;
  };
  set("vxi_acctemplim9", 7);
  advanceTo(15);
  std::thread daemon([this] { run(limiters_, true); });
  advanceTo(20);  // start-up: the counts before it are dropped
  EXPECT_TRUE(shows("vxi_acctemplim9", 0));
  set("vxi_acctemplim9", 7);
  advanceTo(21);
  advanceTo(29);
  expectPattern();
  advanceTo(30);
  EXPECT_TRUE(shows("vxi_accshortlim9", 1000));
  EXPECT_EQ(value("vxi_accshortlim0"), 0);
  dbSetValueByHandle(internal::kSystemState, internal::kStopSystemState, nullptr);
  daemon.join();
}

}  // namespace
