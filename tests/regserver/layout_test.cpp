#include <gtest/gtest.h>

#include <string>

#include "config.h"
#include "registerimage.h"
#include "requestgate.h"
#include "temp_image.h"

namespace {

using namespace regserver;

TEST(RegisterLayout, WidthsOfEachFormat) {
  EXPECT_EQ(registerWidth(kRegister16, 1100), 1);
  EXPECT_EQ(registerWidth(kRegister32, 1100), 2);
  EXPECT_EQ(registerWidth(kText12, 1280), 12);
  EXPECT_EQ(registerWidth(kText7, 1293), 7);
  EXPECT_EQ(registerWidth(kText7, 363), 1);  // an input text shows its checksum
  EXPECT_EQ(registerWidth(kRegister32, 42), 2);
}

TEST(RegserverConfig, LeadingIntegerAndExactKeys) {
  orvix::testing::TempImage image;
  image.writeFile("/etc/r.conf", "7\nport=1502\nnr_coils=96\n nr_input=5\nnr_holding=abc\nport=1600\n");
  bool opened = false;
  EXPECT_EQ(readLeadingInteger("/etc/r.conf", &opened), 7);
  EXPECT_TRUE(opened);
  EXPECT_EQ(readConfigInteger("/etc/r.conf", "port"), 1502);  // the first line wins
  EXPECT_EQ(readConfigInteger("/etc/r.conf", "nr_input"), std::nullopt);  // keys are not trimmed
  EXPECT_EQ(readConfigInteger("/etc/r.conf", "nr_holding"), 0);
  EXPECT_EQ(readConfigInteger("/etc/r.conf", "nr_diginp"), std::nullopt);
  const ServerConfig config = readServerConfig("/etc/r.conf");
  EXPECT_EQ(config.port, 1502);
  EXPECT_EQ(config.maxClients, 64);
  EXPECT_EQ(config.sizes.coils, 96);

  image.writeFile("/etc/keys.conf", "port=1502\n");
  EXPECT_EQ(readLeadingInteger("/etc/keys.conf", &opened), std::nullopt);
  EXPECT_TRUE(opened);
  EXPECT_EQ(readLeadingInteger("/etc/none.conf", &opened), std::nullopt);
  EXPECT_FALSE(opened);
  EXPECT_EQ(readServerConfig("/etc/none.conf").port, 502);
}

TEST(RequestKinds, OnlyTheEightServedFunctionsPass) {
  for (const int read : {1, 2, 3, 4}) EXPECT_EQ(classifyFunction(read), RequestKind::kRead);
  for (const int write : {5, 6, 15, 16}) EXPECT_EQ(classifyFunction(write), RequestKind::kWrite);
  for (const int other : {0, 7, 8, 17, 20, 22, 23, 43, 127, 255}) {
    EXPECT_EQ(classifyFunction(other), RequestKind::kUnsupported) << other;
  }
}

}  // namespace
