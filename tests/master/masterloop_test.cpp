// The master's turns against a scripted plant network: polls, operator commands, T/R sets
// switched on one node at a time, resending to nodes that did not acknowledge, and
// another master's commands.
#include "masterloop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "mastertags.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "tags_by_name.h"

namespace {

using namespace master;

constexpr uint32_t kOwnAddress   = 0x0107D50A;  // 10.213.7.1
constexpr uint32_t kOtherAddress = 0x0207D50A;

// Each receive takes the next scripted datagram; an empty entry (or none left) is a time-out.
class ScriptedLink : public Link {
 public:
  void broadcast(std::string_view text, int) override { sent.emplace_back(text); }
  bool receive(int, Datagram* datagram) override {
    if (incoming.empty()) return false;
    const std::optional<Datagram> next = incoming.front();
    incoming.pop_front();
    if (!next) return false;
    *datagram = *next;
    return true;
  }
  bool isOwnAddress(uint32_t address) override { return address == kOwnAddress; }
  uint32_t primaryAddress() const override { return kOwnAddress; }

  void arrives(const std::string& text, uint32_t from = kOtherAddress) { incoming.push_back(Datagram{text, from}); }
  void silence() { incoming.push_back(std::nullopt); }

  std::deque<std::optional<Datagram>> incoming;
  std::vector<std::string> sent;
};

using namespace orvix::testing::by_name;

std::string myData(int node, const char* tr) {
  return "My Data;No:" + std::to_string(node) + ";Tr:" + tr + ";Mo:0;Al: No;Wa:100;kV:0;mA:0;CR:0;Po:A0" +
         std::to_string(node) + ";Au:0;Es:0;";
}

// Master node 1 of the range 1..4.
class MasterLoopTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
    set("vxo_nodeaddress", 1);
    set("vxo_masteradrlimlo", 1);
    set("vxo_masteradrlimlhi", 4);
    set("vxo_trondelay", 0);
    set("vxo_master", 1);
  }

  // Turns until every scripted datagram is taken; what was sent meanwhile.
  std::vector<std::string> run() {
    link_.sent.clear();
    while (!link_.incoming.empty()) loop_.turn();
    return link_.sent;
  }

  // A poll cycle whose answers are nodes 2 (off), 3 (on) and 4 (off), then silence.
  void pollCycle() {
    link_.arrives(myData(2, "Off"));
    link_.arrives(myData(3, " On"));
    link_.arrives(myData(4, "Off"));
    link_.silence();
    const std::vector<std::string> sent = run();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].rfind("Send data;No:001-004;", 0), 0u) << sent[0];
  }

  ScriptedLink link_;
  MasterNotes notes_;
  MasterLoop loop_{link_, notes_};
};

TEST_F(MasterLoopTest, OperatorCommandsAreAllAppliedAndOnlyTheLastIsSent) {
  set("vxo_mastermode", 2);
  set("vxo_mastertron", 1);
  set("vxo_mastertroff", 1);
  set("vxo_mastermodecmd", 1);
  link_.silence();
  EXPECT_EQ(run(), std::vector<std::string>{"I Command;No:001-004;Mn:001;Mo:2;"});
  EXPECT_EQ(value("vxo_mastertron"), 0);
  EXPECT_EQ(value("vxo_mastertroff"), 0);
  EXPECT_EQ(value("vxo_mastermodecmd"), 0);
  EXPECT_EQ(value("vxo_tron"), 0);
  EXPECT_EQ(value("vxo_mode"), 2);
  EXPECT_EQ(value("vxi_masternotes"), kNoteCommandSent);
}

TEST_F(MasterLoopTest, TrOnGoesToEachSwitchedOffNodeAndIsResentWithoutAcknowledgement) {
  link_.silence();
  run();  // the first poll
  pollCycle();
  set("vxo_mastertron", 1);
  link_.arrives("I Heard;Mn:002;Tr: On;");
  link_.silence();
  EXPECT_EQ(run(),
            (std::vector<std::string>{"I Command;No:002-002;Mn:001;Tr: On;", "I Command;No:004-004;Mn:001;Tr: On;"}));
  EXPECT_EQ(value("vxo_tron"), 1);

  link_.silence();
  const std::vector<std::string> sent = run();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], "I Command;No:004-004;Mn:001;Tr: On;");
  EXPECT_EQ(sent[1].rfind("Send data;", 0), 0u);
  EXPECT_EQ(value("vxi_masternotes"), kNoteTrOnResent);
}

TEST_F(MasterLoopTest, BroadcastCommandIsResentToEachNodeThatDidNotAcknowledge) {
  link_.silence();
  run();
  pollCycle();
  set("vxo_mastertroff", 1);
  link_.arrives("I Heard;Mn:002;Tr:Off;");
  link_.arrives("I Heard;Mn:004;Tr:Off;");
  link_.silence();
  EXPECT_EQ(run(), std::vector<std::string>{"I Command;No:001-004;Mn:001;Tr:Off;"});

  link_.silence();
  const std::vector<std::string> sent = run();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], "I Command;No:003-003;Mn:001;Tr:Off;");
  EXPECT_EQ(sent[1].rfind("Send data;", 0), 0u);
}

TEST_F(MasterLoopTest, SummaryOfACycleCountsEveryAnswer) {
  link_.silence();
  run();
  pollCycle();
  link_.silence();
  run();
  EXPECT_EQ(value("vxi_mastertotalnr"), 4);
  EXPECT_EQ(value("vxi_masternrinoff"), 3);  // the own T/R set is off too
}

TEST_F(MasterLoopTest, AnotherMastersPollIsAnsweredAndTheOwnIsNot) {
  link_.silence();
  run();
  const std::string poll = "Send data;No:001-010;Op:10000;Eo:0A100010001000;;P1:0000000000";
  link_.arrives(poll, kOwnAddress);
  const std::vector<std::string> own = run();
  ASSERT_EQ(own.size(), 1u);  // the master's next poll, and no answer to the own
  EXPECT_EQ(own[0].rfind("Send data;No:001-004;", 0), 0u) << own[0];
  link_.arrives(poll, kOtherAddress);
  const std::vector<std::string> sent = run();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].rfind("My Data;No:1;", 0), 0u) << sent[0];
  EXPECT_EQ(value("vxi_masternotes"), kNoteOtherMaster);
}

}  // namespace

namespace {

using namespace master;

class TimerTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
};

TEST_F(TimerTest, NoteIsShownForFiveSeconds) {
  MasterNotes notes;
  notes.set(kNoteCommandSent, 1000);
  notes.expire(5999);
  EXPECT_EQ(value("vxi_masternotes"), kNoteCommandSent);
  notes.set(kNoteTrOnResent, 3000);  // a new note starts its own five seconds
  notes.expire(6000);
  EXPECT_EQ(value("vxi_masternotes"), kNoteTrOnResent);
  notes.expire(8000);
  EXPECT_EQ(value("vxi_masternotes"), kNoteNone);
}

TEST_F(TimerTest, ChangedMasterModeAsksForAModeCommandButAStartDoesNot) {
  set("vxo_mastermode", 3);
  MasterNotes notes;
  TimerThread timer(notes);
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // two mode checks
  EXPECT_EQ(value("vxo_mastermodecmd"), 0);
  set("vxo_mastermode", 4);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (value("vxo_mastermodecmd") == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(value("vxo_mastermodecmd"), 1);
}

}  // namespace
