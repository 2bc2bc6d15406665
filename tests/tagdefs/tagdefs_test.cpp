// Defining tags: ranges, the stored-setting rule, Modbus, CAN, text and name mappings,
// the name sort and the groups, on hand-made definitions in a private store.
#include "sharedmem/tagdefs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "private_store.h"
#include "sharedmem/tagaccess.h"

namespace {

using orvix::testing::StoreTest;

constexpr char kNoCan = static_cast<char>(255);
constexpr int kGroupFlag = 1 << 12;

// A definition with the arguments a test cares about; the rest as most table rows.
struct Def {
  int handle;
  int min = 0;
  int max = 0;
  int def = 0;
  const char* name = nullptr;
  int modbus = -1;
  char format = 1;
  int can = -1;
  char canSource = kNoCan;
  int config = 0;
  const char* unit = "";
};

bool define(const Def& d, int* code) {
  return dbInitTag(d.handle, 0, d.min, d.max, d.def, d.name, d.unit, d.modbus, d.format, d.can, d.config, 0,
                   d.canSource, code);
}

int handleOf(const char* name) {
  int handle = -1;
  int code = 0;
  dbGetHandleByTagname(name, &handle, &code);
  return handle;
}

Bit32tag flagsOf(int handle) { return Bit32tag{.all = shared_mem->parameter.config[handle].all}; }

using TagDefinitionTest = StoreTest;

TEST_F(TagDefinitionTest, RefusedRangeLeavesHandleInitialisedWithZeroRange) {
  int code = -1;
  EXPECT_FALSE(define({.handle = 10, .min = 5, .max = 10, .def = 11, .name = "vxo_badrange", .modbus = 1100}, &code));
  EXPECT_EQ(code, kInitBadRange);
  EXPECT_TRUE(dbIsInitialized(10));
  const volatile auto& p = shared_mem->parameter;
  EXPECT_EQ(p.iMin[10], 0);
  EXPECT_EQ(p.iMax[10], 0);
  EXPECT_EQ(p.iDefault[10], 0);
  EXPECT_EQ(p.iValue[10], 0);
  EXPECT_FALSE(flagsOf(10).bits.noRangeCheck);
  EXPECT_EQ(dbGetModbusNoOfIndex(), 0);
  EXPECT_EQ(p.modbus.address[10], -1);
  EXPECT_EQ(dbTagNameListStatus(), 0);
  // Range-checked against 0..0: only 0 can be written.
  EXPECT_TRUE(dbSetValueByHandle(10, 0, &code));
  EXPECT_FALSE(dbSetValueByHandle(10, 1, &code));
  EXPECT_EQ(code, kTagOutOfRange);
}

TEST_F(TagDefinitionTest, AllZeroRangeMeansNoRangeCheck) {
  int code = -1;
  ASSERT_TRUE(define({.handle = 11, .name = "vxi_free"}, &code));
  EXPECT_EQ(code, kInitOk);
  EXPECT_TRUE(flagsOf(11).bits.noRangeCheck);
  EXPECT_EQ(flagsOf(11).bits.objectType, 1u);
  EXPECT_TRUE(dbSetValueByHandle(11, -2000000000, &code));
  EXPECT_TRUE(dbSetValueByHandle(11, 2000000000, &code));
  // A range given later by a redefinition is checked again.
  ASSERT_TRUE(define({.handle = 11, .min = 0, .max = 3, .def = 1}, &code));
  EXPECT_FALSE(flagsOf(11).bits.noRangeCheck);
  EXPECT_EQ(shared_mem->parameter.iValue[11], 1);
  EXPECT_FALSE(dbSetValueByHandle(11, 4, &code));
}

TEST_F(TagDefinitionTest, RangeThatTheFormatCannotCarryKeepsTagWithoutMappings) {
  int code = -1;
  // A 16-bit register cannot hold 70000: code 5, kept, but no Modbus entry and no name.
  EXPECT_TRUE(define({.handle = 20, .min = 0, .max = 70000, .def = 100, .name = "vxo_toowide", .modbus = 1100}, &code));
  EXPECT_EQ(code, kInitModbusUnfitRange);
  EXPECT_EQ(shared_mem->parameter.iValue[20], 100);
  EXPECT_EQ(shared_mem->parameter.iMax[20], 70000);
  EXPECT_EQ(dbGetModbusNoOfIndex(), 0);
  EXPECT_EQ(shared_mem->parameter.modbus.address[20], -1);
  EXPECT_EQ(dbTagNameListStatus(), 0);

  // A bit with default 2 on the CAN bus: code 6, no CAN entry, no Modbus entry either.
  EXPECT_TRUE(define({.handle = 21, .min = 0, .max = 2, .def = 2, .name = "vxo_notabit", .modbus = 16390,
                      .format = 0, .can = 7, .canSource = 1},
                     &code));
  EXPECT_EQ(code, kInitCanUnfitRange);
  EXPECT_EQ(dbGetCanbusNoOfIndex(), 0);
  EXPECT_EQ(shared_mem->parameter.canbus.address[21], -1);
  EXPECT_EQ(dbGetModbusNoOfIndex(), 0);

  // A negative minimum does not fit an unsigned word; 32-bit values carry anything.
  EXPECT_TRUE(define({.handle = 22, .min = -5, .max = 5, .def = 0, .modbus = 1101}, &code));
  EXPECT_EQ(code, kInitModbusUnfitRange);
  EXPECT_TRUE(define({.handle = 23, .min = -5, .max = 70000, .def = 0, .modbus = 1102, .format = 2}, &code));
  EXPECT_EQ(code, kInitOk);
  EXPECT_EQ(dbGetModbusNoOfIndex(), 1);
}

TEST_F(TagDefinitionTest, ClientWritableRegistersAndCoilsBecomeStoredSettings) {
  struct Case {
    const char* name;
    int modbus;
    char format;
    bool stored;
  };
  const Case cases[] = {
      {"vxo_tron", 16384, 0, true},    // coil
      {"vxi_bit", 16383, 0, false},    // highest discrete input
      {"vxo_reg", 1024, 1, true},      // first holding register
      {"vxi_reg", 1023, 1, false},     // highest input register
      {"vxo_long", 1600, 2, true},     // 32-bit holding
      {"vxo", 1200, 1, false},         // name of only 3 characters
      {"vxo_nomodbus", -1, 1, false},  // no Modbus address
  };
  int handle = 100;
  for (const Case& c : cases) {
    int code = -1;
    ASSERT_TRUE(define({.handle = handle, .name = c.name, .modbus = c.modbus, .format = c.format}, &code)) << c.name;
    EXPECT_EQ(static_cast<bool>(flagsOf(handle).bits.store), c.stored) << c.name;
    ++handle;
  }
}

TEST_F(TagDefinitionTest, ModbusEntryStartsWithLastValueZeroAndTextsGetTheirSlot) {
  int code = -1;
  shared_mem->modbus.lastValue[0] = 77;  // left over from the run before a restart
  ASSERT_TRUE(define({.handle = 31, .name = "vxo_iogr1name", .modbus = 1293, .format = 4}, &code));
  EXPECT_EQ(dbGetModbusLastValue(0), 0);
  ASSERT_EQ(shared_mem->text.noOfAttachedTexts, 1);
  EXPECT_EQ(shared_mem->text.length[0], 7);
  EXPECT_EQ(shared_mem->text.modbusIndex[0], 0);
  EXPECT_EQ(dbSetModbusTextByHandle(31, "Fan", &code), 1003);
}

TEST_F(TagDefinitionTest, ThousandAndFirstModbusMappingIsRefused) {
  int code = -1;
  for (int i = 0; i < kNoOfModbusEntries; ++i) {
    ASSERT_TRUE(define({.handle = i, .modbus = i, .format = 0}, &code)) << i;
  }
  testing::internal::CaptureStdout();
  EXPECT_FALSE(define({.handle = 1000, .name = "vxo_onetoomany", .modbus = 1500}, &code));
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, kInitModbusRefused);
  EXPECT_NE(printed.find("maximum modbus vars Reached"), std::string::npos);
  EXPECT_EQ(dbGetModbusNoOfIndex(), kNoOfModbusEntries);
  EXPECT_EQ(shared_mem->parameter.modbus.address[1000], -1);
  EXPECT_EQ(dbTagNameListStatus(), 0);  // the definition stopped before the name
}

TEST_F(TagDefinitionTest, TextTableFullRefusesTheMappingInsteadOfOverflowing) {
  int code = -1;
  for (int i = 0; i < kNoOfTexts; ++i) ASSERT_TRUE(define({.handle = i, .modbus = 1100 + 8 * i, .format = 4}, &code));
  EXPECT_FALSE(define({.handle = 40, .modbus = 1500, .format = 4}, &code));
  EXPECT_EQ(code, kInitModbusRefused);
  EXPECT_EQ(shared_mem->text.noOfAttachedTexts, kNoOfTexts);
  EXPECT_EQ(dbGetModbusNoOfIndex(), kNoOfTexts);
}

TEST_F(TagDefinitionTest, CanEntriesCarryDirectionAndWidth) {
  struct Case {
    int handle;
    int address;
    char format;
    char source;
    int direction;
  };
  const Case cases[] = {
      {0, 0, 0, 2, 3},       // vxi_sumalarm: both ways
      {1, 1, 0, 0, 2},       // from the signal processor
      {561, 130, 1, 1, 1},   // to the signal processor
      {480, 126, 2, 0, 2},   // 32-bit
      {5, 399, 1, kNoCan, 0},  // unknown source code: not set up
  };
  int code = -1;
  for (const Case& c : cases) {
    ASSERT_TRUE(define({.handle = c.handle, .format = c.format, .can = c.address, .canSource = c.source}, &code));
    EXPECT_EQ(dbGetCanbusHandlePointer(c.address), c.handle);
    EXPECT_EQ(dbGetCanbusDataType(c.address), c.format + 1);
    EXPECT_EQ(dbGetCanbusSource(c.address), c.direction);
    EXPECT_EQ(dbGetCanbusLastValue(c.address), 0);
    EXPECT_EQ(shared_mem->parameter.canbus.address[c.handle], c.address);
  }
  EXPECT_EQ(dbGetCanbusNoOfIndex(), 5);

  // An address beyond the map and a text format are refused with code 2.
  EXPECT_FALSE(define({.handle = 6, .can = 400, .canSource = 0}, &code));
  EXPECT_EQ(code, kInitCanRefused);
  EXPECT_FALSE(define({.handle = 7, .format = 3, .can = 8, .canSource = 0}, &code));
  EXPECT_EQ(code, kInitCanRefused);
  EXPECT_EQ(dbGetCanbusNoOfIndex(), 5);
  EXPECT_EQ(shared_mem->parameter.canbus.address[6], -1);
}

TEST_F(TagDefinitionTest, SuccessfulDefinitionsReportCodeZero) {
  int code = -1;
  // CAN without Modbus, the shape of vxi_mastertagversion.
  EXPECT_TRUE(define({.handle = 477, .min = 0, .max = 65535, .def = 27, .name = "vxi_mastertagversion", .can = 123,
                      .canSource = 1},
                     &code));
  EXPECT_EQ(code, kInitOk);
  EXPECT_FALSE(dbInitTag(kNoOfHandles, 0, 0, 0, 0, "vxi_beyond", "", -1, 1, -1, 0, 0, kNoCan, &code));
  EXPECT_EQ(code, kInitBadHandle);
  EXPECT_FALSE(dbInitTag(-1, 0, 0, 0, 0, "vxi_negative", "", -1, 1, -1, 0, 0, kNoCan, &code));
  EXPECT_EQ(code, kInitBadHandle);
}

TEST_F(TagDefinitionTest, NamesAreCutToTheirSlotsAndRedefinitionReusesTheSlot) {
  int code = -1;
  const char* longName = "vxo_abcdefghijklmnopqrstuvwxyz0123";  // 34 characters
  ASSERT_TRUE(define({.handle = 50, .name = longName, .unit = "kV->400myA_and_more"}, &code));
  char* unit = nullptr;
  char* name = nullptr;
  ASSERT_TRUE(dbGetUnitAndTagNameByHandle(50, &unit, &name, &code));
  EXPECT_EQ(std::string(name), std::string(longName, 29));
  EXPECT_EQ(std::string(unit), "kV->400my");

  ASSERT_TRUE(define({.handle = 51, .name = "vxi_other"}, &code));
  ASSERT_TRUE(define({.handle = 50, .name = "vxi_renamed"}, &code));
  EXPECT_EQ(shared_mem->tag.iRef[0], 50);
  EXPECT_STREQ(const_cast<const char*>(shared_mem->tag.name[0]), "vxi_renamed");
  EXPECT_EQ(shared_mem->tag.iRef[2], -1);
  // Three attaches, two slots: the count runs one ahead, as after the start-up.
  EXPECT_EQ(dbTagNameListStatus(), 3);
}

TEST_F(TagDefinitionTest, SortOrdersNamesStrictlyAndClosesTheList) {
  int code = -1;
  const char* names[] = {"vxo_mode", "vxi_sumalarm", "vxo_mode1kora", "vxg_groupvi", "vxi_di10", "vxi_di01", "vxo_Upper"};
  int handle = 200;
  for (const char* n : names) ASSERT_TRUE(define({.handle = handle++, .name = n}, &code));
  ASSERT_TRUE(define({.handle = 201, .name = "vxi_sumalarm"}, &code));  // a redefinition
  ASSERT_TRUE(sortTagnames());
  ASSERT_TRUE(dbIsSorted());
  const int count = -dbTagNameListStatus();
  ASSERT_EQ(count, 8);
  // The redefinition's extra count is an empty slot at the start.
  EXPECT_STREQ(const_cast<const char*>(shared_mem->tag.name[0]), "");
  EXPECT_EQ(shared_mem->tag.iRef[0], -1);
  for (int slot = 1; slot + 1 < count; ++slot) {
    EXPECT_LT(std::strcmp(const_cast<const char*>(shared_mem->tag.name[slot]),
                          const_cast<const char*>(shared_mem->tag.name[slot + 1])),
              0)
        << slot;
  }
  EXPECT_STREQ(const_cast<const char*>(shared_mem->tag.name[1]), "vxg_groupvi");
  EXPECT_STREQ(const_cast<const char*>(shared_mem->tag.name[2]), "vxi_di01");
  for (int i = 0; i < 7; ++i) EXPECT_EQ(handleOf(names[i]), 200 + i) << names[i];

  // Closed: no name can be attached, and sorting again keeps the list as it is.
  EXPECT_FALSE(attachTagAndUnit("vxo_late", "", 300));
  EXPECT_FALSE(define({.handle = 300, .name = "vxo_late"}, &code));
  EXPECT_EQ(code, kInitNameRefused);
  EXPECT_TRUE(sortTagnames());
  EXPECT_EQ(dbTagNameListStatus(), -count);
  EXPECT_EQ(handleOf("vxo_mode"), 200);
}

TEST_F(TagDefinitionTest, FullNameListRefusesTheNextName) {
  int code = -1;
  for (int i = 0; i < kNoOfNameSlots; ++i) {
    ASSERT_TRUE(define({.handle = i, .name = ("vxi_t" + std::to_string(i)).c_str()}, &code)) << i;
  }
  EXPECT_FALSE(define({.handle = 1300, .name = "vxi_onetoomany"}, &code));
  EXPECT_EQ(code, kInitNameRefused);
  EXPECT_TRUE(attachTagName("vxi_samehandle", 5));  // a handle with a slot still renames
  // The count now runs past the slots; the sort and the lookups stay inside them.
  ASSERT_EQ(dbTagNameListStatus(), kNoOfNameSlots + 1);
  ASSERT_TRUE(sortTagnames());
  EXPECT_EQ(dbTagNameListStatus(), -kNoOfNameSlots);
  EXPECT_EQ(handleOf("vxi_samehandle"), 5);
  EXPECT_EQ(handleOf("vxi_t1199"), 1199);
}

TEST_F(TagDefinitionTest, NamelessIntegersTakeAnyValueAndSurviveFactoryReset) {
  int code = -1;
  ASSERT_TRUE(dbInitSharedInt(1220, -96563296, &code));
  EXPECT_EQ(code, kInitOk);
  const Bit32tag config = flagsOf(1220);
  EXPECT_EQ(config.bits.objectType, 0u);
  EXPECT_TRUE(config.bits.initialized);
  EXPECT_TRUE(config.bits.notInMasterTaglist);
  EXPECT_TRUE(config.bits.noReset);
  EXPECT_FALSE(config.bits.store);
  EXPECT_EQ(shared_mem->parameter.iValue[1220], -96563296);
  EXPECT_TRUE(dbSetValueByHandle(1220, 123456789, &code));
  EXPECT_FALSE(dbInMasterTagList(1220));
  shared_mem->parameter.iValue[1220] = 0x7FFFFFFE;
  dbIncrementByHandle(1220);  // an unbounded counter
  EXPECT_EQ(shared_mem->parameter.iValue[1220], 0x7FFFFFFF);
  EXPECT_FALSE(dbInitSharedInt(1500, 0, &code));
  EXPECT_EQ(code, kInitBadHandle);
}

class GroupTest : public StoreTest {
 protected:
  // A group tag and four members holding 5, 7, 9 and 10.
  void SetUp() override {
    StoreTest::SetUp();
    int code = -1;
    ASSERT_TRUE(define({.handle = 1194, .name = "vxg_groupvi", .config = kGroupFlag}, &code));
    ASSERT_TRUE(define({.handle = 1362, .name = "vxg_sparkrecovcurve", .config = kGroupFlag}, &code));
    const int values[] = {5, 7, 9, 10};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(dbInitSharedInt(kMembers[i], values[i], &code));
  }
  static constexpr int kMembers[] = {1352, 1353, 1354, 1355};
};

TEST_F(GroupTest, GroupTagsAreNumberedInDefinitionOrder) {
  EXPECT_EQ(shared_mem->parameter.iValue[1194], 1);
  EXPECT_EQ(shared_mem->parameter.iValue[1362], 2);
  EXPECT_TRUE(dbIsGroup(1194));
  EXPECT_TRUE(shared_mem->parameter.config[1362].all & (1u << 21));
  EXPECT_EQ(shared_mem->group.noOfAttacedVars, 2);
}

TEST_F(GroupTest, StringShowsColumnsOfRows) {
  ASSERT_TRUE(dbGroupSetupSize(1362, 2, 2));
  EXPECT_TRUE(dbGroupHandleAttach(1362, 0, 0, kMembers[0]));
  EXPECT_TRUE(dbGroupHandleAttach(1362, 1, 0, kMembers[1]));
  EXPECT_TRUE(dbGroupHandleAttach(1362, 0, 1, kMembers[2]));
  EXPECT_TRUE(dbGroupHandleAttach(1362, 1, 1, kMembers[3]));
  char text[kGroupTextSize] = "";
  ASSERT_TRUE(dbGroupGetStringData(1362, text));
  EXPECT_STREQ(text, "5,7;9,10");
  // The text is appended to what the caller has.
  char byName[kGroupTextSize] = "curve ";
  ASSERT_TRUE(dbGroupGetStringDataByTagName("vxg_sparkrecovcurve", byName));
  EXPECT_STREQ(byName, "curve 5,7;9,10");

  groupType data{};
  ASSERT_TRUE(dbGroupGetData(1362, &data));
  EXPECT_EQ(data.handleRef, 1362);
  EXPECT_EQ(data.value[1][1], 10);
  groupType refs{};
  ASSERT_TRUE(dbGroupGetReference(1362, &refs));
  EXPECT_EQ(refs.value[0][1], kMembers[2]);
}

TEST_F(GroupTest, EmptyCellsShowZeroAndCellsOutsideTheSizeRefuseHandles) {
  ASSERT_TRUE(dbGroupSetupSize(1194, 2, 3));
  ASSERT_TRUE(dbGroupSetupSize(1362, 1, 1));
  EXPECT_TRUE(dbGroupHandleAttach(1194, 1, 2, kMembers[3]));
  EXPECT_FALSE(dbGroupHandleAttach(1194, 2, 0, kMembers[0]));  // outside 2 x 3
  EXPECT_FALSE(dbGroupHandleAttach(1362, 0, 1, kMembers[0]));  // outside 1 x 1, second group
  EXPECT_FALSE(dbGroupHandleAttach(1194, 0, 0, kNoOfHandles));
  EXPECT_FALSE(dbGroupHandleAttach(1194, 0, 0, -1));
  EXPECT_FALSE(dbGroupHandleAttach(1194, 32, 0, kMembers[0]));
  EXPECT_FALSE(dbGroupHandleAttach(1352, 0, 0, kMembers[0]));  // not a group tag
  char text[kGroupTextSize] = "";
  ASSERT_TRUE(dbGroupGetStringData(1194, text));
  EXPECT_STREQ(text, "0,0;0,0;0,10");
  groupType refs{};
  ASSERT_TRUE(dbGroupGetReference(1194, &refs));
  EXPECT_EQ(refs.value[0][0], kGroupCellEmpty);
  EXPECT_FALSE(dbGroupSetupSize(1194, 33, 1));
  EXPECT_FALSE(dbGroupSetupSize(1194, 1, 9));
  EXPECT_FALSE(dbGroupGetStringData(1352, text));
}

TEST_F(GroupTest, GroupNumberOutsideTheSlotsIsNoGroup) {
  int code = -1;
  // The group tag's value is writable (no range); a wild value must not reach beyond the slots.
  ASSERT_TRUE(dbSetValueByHandle(1194, 4000, &code));
  groupType data{};
  EXPECT_FALSE(dbGroupGetData(1194, &data));
  EXPECT_FALSE(dbGroupSetupSize(1194, 1, 1));
  char text[kGroupTextSize] = "";
  EXPECT_FALSE(dbGroupGetStringData(1194, text));
}

TEST_F(GroupTest, LargestGroupTextFitsItsBuffer) {
  ASSERT_TRUE(dbGroupSetupSize(1194, kGroupRows, kGroupColumns));
  int code = -1;
  ASSERT_TRUE(dbInitSharedInt(1400, -2147483647 - 1, &code));
  for (short row = 0; row < kGroupRows; ++row) {
    for (short column = 0; column < kGroupColumns; ++column) ASSERT_TRUE(dbGroupHandleAttach(1194, row, column, 1400));
  }
  char text[kGroupTextSize + 1];
  std::memset(text, '#', sizeof text);
  text[0] = '\0';
  ASSERT_TRUE(dbGroupGetStringData(1194, text));
  EXPECT_EQ(std::strlen(text), static_cast<size_t>(kGroupRows * kGroupColumns * 12 - 1));
  EXPECT_EQ(text[kGroupTextSize], '#');
}

TEST_F(GroupTest, EveryGroupSlotTakenRefusesTheNextGroup) {
  int code = -1;
  for (int handle = 1; handle <= kNoOfGroups - 3; ++handle) {
    ASSERT_TRUE(define({.handle = handle, .config = kGroupFlag}, &code)) << handle;
  }
  EXPECT_EQ(shared_mem->parameter.iValue[kNoOfGroups - 3], kNoOfGroups - 1);
  EXPECT_FALSE(define({.handle = 20, .config = kGroupFlag}, &code));
  EXPECT_EQ(code, kInitGroupRefused);
  EXPECT_FALSE(dbIsGroup(20));
}

}  // namespace
