// The master's node table and its summary tags, cycle by cycle as the master polls.
#include "nodetable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "mastertags.h"
#include "message.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "tags_by_name.h"

namespace {

using namespace master;

using namespace orvix::testing::by_name;

TEST(MasterTags, HandlesNameTheirTags) {
  orvix::testing::PrivateStore store;
  tagstore::buildTagStore();
#define MASTER_CHECK_HANDLE(name, handle)                     \
  {                                                           \
    int found = -1;                                           \
    int error = 0;                                            \
    EXPECT_TRUE(dbGetHandleByTagname(#name, &found, &error)); \
    EXPECT_EQ(found, handle) << #name;                        \
  }
  MASTER_TAG_HANDLES(MASTER_CHECK_HANDLE)
#undef MASTER_CHECK_HANDLE
}

TEST(PositionId, CellAndFieldLetter) {
  EXPECT_EQ(positionId(3, 'C'), 0x32);
  EXPECT_EQ(positionId(3, 'c'), 0x32);
  EXPECT_EQ(positionId(10, 'M'), 0xAC);
  EXPECT_EQ(positionId(2, 'N'), 0x20);  // beyond 'M': field 0
  EXPECT_EQ(getCellFromPoId(0xAC), 10);
  EXPECT_EQ(getFieldFromPoId(0xAC), 12);
}

// Master node 1 (cell 1, field A, T/R set on) polling nodes 1..10.
class NodeTableTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    set("vxo_masteradrlimlo", 1);
    set("vxo_masteradrlimlhi", 10);
    set("vxo_nodeaddress", 1);
    set("vxo_cellposition", 1);
    set("vxo_fieldposition", 'A');
    set("vxo_espcodefields", 3);
    set("vxo_tron", 1);
    set("vxi_actpower", 1000);
    table_.firstClearNodes();
  }

  // The master's poll: the summary closes the cycle, a new one starts with the own data.
  void poll() {
    table_.sumNodes();
    table_.clearNodes();
    table_.addMyData();
  }

  AddResult answer(int node, const char* tr, char field, int cell, int watt, int status = 0, const char* alarm = " No",
                   int mode = 0) {
    char text[256];
    std::snprintf(text, sizeof text, "My Data;No:%d;Tr:%s;Mo:%d;Al:%s;Wa:%d;kV:0;mA:0;CR:0;Po:%c%02d;Au:0;Es:%d;", node,
                  tr, mode, alarm, watt, field, cell, status);
    return table_.addNode(decodeMsg(text));
  }

  NodeTable table_;
};

TEST_F(NodeTableTest, EmptyTableGivesZeroCountsAndPathWords) {
  set("vxi_espunitonoffpath1", 0x333);
  set("vxi_espunitonoffpath8", 0x1);
  set("vxi_mastertotalnr", 7);
  set("vxi_masternrinoff", 7);
  set("vxi_mastertotpower", 7);
  set("vxi_masternrinmode1", 7);
  table_.sumNodes();
  EXPECT_EQ(value("vxi_espunitonoffpath1"), 0);
  EXPECT_EQ(value("vxi_espunitonoffpath8"), 0);
  EXPECT_EQ(value("vxi_mastertotalnr"), 0);
  EXPECT_EQ(value("vxi_masternrinoff"), 0);
  EXPECT_EQ(value("vxi_mastertotpower"), 0);
  EXPECT_EQ(value("vxi_masternrinmode1"), 0);
}

TEST_F(NodeTableTest, SilentNodeCountsForFourPollsAndIsGoneAtTheFifth) {
  poll();
  ASSERT_EQ(answer(2, " On", 'B', 1, 200), kAddEntered);
  ASSERT_EQ(answer(3, "Off", 'C', 1, 300), kAddEntered);
  poll();
  EXPECT_EQ(value("vxi_mastertotalnr"), 3);
  EXPECT_EQ(value("vxi_espunitonoffpath1"), 0x211);  // A on, B on, C off

  // Node 2 falls silent; node 3 keeps answering.
  for (int missed = 1; missed <= 4; ++missed) {
    ASSERT_EQ(answer(3, "Off", 'C', 1, 300), kAddEntered);
    poll();
    EXPECT_EQ(value("vxi_mastertotalnr"), 3) << "missed " << missed;
    EXPECT_EQ(value("vxi_masternrinon"), 2) << "missed " << missed;
    EXPECT_EQ(value("vxi_mastertotpower"), 1500) << "missed " << missed;
  }
  ASSERT_EQ(answer(3, "Off", 'C', 1, 300), kAddEntered);
  testing::internal::CaptureStdout();
  poll();
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("node 2 time out ..... \n"), std::string::npos);
  EXPECT_EQ(value("vxi_mastertotalnr"), 2);
  EXPECT_EQ(value("vxi_masternrinon"), 1);
  EXPECT_EQ(value("vxi_espunitonoffpath1"), 0x231);  // B: no unit

  // Back again, while node 3 misses its first poll and still counts.
  ASSERT_EQ(answer(2, " On", 'B', 1, 200), kAddEntered);
  poll();
  EXPECT_EQ(value("vxi_mastertotalnr"), 3);
  EXPECT_EQ(value("vxi_espunitonoffpath1"), 0x211);
}

TEST_F(NodeTableTest, TwoUnitsOnOnePositionMarkItOn) {
  poll();
  ASSERT_EQ(answer(2, " On", 'B', 1, 200), kAddEntered);
  ASSERT_EQ(answer(3, "Off", 'B', 1, 300), kAddEntered);
  testing::internal::CaptureStdout();
  poll();
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(value("vxi_espunitonoffpath1"), 0x11);
  EXPECT_EQ(value("vxi_mastertotalnr"), 3);
  EXPECT_NE(printed.find("1: 1  4 :"), std::string::npos) << printed;
}

TEST_F(NodeTableTest, OwnNodeThroughTheNetworkIsCountedOnceAndNotEntered) {
  poll();
  EXPECT_EQ(answer(1, "Off", 'D', 2, 5000), kAddOwnRepeat);
  EXPECT_EQ(answer(1, "Off", 'D', 2, 5000), kAddRefused);
  EXPECT_EQ(answer(4, " On", 'B', 1, 100), kAddEntered);
  EXPECT_EQ(answer(4, " On", 'B', 1, 100), kAddRefused);  // a second unit with node 4
  EXPECT_EQ(answer(11, " On", 'C', 1, 100), kAddOutsideRange);
  poll();
  EXPECT_EQ(value("vxi_mastertotalnr"), 2);
  EXPECT_EQ(value("vxi_masternrinoff"), 0);
  EXPECT_EQ(value("vxi_mastertotpower"), 1100);
  EXPECT_EQ(value("vxi_espunitonoffpath2"), 0);
}

TEST_F(NodeTableTest, SummaryOfCountsPowersAndMiraCells) {
  set("vxo_masteradrlimlhi", 4);
  set("vxi_miramystatus", 3 | 0 << 5 | 1 << 7 | 1 << 11);  // product 3, first field, cell 1, follows up
  poll();
  // Intermediate field without a status (made from its position), last field of cell 1
  // (product 3, follows down), first field of cell 2 without a status.
  ASSERT_EQ(answer(2, " On", 'B', 1, 500, 0, " No", 2), kAddEntered);
  ASSERT_EQ(answer(3, "Off", 'C', 1, 250, 3 | 2 << 5 | 1 << 7 | 1 << 12, "Trp"), kAddEntered);
  ASSERT_EQ(answer(4, " On", 'A', 2, 254, 0, "Wrn"), kAddEntered);
  poll();

  EXPECT_EQ(value("vxi_masternrinon"), 3);
  EXPECT_EQ(value("vxi_masternrinoff"), 1);
  EXPECT_EQ(value("vxi_mastertotalnr"), 4);
  EXPECT_EQ(value("vxi_mastertripalarm"), 1);
  EXPECT_EQ(value("vxi_masterwarnalarm"), 1);
  EXPECT_EQ(value("vxi_masteralarm"), 1);
  EXPECT_EQ(value("vxi_masternrinmode1"), 3);
  EXPECT_EQ(value("vxi_masternrinmode3"), 1);
  EXPECT_EQ(value("vxi_mastertotpower"), 2004);

  // kW per field pair (A high, B low) and per cell pair (1 high, 2 low), rounded.
  EXPECT_EQ(value("vxi_abfieldstotpower"), 125 * 65536 + 50);
  EXPECT_EQ(value("vxi_cdfieldstotpower"), 25 * 65536);
  EXPECT_EQ(value("vxi_path12stotpower"), 175 * 65536 + 25);
  EXPECT_EQ(value("vxi_path34stotpower"), 0);

  EXPECT_EQ(value("vxi_espunitonoffpath1"), 0x211);
  EXPECT_EQ(value("vxi_espunitonoffpath2"), 0x331);
  EXPECT_EQ(value("vxi_espunitonoffpath3"), 0);

  // Cell 1: first product 3 following up, one intermediate without status, last product 3
  // following down.
  EXPECT_EQ(dbReadValueByHandle(1200), 3 | 1 << 5 | 1 << 12 | 3 << 24 | 1 << 30);
  // Per-mille shares 1000:500:250 of 1750, rounded.
  EXPECT_EQ(dbReadValueByHandle(1210), 571 | 286 << 10 | 143 << 20);
  EXPECT_EQ(dbReadValueByHandle(1211), 1000);
  // 1254:500:250 of 2004 over all cells, in 0.01 %.
  EXPECT_EQ(value("vxi_mirapowerfirst"), 6260);
  EXPECT_EQ(value("vxi_mirapowerintermediate"), 2500);
  EXPECT_EQ(value("vxi_mirapowerlast"), 1250);
}

}  // namespace
