// The whole store as the database start-up builds it: counts, the telling rows of the
// definition table, the start-up's lists, the internal tags and the register map that
// a Modbus client sees.
#include "orxtags/storebuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "orxtags/internaltags.h"
#include "orxtags/tagtable.h"
#include "private_store.h"
#include "sharedmem/modesettings.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace {

using orvix::testing::StoreTest;

Bit32tag flagsOf(int handle) { return Bit32tag{.all = shared_mem->parameter.config[handle].all}; }

const char* nameInSlot(int slot) { return const_cast<const char*>(shared_mem->tag.name[slot]); }

int handleOf(const char* name) {
  int handle = -1;
  int code = 0;
  dbGetHandleByTagname(name, &handle, &code);
  return handle;
}

class TagStoreTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
};

TEST_F(TagStoreTest, NameListIsSortedWithTheTwoRedefinitionSlotsFirst) {
  // 959 table rows, 162 named internal tags and 2 measurement tags; handles 44 and 254
  // are named twice and leave one empty slot each at the start of the sorted list.
  const int counted = kNoOfGeneratedTags + 162 + 2;
  ASSERT_EQ(dbTagNameListStatus(), -counted);
  EXPECT_STREQ(nameInSlot(0), "");
  EXPECT_STREQ(nameInSlot(1), "");
  EXPECT_EQ(shared_mem->tag.iRef[0], -1);
  EXPECT_EQ(shared_mem->tag.iRef[1], -1);
  for (int slot = 2; slot + 1 < counted; ++slot) {
    ASSERT_LT(std::strcmp(nameInSlot(slot), nameInSlot(slot + 1)), 0) << nameInSlot(slot);
  }
  for (int slot = counted; slot < kNoOfNameSlots; ++slot) ASSERT_EQ(shared_mem->tag.iRef[slot], -1) << slot;

  // Every name finds its handle by binary search.
  for (const TagDefinition& row : generatedTagTable()) EXPECT_EQ(handleOf(row.tag), row.varNum) << row.tag;
  for (const InternalTagDefinition& row : internalTagTable()) EXPECT_EQ(handleOf(row.tag), row.varNum) << row.tag;
  EXPECT_FALSE(attachTagAndUnit("vxo_late", "", 1499));
}

TEST_F(TagStoreTest, ModbusListHoldsTheTableInOrderThenFourInternalTags) {
  ASSERT_EQ(dbGetModbusNoOfIndex(), 854 + 4);
  int index = 0;
  for (const TagDefinition& row : generatedTagTable()) {
    if (row.iModbus < 0) continue;
    ASSERT_EQ(dbGetModbusHandlePointer(index), row.varNum) << row.tag;
    EXPECT_EQ(dbGetModbusAddress(index), row.iModbus) << row.tag;
    EXPECT_EQ(dbGetModbusDataFormat(index), row.cDataFormat) << row.tag;
    EXPECT_EQ(shared_mem->parameter.modbus.address[row.varNum], row.iModbus) << row.tag;
    ++index;
  }
  ASSERT_EQ(index, 854);
  std::set<int> internal;
  for (; index < dbGetModbusNoOfIndex(); ++index) internal.insert(dbGetModbusHandlePointer(index));
  EXPECT_EQ(internal, (std::set<int>{1343, 1345, 1372, 1383}));
  // The redefinitions of 44 and 254 kept their first mapping and added none.
  EXPECT_GE(dbGetModbusIndex(44), 0);
  EXPECT_GE(dbGetModbusIndex(254), 0);
}

// Registers a Modbus client sees: every address within the ranges the unit serves,
// and no two register tags on the same register.
TEST_F(TagStoreTest, RegisterMapStaysInItsRangesWithoutOverlaps) {
  std::map<std::pair<int, int>, int> owner;  // (table, address) -> handle
  for (int index = 0; index < dbGetModbusNoOfIndex(); ++index) {
    const int format = dbGetModbusDataFormat(index);
    const int address = dbGetModbusAddress(index);
    const int handle = dbGetModbusHandlePointer(index);
    int table = 0;
    int words = 1;
    if (format == 0) {
      table = address >= 16384 ? 1 : 0;
      if (table == 0) {
        EXPECT_LE(address, 98) << handle;
      }
      if (table == 1) {
        EXPECT_LE(address, 16479) << handle;
      }
    } else {
      table = address >= 1024 ? 3 : 2;
      const int widths[] = {1, 1, 2, 12, 7};
      words = (table == 2 && format >= 3) ? 1 : widths[format];  // an input text shows its checksum
      if (table == 2) {
        EXPECT_LE(address + words - 1, 364) << handle;
      }
      if (table == 3) {
        EXPECT_LE(address + words - 1, 1594) << handle;
      }
    }
    for (int word = 0; word < words; ++word) {
      const auto [it, fresh] = owner.emplace(std::make_pair(table, address + word), handle);
      // Discrete input 92 is shared by vxi_ipsetchange and vxi_timesyncsetchange.
      if (!fresh && !(table == 0 && address == 92)) {
        ADD_FAILURE() << "handles " << it->second << " and " << handle << " share address " << address + word;
      }
    }
  }
  // Bit mappings must fall into the sixteen packed words of each kind.
  for (const auto& [key, handle] : owner) {
    if (key.first == 0) {
      EXPECT_LT(key.second, 256) << handle;
    }
    if (key.first == 1) {
      EXPECT_LT(key.second, 16640) << handle;
    }
  }
}

TEST_F(TagStoreTest, CanMapCoversAddressesZeroTo180WithTheirDirections) {
  ASSERT_EQ(dbGetCanbusNoOfIndex(), 181);
  std::map<int, int> directions;
  for (int address = 0; address <= 180; ++address) {
    const int handle = dbGetCanbusHandlePointer(address);
    EXPECT_EQ(shared_mem->parameter.canbus.address[handle], address) << handle;
    EXPECT_GE(dbGetCanbusDataType(address), 1);
    ++directions[dbGetCanbusSource(address)];
  }
  EXPECT_EQ(directions[2], 78);  // source 0: from the signal processor
  EXPECT_EQ(directions[1], 67);  // source 1: to the signal processor
  EXPECT_EQ(directions[3], 36);  // source 2: both ways
  for (int address = 181; address < kNoOfCanAddresses; ++address) EXPECT_EQ(dbGetCanbusDataType(address), 0);
}

TEST_F(TagStoreTest, TextsAndGroups) {
  ASSERT_EQ(shared_mem->text.noOfAttachedTexts, 1 + 13 + 2);
  int lengths12 = 0;
  int lengths7 = 0;
  for (int entry = 0; entry < shared_mem->text.noOfAttachedTexts; ++entry) {
    const int length = shared_mem->text.length[entry];
    lengths12 += length == 12;
    lengths7 += length == 7;
    EXPECT_EQ(dbGetModbusHandlePointer(shared_mem->text.modbusIndex[entry]), shared_mem->text.iRef[entry]);
  }
  EXPECT_EQ(lengths12, 1);
  EXPECT_EQ(lengths7, 15);
  char* text = nullptr;
  int code = 0;
  EXPECT_FALSE(dbGetModbusTextByTagName("vxo_unit_name", &text, &code));
  EXPECT_STREQ(text, "-");  // empty until the settings load its text

  EXPECT_EQ(shared_mem->group.noOfAttacedVars, 2);
  groupType cells{};
  ASSERT_TRUE(dbGroupGetReference(1194, &cells));
  for (int row = 0; row < 7; ++row) {
    EXPECT_EQ(cells.value[row][0], 347 + row);
    EXPECT_EQ(cells.value[row][1], 326 + row);
    EXPECT_EQ(cells.value[row][2], 333 + row);
    EXPECT_EQ(cells.value[row][3], 340 + row);
  }
  ASSERT_TRUE(dbGroupGetReference(1362, &cells));
  EXPECT_EQ(cells.value[5][0], 1364);
  EXPECT_EQ(cells.value[5][1], 1363);
  EXPECT_EQ(shared_mem->group.rows[2], 7);
  EXPECT_EQ(shared_mem->group.columns[2], 2);
  char values[kGroupTextSize] = "";
  ASSERT_TRUE(dbGroupGetStringDataByTagName("vxg_groupvi", values));
  EXPECT_STREQ(values, "0,0,0,0,0,0,0;0,0,0,0,0,0,0;0,0,0,0,0,0,0;0,0,0,0,0,0,0");
}

// The rows of the definition table given in full, as the store holds them.
struct TellingRow {
  int handle;
  const char* name;
  const char* unit;
  int exponent;
  int min;
  int max;
  int def;
  int modbus;
  int format;
  int can;
  int canSource;
  bool bit27;
};

constexpr TellingRow kTellingRows[] = {
    // handle name                       unit  exp  min    max    def    Modbus fmt CAN src  bit 27
    {0,    "vxi_sumalarm",           "",   0,   0,    0,     0,     0,     0, 0,   2,   false},
    {1,    "vxi_alwtemphighw",       "",   0,   0,    0,     0,     1,     0, 1,   0,   false},
    {13,   "vxi_alwrtcreinitw",      "",   0,   0,    0,     0,     13,    0, -1,  255, false},
    {94,   "vxo_tron",               "",   0,   0,    0,     0,     16384, 0, 45,  2,   false},
    {107,  "vxo_defpar",             "",   0,   0,    1,     0,     16397, 0, -1,  255, false},
    {196,  "vxi_ro_coil_00_0f",      "",   0,   0,    0,     0,     0,     1, -1,  255, false},
    {215,  "vxi_firingratio",        "%",  -2,  0,    0,     0,     19,    1, 71,  0,   false},
    {292,  "vxi_programversion",     "",   -1,  0,    0,     0,     112,   2, -1,  255, false},
    {477,  "vxi_mastertagversion",   "",   0,   0,    65535, 27,    -1,    1, 123, 1,   false},
    {480,  "vxi_heartbeat",          "",   0,   0,    0,     0,     -1,    1, 126, 2,   false},
    {559,  "vxo_actmodefiringratio", "%",  -2,  50,   10000, 10000, 1040,  1, -1,  255, false},
    {560,  "vxo_mode",               "",   0,   0,    5,     0,     1041,  1, -1,  255, false},
    {561,  "vxo_actmodevoltpeaklim", "kV", 0,   0,    999,   15,    1042,  1, 130, 1,   false},
    {619,  "vxo_date",               "",   0,   0,    0,     0,     1107,  2, -1,  255, false},
    {737,  "vxo_ao1",                "mA", 0,   0,    65535, 4,     1248,  1, 165, 1,   false},
    {767,  "vxo_unit_name",          "",   0,   0,    0,     0,     1280,  3, -1,  255, false},
    {788,  "vxo_korausedvref",       "kV", -1,  30,   1000,  200,   1399,  1, -1,  255, false},
    {912,  "vxo_daylogtype",         "",   0,   0,    3,     0,     -1,    1, -1,  255, false},
    {913,  "vxo_digaux1source",      "",   0,   0,    6,     0,     1572,  1, -1,  255, true},
    {923,  "vxo_applynetworkchange", "",   0,   0,    0,     0,     -1,    0, -1,  2,   false},
    {1306, "vxo_autorapplogic",      "",   0,   0,    0,     0,     16447, 0, -1,  255, true},
};

int directionOf(int canSource) {
  switch (canSource) {
    case 0: return 2;
    case 1: return 1;
    case 2: return 3;
    default: return 0;
  }
}

TEST_F(TagStoreTest, TellingRowsColumnByColumn) {
  const volatile auto& p = shared_mem->parameter;
  for (const TellingRow& row : kTellingRows) {
    SCOPED_TRACE(row.name);
    char* unit = nullptr;
    char* name = nullptr;
    int code = 0;
    ASSERT_TRUE(dbGetUnitAndTagNameByHandle(row.handle, &unit, &name, &code));
    EXPECT_STREQ(name, row.name);
    EXPECT_STREQ(unit, row.unit);
    EXPECT_EQ(p.cExponent[row.handle], row.exponent);
    EXPECT_EQ(p.iMin[row.handle], row.min);
    EXPECT_EQ(p.iMax[row.handle], row.max);
    EXPECT_EQ(p.iDefault[row.handle], row.def);
    EXPECT_EQ(p.modbus.address[row.handle], row.modbus);
    EXPECT_EQ(p.canbus.address[row.handle], row.can);
    EXPECT_EQ(static_cast<bool>(flagsOf(row.handle).bits.bit27), row.bit27);
    EXPECT_EQ(p.ucExec[row.handle], 0);
    if (row.modbus >= 0) {
      EXPECT_EQ(dbGetModbusDataFormat(dbGetModbusIndex(row.handle)), row.format);
    }
    if (row.can >= 0) {
      EXPECT_EQ(dbGetCanbusHandlePointer(row.can), row.handle);
      EXPECT_EQ(dbGetCanbusDataType(row.can), row.format + 1);
      EXPECT_EQ(dbGetCanbusSource(row.can), directionOf(row.canSource));
    }
    // Columns the store does not keep for an unmapped tag come from the table row.
    const auto tableRow = std::find_if(generatedTagTable().begin(), generatedTagTable().end(),
                                       [&](const TagDefinition& d) { return d.varNum == row.handle; });
    ASSERT_NE(tableRow, generatedTagTable().end());
    EXPECT_EQ(tableRow->cDataFormat, row.format);
    EXPECT_EQ(tableRow->ucCanSource, row.canSource);
  }
}

TEST_F(TagStoreTest, StartUpListsAreApplied) {
  forEachHandle(neverSavedHandles(), [](int handle) { EXPECT_FALSE(flagsOf(handle).bits.store) << handle; });
  forEachHandle(noFactoryResetHandles(), [](int handle) { EXPECT_TRUE(flagsOf(handle).bits.noReset) << handle; });
  forEachHandle(wordSwapHandles(), [](int handle) {
    const int index = dbGetModbusIndex(handle);
    ASSERT_GE(index, 0) << handle;
    EXPECT_EQ(dbGetModbusDataFormat(index), 2) << handle;
    EXPECT_TRUE(dbIsSwapWordBitSet(index)) << handle;
  });
  EXPECT_FALSE(dbIsSwapWordBitSet(dbGetModbusIndex(619)));  // vxo_date keeps its own layout
  EXPECT_EQ(dbReadValueByHandle(94), 0);    // vxo_tron
  EXPECT_EQ(dbReadValueByHandle(104), 0);   // vxo_testmode
  EXPECT_TRUE(flagsOf(94).bits.noReset);
  EXPECT_FALSE(flagsOf(94).bits.store);
}

TEST_F(TagStoreTest, EveryLiveSettingHasItsCopyInEveryMode) {
  for (const ModeSettingRow& row : modeSettingTable()) {
    EXPECT_TRUE(dbIsActualModeParameter(row.actualModeHandle));
    EXPECT_EQ(getModeSettingHandle(row.actualModeHandle, 0), row.actualModeHandle);
    for (int mode = 1; mode <= kNoOfOperatingModes; ++mode) {
      const int copy = row.firstModeHandle + row.modeStep * (mode - 1);
      EXPECT_EQ(getModeSettingHandle(row.actualModeHandle, mode), copy) << row.type << " " << mode;
      EXPECT_EQ(dbReadModeType(copy), row.type);
      EXPECT_TRUE(flagsOf(copy).bits.store) << copy;  // per-mode copies are saved
    }
  }
  EXPECT_EQ(getModeSettingHandle(handleOf("vxo_actmodecurrlim"), 3), 706);
  EXPECT_EQ(handleOf("vxo_mode3currlim"), 706);
  EXPECT_EQ(handleOf("vxo_mode6idlecurrent"), 734);
}

TEST_F(TagStoreTest, NamedInternalTags) {
  for (const InternalTagDefinition& row : internalTagTable()) {
    EXPECT_TRUE(flagsOf(row.varNum).bits.bit27) << row.tag;
    EXPECT_EQ(shared_mem->parameter.canbus.address[row.varNum], -1) << row.tag;
  }
  EXPECT_EQ(dbReadValueByHandle(handleOf("vxo_showseries4")), 1);
  EXPECT_EQ(dbReadValueByHandle(handleOf("vxi_korarefcurrk")), 500);
  EXPECT_EQ(dbReadValueByHandle(handleOf("vxo_virtualoutput05regbit")), 16);
  EXPECT_EQ(shared_mem->parameter.cExponent[1316], 1);
  int code = 0;
  EXPECT_FALSE(dbSetValueByTagName("vxi_miralimitreceived", 7, &code));
  EXPECT_EQ(code, 100 + kTagOutOfRange);
  EXPECT_TRUE(dbSetValueByTagName("vxi_miralimitreceived", -6, &code));
  char* unit = nullptr;
  char* name = nullptr;
  ASSERT_TRUE(dbGetUnitAndTagNameByHandle(1252, &unit, &name, &code));
  EXPECT_STREQ(name, "vxi_koralastqfull03");
  EXPECT_STREQ(unit, "Q");

  // The four with a Modbus address: two settings by the holding-register rule, two texts.
  EXPECT_EQ(shared_mem->parameter.modbus.address[1345], 1556);
  EXPECT_EQ(shared_mem->parameter.modbus.address[1383], 1076);
  EXPECT_EQ(shared_mem->parameter.modbus.address[1343], 364);
  EXPECT_EQ(shared_mem->parameter.modbus.address[1372], 363);
  EXPECT_TRUE(flagsOf(1345).bits.store);
  EXPECT_TRUE(flagsOf(1383).bits.store);
  char* text = nullptr;
  ASSERT_TRUE(dbGetModbusTextByTagName("vxi_positiontag", &text, &code));
  EXPECT_STREQ(text, "X");
  EXPECT_EQ(shared_mem->parameter.iValue[1372], 'X');
  EXPECT_EQ(flagsOf(1372).bits.textString, 1u);
}

TEST_F(TagStoreTest, InternalIntegersVersionsAndProductCode) {
  const volatile auto& p = shared_mem->parameter;
  for (int handle = 1220; handle <= 1229; ++handle) EXPECT_EQ(p.iValue[handle], -96563296);
  EXPECT_EQ(p.iValue[1190], 10000);
  EXPECT_EQ(p.iValue[1174], -1);
  const int zero[] = {1101, 1102, 1126, 1197, 1378, 1398, 1399, 1118, 1119, 1120, 1116, 1175};
  for (int handle : zero) EXPECT_EQ(p.iValue[handle], 0) << handle;
  for (const auto& runs : {internalSharedIntTable(), measurementSharedIntTable()}) {
    for (const SharedIntRun& run : runs) {
      for (int handle = run.first; handle <= run.last; ++handle) {
        const Bit32tag config = flagsOf(handle);
        EXPECT_TRUE(config.bits.initialized && config.bits.noReset && config.bits.notInMasterTaglist) << handle;
        EXPECT_EQ(config.bits.objectType, 0u) << handle;
      }
    }
  }
  EXPECT_FALSE(dbIsInitialized(1335));  // between the runs: never defined
  EXPECT_EQ(p.iValue[360], 455213312);  // vxi_systemversion 0x1B220100
  EXPECT_EQ(p.iValue[292], 18549760);   // vxi_programversion 0x11B0C00
  EXPECT_EQ(p.iValue[358], 28);
  EXPECT_EQ(p.iValue[359], 100);
  EXPECT_EQ(p.iValue[293], 11);         // vxi_productcode
  EXPECT_EQ(p.iValue[165], 0);          // vxo_scopegrabtrigger
  // Redefined handles carry their second definition.
  EXPECT_EQ(p.cExponent[254], -2);
  EXPECT_EQ(p.iMax[254], 10000);
  EXPECT_TRUE(flagsOf(254).bits.bit27);
  EXPECT_TRUE(flagsOf(44).bits.bit27);
}

TEST_F(TagStoreTest, FreshStoreIsAtItsDefaultsForAFactoryReset) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(dbFactoryReset(), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("no of parameters changed 0 \n"), std::string::npos);
}

using GeneratedTableTest = StoreTest;

TEST_F(GeneratedTableTest, RowsAloneGiveTheStoredSettingsAndMarks) {
  tagstore::resetStore();
  testing::internal::CaptureStdout();
  tagstore::defineGeneratedTags();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // no row refused
  int stored = 0;
  int marked = 0;
  for (const TagDefinition& row : generatedTagTable()) {
    stored += flagsOf(row.varNum).bits.store;
    marked += flagsOf(row.varNum).bits.bit27;
    if (flagsOf(row.varNum).bits.store) {
      EXPECT_EQ(std::strncmp(row.tag, "vxo_", 4), 0) << row.tag;
    }
  }
  EXPECT_EQ(stored, 467);
  EXPECT_EQ(marked, 35);
  EXPECT_TRUE(flagsOf(94).bits.store);  // vxo_tron by the rule, until the start-up clears it
}

}  // namespace
