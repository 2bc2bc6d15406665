// Request modes and the node limit from QUERY_STRING and the arguments.

#include "request.h"

#include <gtest/gtest.h>

namespace discovery {
namespace {

Request parse(const char* queryString, std::initializer_list<const char*> args) {
  std::vector<const char*> argv(args);
  return parseRequest(queryString, static_cast<int>(argv.size()), argv.data());
}

TEST(Request, DefaultsToXmlAnswerAndThousandNodes) {
  const Request request = parse(nullptr, {});
  EXPECT_EQ(request.nodeLimit, 1000);
  EXPECT_FALSE(request.findOnly);
  EXPECT_FALSE(request.save);
}

TEST(Request, SaveFromQueryStringOrArgument) {
  EXPECT_TRUE(parse("save", {}).save);
  EXPECT_TRUE(parse(nullptr, {"save"}).save);
  EXPECT_FALSE(parse("saved", {}).save);
  EXPECT_FALSE(parse("", {}).save);
  const Request both = parse("save", {"find"});
  EXPECT_TRUE(both.save);
  EXPECT_TRUE(both.findOnly);
}

TEST(Request, FindOnlyFromFirstArgumentOnly) {
  EXPECT_TRUE(parse(nullptr, {"find"}).findOnly);
  EXPECT_FALSE(parse(nullptr, {"5", "find"}).findOnly);
  EXPECT_EQ(parse(nullptr, {"find", "5"}).nodeLimit, 1000);
}

TEST(Request, NodeLimitAcceptedUpTo999) {
  EXPECT_EQ(parse(nullptr, {"0"}).nodeLimit, 0);
  EXPECT_EQ(parse(nullptr, {"7"}).nodeLimit, 7);
  EXPECT_EQ(parse(nullptr, {"999"}).nodeLimit, 999);
  EXPECT_EQ(parse(nullptr, {"1000"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {"5000"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {"99999999999999999999999"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {"-3"}).nodeLimit, 0);
}

TEST(Request, TextThatIsNoNumberLeavesTheLimit) {
  EXPECT_EQ(parse(nullptr, {"abc"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {"12abc"}).nodeLimit, 1000);
  EXPECT_EQ(parse(nullptr, {""}).nodeLimit, 1000);
}

}  // namespace
}  // namespace discovery
