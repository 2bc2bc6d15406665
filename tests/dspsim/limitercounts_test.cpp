// The per-code limiter counts as the limiter statistics read them, by tag name.
#include "limitercounts.h"

#include <gtest/gtest.h>

#include <string>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"

namespace dspsim {
namespace {

class LimiterCountsTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
  int count(int code) {
    int result = 0;
    int error  = 0;
    EXPECT_TRUE(dbGetValueByTagname(("vxi_acctemplim" + std::to_string(code)).c_str(), &result, &error));
    return result;
  }
};

TEST_F(LimiterCountsTest, EachSampleCountsOnItsCodeAndArcsOnTen) {
  for (int code = 0; code <= 12; ++code) {
    for (int sample = 0; sample <= code; ++sample) countLimiterCode(code);
  }
  countLimiterCode(13);
  countLimiterCode(13);
  countLimiterCode(14);  // no such code: counted nowhere
  countLimiterCode(-1);
  for (int code = 0; code <= 12; ++code) EXPECT_EQ(count(code), code + 1 + (code == 10 ? 2 : 0)) << code;
}

}  // namespace
}  // namespace dspsim
