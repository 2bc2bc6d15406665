// Request modes and the node limit from QUERY_STRING and the arguments.

#include "request.h"

#include <gtest/gtest.h>

namespace discovery {
namespace {

Request parse(const char* queryString, std::initializer_list<const char*> args) {
  std::vector<const char*> argv(args);
  return parseRequest(queryString, static_cast<int>(argv.size()), argv.data());
}

// Modes and limits as the browser's page sends them are also run on the test network.
TEST(Request, SaveFromQueryStringOrArgumentAndFindFromFirstArgumentOnly) {
  EXPECT_FALSE(parse(nullptr, {}).save);
  EXPECT_TRUE(parse("save", {}).save);
  EXPECT_TRUE(parse(nullptr, {"save"}).save);
  EXPECT_FALSE(parse("saved", {}).save);
  EXPECT_TRUE(parse(nullptr, {"find"}).findOnly);
  EXPECT_FALSE(parse(nullptr, {"5", "find"}).findOnly);
  EXPECT_EQ(parse(nullptr, {"find", "5"}).nodeLimit, 1000);
}

TEST(Request, NodeLimitAcceptedUpTo999AndOnlyFromANumber) {
  EXPECT_EQ(parse(nullptr, {}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {"0"}).nodeLimit, 0);
  EXPECT_EQ(parse(nullptr, {"999"}).nodeLimit, 999);
  EXPECT_EQ(parse(nullptr, {"1000"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {"99999999999999999999999"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {"-3"}).nodeLimit, 0);
  EXPECT_EQ(parse(nullptr, {"abc"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {"12abc"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {""}).nodeLimit, 1000);
}

}  // namespace
}  // namespace discovery
