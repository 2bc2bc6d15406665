// A unit as client: what the fields of a received message and a master's commands do to
// its store and which answer it sends, in an image whose host commands are recorded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "clientactions.h"
#include "mastertags.h"
#include "message.h"
#include "orxtags/storebuilder.h"
#include "orxtime/orxtime.h"
#include "private_store.h"
#include "rapping.h"
#include "received.h"
#include "sharedmem/tagaccess.h"
#include "tags_by_name.h"
#include "temp_image.h"

namespace {

using namespace master;

using namespace orvix::testing::by_name;

std::tm fixedClock() {
  std::tm clock{};
  clock.tm_year = 2030 - 1900;
  clock.tm_mon  = 0;
  clock.tm_mday = 2;
  clock.tm_hour = 10;
  return clock;
}

// Node 4 in cell 1, the first field.
class ClientTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::string layOut = std::string(source) + "/unit/lay-out-image " + image_.root() + " >/dev/null";
    ASSERT_EQ(std::system(layOut.c_str()), 0);
    previousPath_ = std::getenv("PATH");
    setenv("PATH", (image_.root() + "/bin:" + previousPath_).c_str(), 1);
    orxtime::setClockSource(fixedClock);
    set("vxo_nodeaddress", 4);
    set("vxo_cellposition", 1);
    set("vxo_fieldposition", 'A');
  }
  void TearDown() override {
    orxtime::setClockSource(nullptr);
    setenv("PATH", previousPath_.c_str(), 1);
  }
  std::string act(const std::string& text, bool asMaster = false) {
    const Message message = decodeMsg(text);
    received_.apply(message);
    return actions_.actAndRespond(message, asMaster);
  }
  std::string hostCommands() const { return image_.readFile("/var/log/host-commands.log"); }

  orvix::testing::TempImage image_;
  std::string previousPath_;
  ReceivedFields received_;
  ClientActions actions_;
};

TEST_F(ClientTest, PollIsAnsweredWithMyDataAndItsFieldsTakeEffect) {
  int error = 0;
  dbSetValueByHandle(tag::vxi_miramyfieldtype, 1, &error);
  set("vxi_actpower", 1234);
  const std::string answer = act("Send data;No:001-010;Op:10000;Eo:3A100009990998;;P1:0000070273");
  EXPECT_EQ(answer.rfind("My Data;No:4;Tr:Off;Mo:0;Al: No;Wa:1234;", 0), 0u) << answer;
  EXPECT_EQ(value("vxi_myesponoffpath"), 70273 & 0xFFFF);
  EXPECT_EQ(value("vxi_opaccurrlim"), 10000);
  EXPECT_EQ(value("vxi_miramasterisopopt"), 1);
  EXPECT_EQ(value("vxi_miramylimit"), 999);  // the intermediate field's limit
  EXPECT_EQ(value("vxi_miralimitreceived"), 1);
  EXPECT_EQ(value("vxi_mastercontrolled"), 1);
  EXPECT_EQ(dbReadValueByHandle(internal::kUdpPollCounter), 1);

  // A path field for another cell is not this unit's.
  act("Send data;No:001-010;Op:10000;Eo:3A100009990998;;P2:0000000005");
  EXPECT_EQ(value("vxi_myesponoffpath"), 70273 & 0xFFFF);
}

TEST_F(ClientTest, SameFactorIdChangesTheLimitOnlyOnce) {
  act("Send data;No:001-010;Op:09000;Eo:50080007000600;;P1:0000000000");
  EXPECT_EQ(value("vxi_miramylimit"), 800);
  set("vxi_miralimitreceived", -1);
  act("Send data;No:001-010;Op:09000;Eo:50050005000500;;P1:0000000000");
  EXPECT_EQ(value("vxi_miramylimit"), 800);
  EXPECT_EQ(value("vxi_miralimitreceived"), -1);
  // Another cell's limit and a locked unit take nothing.
  act("Send data;No:001-010;Op:09000;Eo:61040004000400;;P1:0000000000");
  EXPECT_EQ(value("vxi_miramylimit"), 800);
  set("vxo_lockedmode", 1);
  act("Send data;No:001-010;Op:09000;Eo:60030003000300;;P1:0000000000");
  EXPECT_EQ(value("vxi_miramylimit"), 800);
  set("vxo_lockedmode", 0);
  act("Send data;No:001-010;Op:09000;Eo:60020002000200;;P1:0000000000");
  EXPECT_EQ(value("vxi_miramylimit"), 200);
}

TEST_F(ClientTest, ModeCommandChangesOnlyAnUnlockedUnit) {
  EXPECT_EQ(act("I Command;No:004-004;Mn:001;Mo:2;"), "I Heard;Mn:004;");
  EXPECT_EQ(value("vxo_mode"), 2);
  set("vxo_lockedmode", 1);
  act("I Command;No:004-004;Mn:001;Mo:4;");
  act("I Command;No:004-004;Mn:001;Tr: On;");
  EXPECT_EQ(value("vxo_mode"), 2);
  EXPECT_EQ(value("vxo_tron"), 0);
  set("vxo_lockedmode", 0);
  EXPECT_EQ(act("I Command;No:001-032;Mn:001;Tr: On;"), "I Heard;Mn:004;Tr: On;");
  EXPECT_EQ(value("vxo_tron"), 1);
}

TEST_F(ClientTest, SetAndReadTagsByName) {
  EXPECT_EQ(act("I Command;No:004-004;Mn:001;St:vxo_trondelay:700;"), "Set Ok;Mn:004;");
  EXPECT_EQ(value("vxo_trondelay"), 700);
  EXPECT_EQ(act("I Command;No:004-004;Mn:001;St:vxo_mode:9;"), "Set Failed;Mn:004;");  // modes 0..5
  EXPECT_EQ(act("I Command;No:004-004;Mn:001;Rg:vxo_trondelay;"), "Read Ok;Mn:004;700;");
  EXPECT_EQ(act("I Command;No:004-004;Mn:001;Rg:vxo_nosuchtag;"), "Read Failed;Mn:004;");
  set("vxo_lockedmode", 1);
  EXPECT_EQ(act("I Command;No:004-004;Mn:001;St:vxo_trondelay:800;"), "Set Failed;Mn:004;");
  EXPECT_EQ(value("vxo_trondelay"), 700);
}

TEST_F(ClientTest, TimeCommandWithADateDigitMissingSetsOnlyTheTime) {
  set("vxo_timesyncopt", 1);
  set("vxo_time", 10 << 24);  // the unit's clock: 10:00:00
  EXPECT_EQ(act("I Command;No:001-032;Mn:001;Ti:2024037-130509;"), "I Heard;Mn:004;Ti:2024037-130509");
  EXPECT_EQ(hostCommands().find("date -s 2024"), std::string::npos) << hostCommands();
  EXPECT_NE(hostCommands().find("date -s 2030-01-02 13:05:09"), std::string::npos) << hostCommands();
}

TEST_F(ClientTest, TimeCommandFollowsTheSyncSetting) {
  set("vxo_time", 13 << 24 | 5 << 16 | 7 << 8);  // 13:05:07: two seconds are close enough
  act("I Command;No:001-032;Mn:001;Ti:20240307-130509;");
  EXPECT_EQ(image_.readFile("/var/log/host-commands.log"), "");  // no date without vxo_timesyncopt 1

  act("I Command;No:001-032;Mn:001;Ti:20240307-130510;");
  EXPECT_NE(hostCommands().find("date -s 2030-01-02 13:05:10"), std::string::npos) << hostCommands();

  // A master follows another master only with vxo_timesyncopt 1; then the date too.
  act("I Command;No:001-032;Mn:001;Ti:20240307-140000;", true);
  EXPECT_EQ(hostCommands().find("14:00:00"), std::string::npos) << hostCommands();
  set("vxo_timesyncopt", 1);
  act("I Command;No:001-032;Mn:001;Ti:20240307-140000;", true);
  EXPECT_NE(hostCommands().find("date -s 2030-01-02 14:00:00"), std::string::npos) << hostCommands();
  EXPECT_NE(hostCommands().find("date -s 2024-03-07 10:00:00"), std::string::npos) << hostCommands();
}

TEST_F(ClientTest, StatisticsResetClearsItsCountersAndSaves) {
  for (const char* name : {"vxi_uptime", "vxi_acckwh", "vxi_acciogr1", "vxi_acciogr5", "vxi_acctrontime"})
    set(name, 50);
  EXPECT_EQ(act("I Command;No:001-032;Mn:001;Rs:IO;").rfind("My Data;No:4;", 0), 0u);
  EXPECT_EQ(value("vxi_acciogr1"), 0);
  EXPECT_EQ(value("vxi_acciogr5"), 0);
  EXPECT_EQ(value("vxi_acckwh"), 50);
  EXPECT_EQ(value("vxo_saveset"), 1);
  set("vxi_acciogr1", 50);
  act("I Command;No:001-032;Mn:001;Rs:All;");
  EXPECT_EQ(value("vxi_acciogr1"), 0);
  EXPECT_EQ(value("vxi_uptime"), 0);
  EXPECT_EQ(value("vxi_acckwh"), 0);
  EXPECT_EQ(value("vxi_acctrontime"), 0);
  // Not for this node: nothing.
  set("vxi_acckwh", 50);
  act("I Command;No:005-032;Mn:001;Rs:kVh;");
  EXPECT_EQ(value("vxi_acckwh"), 50);
}

TEST_F(ClientTest, PasswordsReachTheFrontEndConfiguration) {
  image_.writeFile("/home/root/orvix/www_ORVIX/unit/xfrm/config.xml", "old\n");
  act("I Command;No:001-032;Mn:001;Pw:lo1-Me2-HI3;");
  const std::string config = image_.readFile("/home/root/orvix/www_ORVIX/unit/xfrm/config.xml");
  EXPECT_NE(config.find("<password level=\"medium\">Me2</password>"), std::string::npos) << config;
  EXPECT_EQ(image_.readFile("/home/root/orvix/www_ORVIX/unit/xfrm/config.old"), "old\n");
  EXPECT_EQ(image_.readFile("/home/root/orvix/store/password"), "lo1 Me2 HI3\n");
}

}  // namespace

namespace {

using namespace master;

class RappingTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
  void request(int group, int node, int rappingGroup, int state) {
    set(("vxo_iogr" + std::to_string(group) + "node").c_str(), node);
    set(("vxo_iogr" + std::to_string(group) + "rapgrpg").c_str(), rappingGroup);
    int error = 0;
    dbSetValueByHandle(internal::kRappingState[group - 1], state, &error);
  }
  RappingRequests requests_;
  RappingEntry entries_[kRappingEntries] = {};
};

TEST_F(RappingTest, RequestsAreMergedPerNodeAndAnOnPutBackToIdleSwitchesOff) {
  request(1, 9, 3, kRappingOnAsked);
  request(2, 9, 32, kRappingOffAsked);
  request(3, 12, 1, kRappingOnAsked);
  request(4, 12, 5, kRappingIdle);
  ASSERT_EQ(requests_.collect(entries_), 2);
  EXPECT_EQ(entries_[0].node, 9);
  EXPECT_EQ(entries_[0].onMask, 1u << 2);
  EXPECT_EQ(entries_[0].offMask, 1u << 31);
  EXPECT_EQ(entries_[1].node, 12);
  EXPECT_EQ(entries_[1].onMask, 1u);
  EXPECT_EQ(entries_[1].offMask, 0u);
  for (int group = 0; group < 3; ++group) EXPECT_EQ(dbReadValueByHandle(internal::kRappingState[group]), kRappingSent);

  EXPECT_EQ(requests_.collect(entries_), 0);  // sent requests are not sent again
  int error = 0;
  dbSetValueByHandle(internal::kRappingState[2], kRappingIdle, &error);  // group 3 was on
  dbSetValueByHandle(internal::kRappingState[1], kRappingIdle, &error);  // group 2 was off
  ASSERT_EQ(requests_.collect(entries_), 1);
  EXPECT_EQ(entries_[0].node, 12);
  EXPECT_EQ(entries_[0].onMask, 0u);
  EXPECT_EQ(entries_[0].offMask, 1u);
}

}  // namespace
