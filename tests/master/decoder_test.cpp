// The unit message decoder and the texts master sends, against the protocol's formats.
#include <gtest/gtest.h>

#include <string>

#include "message.h"
#include "messagetext.h"

namespace {

using namespace master;

TEST(Decoder, PollCarriesRangeOpacityLimitsAndPath) {
  const Message m = decodeMsg("Send data;No:001-010;Op:10000;Eo:3A100009990998;;P1:0000000273");
  EXPECT_EQ(m.sender, 0);
  EXPECT_EQ(m.type, kPoll);
  EXPECT_EQ(m.masterAdrLimLow, 1);
  EXPECT_EQ(m.masterAdrLimHigh, 10);
  EXPECT_TRUE(m.hasOpacity);
  EXPECT_EQ(m.opacCurrLim, 10000);
  ASSERT_EQ(m.limitCount, 1);
  EXPECT_EQ(m.limits[0].factorId, 3);
  EXPECT_EQ(m.limits[0].cell, 'A');
  EXPECT_EQ(m.limits[0].limits[0], 1000);
  EXPECT_EQ(m.limits[0].limits[1], 999);
  EXPECT_EQ(m.limits[0].limits[2], 998);
  EXPECT_EQ(m.pathNumber, 1);
  EXPECT_EQ(m.pathWord, 273u);
}

TEST(Decoder, BothSpellingsOfEveryKind) {
  struct Case {
    const char* text;
    int sender;
    int type;
  };
  // clang-format off
  // text                               sender  type
  const Case cases[] = {
      {"Send data;No:001-002;",           0,      kPoll},
      {"Send Data;No:001-002;",           0,      kPoll},
      {"I Command;No:001-002;Tr: On;",    0,      kTrOn},
      {"I command;No:001-002;Tr:Off;",    0,      kTrOff},
      {"I Heard;Mn:004;Tr: On;",          1,      kHeard},
      {"I heard;Mn:004;Al:Res;",          1,      kHeard},
      {"My Data;No:4;Tr: On;Mo:2;",       1,      kClientData},
      {"My data;No:4;Tr:Off;Mo:0;",       1,      kClientData},
      {"Read Ok;Mn:004;7;",               0,      kUnknownMessage},
  };
  // clang-format on
  for (const Case& c : cases) {
    const Message m = decodeMsg(c.text);
    EXPECT_EQ(m.sender, c.sender) << c.text;
    EXPECT_EQ(m.type, c.type) << c.text;
  }
}

TEST(Decoder, ClientDataFields) {
  const Message m = decodeMsg("My Data;No:4;Tr: On;Mo:2;Al:Trp;Wa:1234;kV:456;mA:789;CR:10;Po:B03;Au:0;Es:2179;");
  EXPECT_EQ(m.clientAdr, 4);
  EXPECT_EQ(m.masterAdrLimLow, 0);  // a client's node is no range
  EXPECT_EQ(m.tr, 1);
  EXPECT_EQ(m.mode, 3);
  EXPECT_EQ(m.alarm, kAlarmTrip);
  EXPECT_EQ(m.watt, 1234);
  EXPECT_EQ(m.kVolt, 456);
  EXPECT_EQ(m.mAmp, 789);
  EXPECT_EQ(m.cRatio, 10);
  EXPECT_EQ(m.fieldPos, 'B');
  EXPECT_EQ(m.cellPos, 3);
  EXPECT_TRUE(m.hasMiraStatus);
  EXPECT_EQ(m.miraStatus, 2179);
  // "Tr:" and "Mo:" in a client's data never turn it into a command.
  EXPECT_EQ(m.type, kClientData);
}

TEST(Decoder, CommandKeysGiveTheType) {
  Message m = decodeMsg("I Command;No:004-004;Mn:001;Mo:2;");
  EXPECT_EQ(m.type, kModeFirst + 2);
  EXPECT_EQ(m.mode, 3);
  EXPECT_EQ(m.myNode, 1);

  EXPECT_EQ(decodeMsg("I Command;No:001-032;Mn:001;Al:Res;").type, kAlarmReset);
  EXPECT_EQ(decodeMsg("I Command;No:001-032;Mn:001;Rs:kVh;").statisticsReset, StatisticsReset::kKwh);
  EXPECT_EQ(decodeMsg("I Command;No:001-032;Mn:001;Rs:IO;").type, kStatisticsReset);

  m = decodeMsg("I Command;No:003-003;Mn:001;St:vxo_trondelay:700;");
  EXPECT_EQ(m.type, kSetTag);
  EXPECT_STREQ(m.tagName, "vxo_trondelay");
  EXPECT_EQ(m.parameterValue, 700);

  m = decodeMsg("I Command;No:003-003;Mn:001;Rg:vxo_mode;");
  EXPECT_EQ(m.type, kReadTag);
  EXPECT_STREQ(m.tagName, "vxo_mode");

  m = decodeMsg("I Command;No:001-032;Mn:001;Pw:low1-Med2-HIGH3;");
  EXPECT_EQ(m.type, kPasswords);
  ASSERT_TRUE(m.passwordsValid);
  EXPECT_STREQ(m.passwords[0], "low1");
  EXPECT_STREQ(m.passwords[1], "Med2");
  EXPECT_STREQ(m.passwords[2], "HIGH3");
  // Only letters and digits, at most seven, exactly three.
  EXPECT_FALSE(decodeMsg("I Command;No:001-032;Mn:001;Pw:a'b-c-d;").passwordsValid);
  EXPECT_FALSE(decodeMsg("I Command;No:001-032;Mn:001;Pw:abcdefgh-c-d;").passwordsValid);
  EXPECT_FALSE(decodeMsg("I Command;No:001-032;Mn:001;Pw:a-b;").passwordsValid);
  EXPECT_FALSE(decodeMsg("I Command;No:001-032;Mn:001;Pw:a--b;").passwordsValid);
}

TEST(Decoder, TimeCommandDateAndTimeEachNeedSixDigits) {
  Message m = decodeMsg("I Command;No:001-032;Mn:001;Ti:20240307-130509;");
  EXPECT_EQ(m.type, kTimeSet);
  EXPECT_STREQ(m.date, "240307");
  EXPECT_STREQ(m.time, "130509");
  EXPECT_STREQ(m.timeText, "20240307-130509");

  m = decodeMsg("I Command;No:001-032;Mn:001;Ti:2024037-130509;");
  EXPECT_STREQ(m.date, "");
  EXPECT_STREQ(m.time, "130509");

  m = decodeMsg("I Command;No:001-032;Mn:001;Ti:20240307-13059;");
  EXPECT_STREQ(m.date, "240307");
  EXPECT_STREQ(m.time, "");
}

TEST(Decoder, NumbersEndAtTheFirstNonDigitAndAtTheirWidth) {
  EXPECT_EQ(decodeMsg("My Data;No:4;Wa:12x34;").watt, 12);
  EXPECT_EQ(decodeMsg("My Data;No:4;Wa:1234567;").watt, 12345);
  EXPECT_EQ(decodeMsg("My Data;No:123456;").clientAdr, 1234);
  EXPECT_EQ(decodeMsg("Send data;No:001-010;Op:123456;").opacCurrLim, 12345);
}

TEST(Decoder, FieldsAreCutAtTwentyCharactersAndThirtyFields) {
  // "St:" and a name of 18 characters: the field keeps 17 of them and no value.
  const Message m = decodeMsg("I Command;No:001-001;Mn:001;St:vxo_masteradrlimlo:5;");
  EXPECT_STREQ(m.tagName, "vxo_masteradrliml");
  EXPECT_EQ(m.parameterValue, 0);

  std::string thirty = "My Data;No:4;";
  for (int field = 2; field < 30; ++field) thirty += "Xx:0;";
  EXPECT_EQ(decodeMsg(thirty + "Wa:77;").watt, 0);  // the 31st field
  thirty.erase(thirty.size() - 5);
  EXPECT_EQ(decodeMsg(thirty + "Wa:77;").watt, 77);  // the 30th field
}

TEST(Decoder, LongMessageIsHandledAsItsFirst255Characters) {
  std::string text = "My Data;No:7;Zz:";
  text += std::string(249 - text.size() - 1, 'x') + ";";
  ASSERT_EQ(text.size(), 249u);
  text += "Wa:12345;";  // its digits start at 252: three of them lie within 255
  text += std::string(300 - text.size(), 'y');
  ASSERT_EQ(text.size(), 300u);

  testing::internal::CaptureStdout();
  const Message m = decodeMsg(text);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n\n-----------------------too long msg -------------------------\n");
  EXPECT_EQ(m.clientAdr, 7);
  EXPECT_EQ(m.watt, 123);
}

TEST(Decoder, NodeZeroIsNeverAddressed) {
  const Message m = decodeMsg("I Command;No:000-010;Mn:001;Tr: On;");
  EXPECT_FALSE(addresses(m, 0));
  EXPECT_TRUE(addresses(m, 10));
  EXPECT_FALSE(addresses(m, 11));
}

TEST(MessageTexts, PollWithoutOpacityLimitSendsOneFullLimit) {
  PollData poll{};
  poll.low            = 1;
  poll.high           = 32;
  poll.opacityCurrent = 10000;
  poll.factorId       = 4;
  poll.totalCells     = 3;
  poll.pathOffset     = 0;
  poll.pathWord       = 0x211;
  EXPECT_EQ(pollText(poll), "Send data;No:001-032;Op:10000;Eo:4A100010001000;;P1:0000000529");
}

TEST(MessageTexts, PollWithOpacityLimitSendsEachCellsLimits) {
  PollData poll{};
  poll.low            = 1;
  poll.high           = 8;
  poll.opacityCurrent = 8500;
  poll.factorId       = 7;
  poll.totalCells     = 2;
  poll.cellLimits[0]  = 900u | 800u << 10 | 700u << 20;
  poll.cellLimits[1]  = 1000u | 0u << 10 | 5u << 20;
  poll.pathOffset     = 2;
  poll.pathWord       = 1;
  EXPECT_EQ(pollText(poll), "Send data;No:001-008;Op:08500;Eo:70090008000700;Eo:71100000000005;;P3:0000000001");

  // The decoder reads back what the poll says.
  const Message m = decodeMsg(pollText(poll));
  ASSERT_EQ(m.limitCount, 2);
  EXPECT_EQ(m.limits[1].cell, '1');
  EXPECT_EQ(m.limits[1].limits[2], 5);
  EXPECT_EQ(m.pathNumber, 3);
}

TEST(MessageTexts, PathRoundRobin) {
  const uint32_t words[8] = {0, 0x11, 0, 0x21, 0, 0, 0, 0};
  EXPECT_EQ(nextPathOffset(7, words), 0);  // path 1 ends the search, word 0 or not
  EXPECT_EQ(nextPathOffset(0, words), 1);
  EXPECT_EQ(nextPathOffset(1, words), 3);
  EXPECT_EQ(nextPathOffset(3, words), 0);
}

TEST(MessageTexts, ClientAnswersAndCommands) {
  const ClientData data{4, 1, 2, kAlarmWarn, 1234, 456, 789, 10, 'B', 3, 2179};
  EXPECT_EQ(clientDataText(data), "My Data;No:4;Tr: On;Mo:2;Al:Wrn;Wa:1234;kV:456;mA:789;CR:10;Po:B03;Au:0;Es:2179;");
  EXPECT_EQ(commandText(kTrOn, 5, 5, 1), "I Command;No:005-005;Mn:001;Tr: On;");
  EXPECT_EQ(commandText(kModeFirst + 5, 1, 32, 1), "I Command;No:001-032;Mn:001;Mo:5;");
  EXPECT_EQ(timeCommandText(1, 32, 1, 2024, 3, 7, 13, 5, 9), "I Command;No:001-032;Mn:001;Ti:20240307-130509;");
  EXPECT_EQ(heardText(kTrOff, 4, ""), "I Heard;Mn:004;Tr:Off;");
  EXPECT_EQ(heardText(kTimeSet, 4, "20240307-130509"), "I Heard;Mn:004;Ti:20240307-130509");
  EXPECT_EQ(readAnswerText(true, 4, -3), "Read Ok;Mn:004;-3;");
  EXPECT_EQ(setAnswerText(false, 4), "Set Failed;Mn:004;");
  EXPECT_EQ(rappingText(9, 1, 0x5, 0x2), "I Command;No:009-009;Mn:001;Rb:0x000000050x00000002");
  EXPECT_EQ(rappingText(9, 1, 0, 0x80000000u), "I Command;No:009-009;Mn:001;Rf:0x80000000;");

  // A mode acknowledgement names the node, so that the master counts it as answered.
  const Message heard = decodeMsg(heardText(kModeFirst + 2, 4, ""));
  EXPECT_EQ(heard.type, kHeard);
  EXPECT_EQ(heard.myNode, 4);
}

}  // namespace
