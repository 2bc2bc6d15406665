#include "sharedmem/tagaccess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <thread>

#include "private_store.h"

namespace {

using orvix::testing::StoreTest;

constexpr int kCounter = 10;    // internal integer without range
constexpr int kSetting = 20;    // range 10..20
constexpr int kFree = 30;       // min = max = default = 0
constexpr int kProtected = 40;  // range 0..100, protected
constexpr int kUndefined = 50;
constexpr int kText = 60;
constexpr int kScaled = 70;

// Defines a tag the way the start-up does, without depending on the definition table.
void defineTag(int handle, int min, int max, int def, unsigned objectType = 1) {
  volatile auto& p = shared_mem->parameter;
  p.iMin[handle] = min;
  p.iMax[handle] = max;
  p.iDefault[handle] = def;
  p.iValue[handle] = def;
  Bit32tag config{};
  config.bits.objectType = objectType;
  config.bits.initialized = 1;
  config.bits.noRangeCheck = (min == 0 && max == 0 && def == 0) ? 1 : 0;
  p.config[handle].all = config.all;
}

void attachName(int handle, const char* name, const char* unit = "") {
  volatile auto& names = shared_mem->tag;
  const int slot = names.status;
  std::strncpy(const_cast<char*>(names.name[slot]), name, kTagNameSize - 1);
  std::strncpy(const_cast<char*>(names.unit[slot]), unit, kTagUnitSize - 1);
  names.iRef[slot] = handle;
  names.status = slot + 1;
}

void attachText(int handle) {
  volatile auto& texts = shared_mem->text;
  const int entry = texts.noOfAttachedTexts;
  texts.iRef[entry] = static_cast<int16_t>(handle);
  texts.length[entry] = 12;
  texts.noOfAttachedTexts = static_cast<char>(entry + 1);
}

// Sorted by byte order, as the start-up leaves the list.
void sortNamesForTest() {
  volatile auto& names = shared_mem->tag;
  const int n = names.status;
  for (int pass = 0; pass < n; ++pass) {
    for (int y = 0; y + 1 < n; ++y) {
      if (std::strcmp(const_cast<const char*>(names.name[y]), const_cast<const char*>(names.name[y + 1])) > 0) {
        char name[kTagNameSize];
        std::memcpy(name, const_cast<const char*>(names.name[y]), kTagNameSize);
        std::memcpy(const_cast<char*>(names.name[y]), const_cast<const char*>(names.name[y + 1]), kTagNameSize);
        std::memcpy(const_cast<char*>(names.name[y + 1]), name, kTagNameSize);
        const int ref = names.iRef[y];
        names.iRef[y] = names.iRef[y + 1];
        names.iRef[y + 1] = ref;
      }
    }
  }
  names.status = -n;
}

class TagAccessTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    defineTag(kCounter, 0, 0, 0, 0);
    defineTag(kSetting, 10, 20, 15);
    defineTag(kFree, 0, 0, 0);
    defineTag(kProtected, 0, 100, 5);
    shared_mem->parameter.config[kProtected].bits.protect = 1;
    defineTag(kText, 0, 0, 0);
    defineTag(kScaled, 0, 0, 0);
    attachName(kSetting, "vxo_setting", "mA");
    attachName(kProtected, "vxo_protected");
    attachName(kUndefined, "vxo_undefined");
    attachName(kText, "vxo_text");
    attachName(kScaled, "vxi_scaled", "kV");
    attachText(kText);
  }
  int code_ = -1;
};

TEST_F(TagAccessTest, CheckedWriteAcceptsExactBoundsAndRefusesOneBeyond) {
  EXPECT_TRUE(dbSetValueByHandle(kSetting, 10, &code_));
  EXPECT_EQ(code_, kTagOk);
  EXPECT_TRUE(dbSetValueByHandle(kSetting, 20, &code_));
  EXPECT_FALSE(dbSetValueByHandle(kSetting, 21, &code_));
  EXPECT_EQ(code_, kTagOutOfRange);
  EXPECT_FALSE(dbSetValueByHandle(kSetting, 9, &code_));
  EXPECT_EQ(code_, kTagOutOfRange);
  EXPECT_EQ(dbReadValueByHandle(kSetting), 20);

  // No range: anything goes, for a tag without limits and for an internal integer.
  EXPECT_TRUE(dbSetValueByHandle(kFree, INT_MIN, &code_));
  shared_mem->parameter.iMax[kCounter] = 5;  // a range on an internal integer is never checked
  EXPECT_TRUE(dbSetValueByHandle(kCounter, 1000, &code_));
}

TEST_F(TagAccessTest, BadAndUndefinedHandlesAreRefusedWithTheirCodes) {
  int value = 123;
  for (const int handle : {-1, 1500, INT_MAX, INT_MIN}) {
    EXPECT_FALSE(dbGetValueByHandle(handle, &value, &code_)) << handle;
    EXPECT_EQ(code_, kTagBadHandle);
    EXPECT_FALSE(dbSetValueByHandle(handle, 1, &code_));
    EXPECT_EQ(code_, kTagBadHandle);
    EXPECT_EQ(dbReadValueByHandle(handle), 0);
    EXPECT_EQ(status(handle), 0);
  }
  shared_mem->parameter.iValue[kUndefined] = 77;  // left over, but not a defined tag
  EXPECT_FALSE(dbGetValueByHandle(kUndefined, &value, &code_));
  EXPECT_EQ(code_, kTagUninitialised);
  EXPECT_EQ(value, 123);
  EXPECT_EQ(dbReadValueByHandle(kUndefined), 0);
  EXPECT_EQ(status(kUndefined), 0);
  EXPECT_EQ(sTick(kUndefined), 0);
  EXPECT_EQ(sTick(kSetting), 15);
  EXPECT_FALSE(dbIsEqual(kUndefined, 77));
  EXPECT_FALSE(dbIsLessThan(kUndefined, 100));
  EXPECT_TRUE(dbIsLessThan(kSetting, 16));
  EXPECT_FALSE(dbIsLessThan(kSetting, 15));
}

TEST_F(TagAccessTest, ProtectionHoldsOnEveryWritePathButCounting) {
  EXPECT_FALSE(dbSetValueByHandle(kProtected, 6, &code_));
  EXPECT_EQ(code_, kTagProtected);
  dbSetBitByHandle(kProtected, 4);
  dbClearBitByHandle(kProtected, 0);
  dbToggleBitByHandle(kProtected, 1);
  EXPECT_FALSE(dbCopyValueByHandles(kProtected, kSetting));
  objectType obj{};
  ASSERT_TRUE(dbGetObjectByHandle(kProtected, &obj, &code_));
  obj.iValue = 7;
  obj.iMax = 1000;
  EXPECT_FALSE(dbSetObjectByHandle(kProtected, obj, &code_));
  EXPECT_EQ(code_, kTagProtected);
  EXPECT_FALSE(dbSetValueByTagName("vxo_protected", 8, &code_));
  EXPECT_EQ(code_, 103);
  EXPECT_FALSE(dbSetValueAndSaveByTagname("vxo_protected", 8, &code_));
  EXPECT_EQ(code_, 103);
  EXPECT_FALSE(dbSetObjectByTagName("vxo_protected", obj, &code_));
  EXPECT_EQ(code_, 103);
  EXPECT_EQ(dbReadValueByHandle(kProtected), 5);
  EXPECT_EQ(shared_mem->parameter.iMax[kProtected], 100);

  dbIncrementByHandle(kProtected);
  EXPECT_EQ(dbReadValueByHandle(kProtected), 6);
}

TEST_F(TagAccessTest, CountersStopAtTheirMaximumOrWrapWhenUnbounded) {
  defineTag(kCounter, 0, 10, 9);
  dbIncrementByHandle(kCounter);
  dbIncrementByHandle(kCounter);
  EXPECT_EQ(dbReadValueByHandle(kCounter), 10);

  defineTag(kCounter, 0, 0, 0, 0);
  shared_mem->parameter.iValue[kCounter] = INT_MAX;
  dbIncrementByHandle(kCounter);
  EXPECT_EQ(dbReadValueByHandle(kCounter), INT_MIN);
  dbIncrementByHandle(kCounter);
  EXPECT_EQ(dbReadValueByHandle(kCounter), INT_MIN + 1);

  dbIncrementByHandle(-1);  // out of the store: nothing happens
  dbIncrementByHandle(1500);
}

// A counter that one thread counts up while another takes it again and again: every count
// is taken once, none lost, none twice.
TEST_F(TagAccessTest, TakingACounterLosesNoConcurrentCount) {
  defineTag(kCounter, 0, 0, 0, 0);
  constexpr int kCounts = 10000000;
  std::atomic<bool> counting{true};
  std::thread counter([&] {
    for (int i = 0; i < kCounts; ++i) dbIncrementByHandle(kCounter);
    counting = false;
  });
  int64_t taken = 0;
  int value = 0;
  while (counting) {
    ASSERT_TRUE(dbTakeValueByHandle(kCounter, &value, &code_));
    taken += value;
  }
  counter.join();
  ASSERT_TRUE(dbTakeValueByHandle(kCounter, &value, &code_));
  EXPECT_EQ(taken + value, kCounts);
  EXPECT_EQ(dbReadValueByHandle(kCounter), 0);
  EXPECT_FALSE(dbTakeValueByHandle(kUndefined, &value, &code_));
  EXPECT_EQ(code_, kTagUninitialised);
}

TEST_F(TagAccessTest, BitOperationsGoThroughTheCheckedWrite) {
  dbSetBitByHandle(kFree, 31);
  EXPECT_EQ(dbReadValueByHandle(kFree), INT_MIN);
  EXPECT_TRUE(dbReadBitByHandle(kFree, 31));
  dbToggleBitByHandle(kFree, 0);
  EXPECT_EQ(dbReadValueByHandle(kFree), INT_MIN + 1);
  dbClearBitByHandle(kFree, 31);
  EXPECT_EQ(dbReadValueByHandle(kFree), 1);
  dbSetBitByHandle(kFree, 32);  // no such bit
  EXPECT_EQ(dbReadValueByHandle(kFree), 1);
  EXPECT_FALSE(dbReadBitByHandle(kFree, 32));

  defineTag(kCounter, 0, 1, 0);  // a flag: only 0 and 1 are in range
  dbSetBitByHandle(kCounter, 1);
  EXPECT_EQ(dbReadValueByHandle(kCounter), 0);
  dbSetBitByHandle(kCounter, 0);
  EXPECT_EQ(dbReadValueByHandle(kCounter), 1);
}

TEST_F(TagAccessTest, LookupCodesBeforeAndAfterSorting) {
  int handle = 4711;
  shmStructbZero();
  EXPECT_FALSE(dbGetHandleByTagname("vxo_setting", &handle, &code_));
  EXPECT_EQ(code_, kLookupNoNames);
  EXPECT_EQ(handle, 4711);

  SetUp();
  EXPECT_FALSE(dbIsSorted());
  EXPECT_TRUE(dbGetHandleByTagname("vxo_setting", &handle, &code_));
  EXPECT_EQ(handle, kSetting);
  EXPECT_FALSE(dbGetHandleByTagname("vxo_settin", &handle, &code_));
  EXPECT_EQ(code_, kLookupNotFound);
  EXPECT_EQ(handle, -1);
  const std::string thirty(30, 'x');
  EXPECT_FALSE(dbGetHandleByTagname(thirty.c_str(), &handle, &code_));
  EXPECT_EQ(code_, kLookupNameTooLong);
  EXPECT_FALSE(dbGetHandleByTagname(std::string(29, 'x').c_str(), &handle, &code_));
  EXPECT_EQ(code_, kLookupNotFound);  // 29 characters is a valid length

  sortNamesForTest();
  EXPECT_TRUE(dbIsSorted());
  EXPECT_EQ(dbTagNameListStatus(), -5);
  for (const auto& [name, expected] : {std::pair{"vxi_scaled", kScaled}, {"vxo_protected", kProtected},
                                       {"vxo_setting", kSetting}, {"vxo_text", kText}, {"vxo_undefined", kUndefined}}) {
    EXPECT_TRUE(dbGetHandleByTagname(name, &handle, &code_)) << name;
    EXPECT_EQ(handle, expected) << name;
  }
  for (const char* unknown : {"a", "vxo_s", "vxo_settingz", "zzz"}) {
    EXPECT_FALSE(dbGetHandleByTagname(unknown, &handle, &code_)) << unknown;
    EXPECT_EQ(code_, kLookupNotFound);
    EXPECT_EQ(handle, -1);
  }
  // Length is no longer checked once sorted: a long name is simply not found.
  EXPECT_FALSE(dbGetHandleByTagname(thirty.c_str(), &handle, &code_));
  EXPECT_EQ(code_, kLookupNotFound);
}

TEST_F(TagAccessTest, UnsortedScanEndsAtTheFirstFreeSlot) {
  volatile auto& names = shared_mem->tag;
  names.iRef[2] = -1;  // slot of vxo_undefined freed: the names behind it are out of reach
  int handle = 0;
  EXPECT_TRUE(dbGetHandleByTagname("vxo_protected", &handle, &code_));
  EXPECT_FALSE(dbGetHandleByTagname("vxo_text", &handle, &code_));
  EXPECT_EQ(code_, kLookupNotFound);
}

TEST_F(TagAccessTest, ByNameOperationsAddOneHundredToHandleCodes) {
  int value = 0;
  EXPECT_FALSE(dbSetValueByTagName("vxo_setting", 99, &code_));
  EXPECT_EQ(code_, 104);
  EXPECT_FALSE(dbSetValueByTagName("vxo_undefined", 1, &code_));
  EXPECT_EQ(code_, 102);
  EXPECT_FALSE(dbSetValueByTagName("vxo_nothing", 1, &code_));
  EXPECT_EQ(code_, kLookupNotFound);
  objectType obj{};
  EXPECT_FALSE(dbGetObjectByTagName("vxo_undefined", &obj, &code_));
  EXPECT_EQ(code_, 102);
  attachName(1600, "vxo_beyond");  // a name slot pointing outside the store
  EXPECT_FALSE(dbGetObjectByTagName("vxo_beyond", &obj, &code_));
  EXPECT_EQ(code_, 101);
  EXPECT_FALSE(dbGetValueByTagname("vxo_beyond", &value, &code_));

  EXPECT_TRUE(dbGetValueByTagname("vxo_setting", &value, &code_));
  EXPECT_EQ(value, 15);
  EXPECT_EQ(getValueByTagname("vxo_setting"), 15);
  EXPECT_EQ(getValueByTagname("vxo_nothing"), -1);
  getValueByTagName("vxi_scaled", &value);
  EXPECT_EQ(value, 0);
  dbSetValueByHandle(kScaled, 42, &code_);
  getValueByTagName("vxi_scaled", &value);
  EXPECT_EQ(value, 42);
  sortNamesForTest();
  getValueByTagName("vxo_setting", &value);
  EXPECT_EQ(value, 15);
  getValueByTagName("vxo_nothing", &value);
  EXPECT_EQ(value, 0);
}

TEST_F(TagAccessTest, SaveValueFollowsOnlyStoredSettings) {
  EXPECT_TRUE(dbSetValueAndSaveByTagname("vxo_setting", 12, &code_));
  EXPECT_EQ(shared_mem->parameter.iSaveValue[kSetting], 0);
  shared_mem->parameter.config[kSetting].bits.store = 1;
  EXPECT_TRUE(dbSetValueAndSaveByTagname("vxo_setting", 13, &code_));
  EXPECT_EQ(shared_mem->parameter.iSaveValue[kSetting], 13);
  EXPECT_FALSE(dbSetValueAndSaveByTagname("vxo_setting", 30, &code_));
  EXPECT_EQ(shared_mem->parameter.iSaveValue[kSetting], 13);
}

TEST_F(TagAccessTest, RangeQueries) {
  EXPECT_TRUE(dbIsWithinRange("vxo_setting", 10));
  EXPECT_TRUE(dbIsWithinRange("vxo_setting", 20));
  EXPECT_FALSE(dbIsWithinRange("vxo_setting", 21));
  EXPECT_TRUE(dbIsWithinRange("vxi_scaled", INT_MIN));
  EXPECT_FALSE(dbIsWithinRange("vxo_nothing", 0));

  int value = -1;
  EXPECT_FALSE(dbGetMaximumValueByHandle(kFree, &value));
  EXPECT_EQ(value, -1);
  EXPECT_TRUE(dbGetMaximumValueByHandle(kSetting, &value));
  EXPECT_EQ(value, 20);
  EXPECT_TRUE(dbGetMinimumValueByHandle(kSetting, &value));
  EXPECT_EQ(value, 10);
  EXPECT_TRUE(dbGetDefaultValueByHandle(kSetting, &value));
  EXPECT_EQ(value, 15);
  EXPECT_FALSE(dbGetMaximumValueByHandle(kUndefined, &value));  // reads, but not a defined tag
  EXPECT_FALSE(dbGetMaximumValueByHandle(-5, &value));
}

TEST_F(TagAccessTest, NewLimitsKeepMarkedBoundsAndPullTheValueIn) {
  constexpr int K = kKeepLimit;
  dbSetValueByHandle(kSetting, 18, &code_);
  dbEnforceNewLimits(kSetting, K, 16, K);  // lower the maximum only
  EXPECT_EQ(dbReadValueByHandle(kSetting), 16);
  EXPECT_EQ(shared_mem->parameter.iMax[kSetting], 16);
  EXPECT_EQ(shared_mem->parameter.iMin[kSetting], 10);
  EXPECT_EQ(shared_mem->parameter.iDefault[kSetting], 15);

  // The marker takes part in the checks as a number: a default above a kept maximum
  // (-98765) is out of range, so the call changes nothing.
  dbEnforceNewLimits(kSetting, 12, K, 13);
  EXPECT_EQ(shared_mem->parameter.iMin[kSetting], 10);
  dbEnforceNewLimits(kSetting, 12, 16, 13);  // raise the minimum; the default comes with it
  EXPECT_EQ(shared_mem->parameter.iMin[kSetting], 12);
  EXPECT_EQ(shared_mem->parameter.iMax[kSetting], 16);
  EXPECT_EQ(shared_mem->parameter.iDefault[kSetting], 13);

  dbSetValueByHandle(kSetting, 12, &code_);
  dbEnforceNewLimits(kSetting, 14, K, K);  // a kept default stays a real number
  EXPECT_EQ(dbReadValueByHandle(kSetting), 14);
  EXPECT_EQ(shared_mem->parameter.iDefault[kSetting], 13);

  dbEnforceNewLimits(kSetting, 30, 20, 25);  // max below min: refused
  dbEnforceNewLimits(kSetting, 0, 50, 60);   // default outside: refused
  EXPECT_EQ(shared_mem->parameter.iMin[kSetting], 14);
  EXPECT_EQ(shared_mem->parameter.iMax[kSetting], 16);
  dbEnforceNewLimits(kUndefined, 0, 10, 5);  // not a defined tag: refused
  EXPECT_EQ(shared_mem->parameter.iMax[kUndefined], 0);

  dbEnforceNewLimits(kFree, 0, 10, 5);  // limits switch range checking on
  EXPECT_FALSE(shared_mem->parameter.config[kFree].bits.noRangeCheck);
  EXPECT_FALSE(dbSetValueByHandle(kFree, 11, &code_));
  EXPECT_EQ(code_, kTagOutOfRange);
}

TEST_F(TagAccessTest, ObjectWriteKeepsAnOutOfRangeValueOutButTakesTheRest) {
  objectType obj{};
  ASSERT_TRUE(dbGetObjectByHandle(kSetting, &obj, &code_));
  EXPECT_EQ(obj.handle, kSetting);
  EXPECT_STREQ(obj.tag.name, "vxo_setting");
  EXPECT_STREQ(obj.tag.unit, "mA");
  obj.iValue = 50;  // checked against the old range 10..20
  obj.iMax = 100;
  obj.cExponent = -1;
  obj.modbus.address = 1234;
  EXPECT_TRUE(dbSetObjectByHandle(kSetting, obj, &code_));
  EXPECT_EQ(dbReadValueByHandle(kSetting), 15);
  EXPECT_EQ(shared_mem->parameter.iMax[kSetting], 100);
  EXPECT_EQ(shared_mem->parameter.cExponent[kSetting], -1);
  EXPECT_EQ(shared_mem->parameter.modbus.address[kSetting], 1234);

  ASSERT_TRUE(dbGetObjectByHandle(kFree, &obj, &code_));
  EXPECT_STREQ(obj.tag.name, "");
  char* unit = nullptr;
  char* name = nullptr;
  EXPECT_FALSE(dbGetUnitAndTagNameByHandle(kFree, &unit, &name, &code_));
  EXPECT_EQ(code_, 1);
  EXPECT_STREQ(name, "");
  EXPECT_FALSE(dbGetUnitAndTagNameByHandle(-1, &unit, &name, &code_));  // free slots have iRef -1
}

TEST_F(TagAccessTest, EngineeringTextKeepsEveryDigitAndTheSign) {
  char buffer[kEngineeringTextSize];
  char* text = buffer;
  const auto show = [&](int value, int exponent) {
    shared_mem->parameter.iValue[kScaled] = value;
    shared_mem->parameter.cExponent[kScaled] = static_cast<int8_t>(exponent);
    EXPECT_TRUE(dbGetStringValueByTagName("vxi_scaled", &text, &code_));
    return std::string(buffer);
  };
  EXPECT_EQ(show(1205, -2), "12.05");
  EXPECT_EQ(show(-1205, -2), "-12.05");
  EXPECT_EQ(show(-5, -1), "-0.5");
  EXPECT_EQ(show(7, -3), "0.007");
  EXPECT_EQ(show(-42, 0), "-42");
  EXPECT_EQ(show(5, 2), "500");
  EXPECT_EQ(show(0, 1), "0");
  EXPECT_EQ(show(-3, 1), "-30");
  EXPECT_EQ(show(INT_MIN, -3), "-2147483.648");
  EXPECT_EQ(show(1, -100).size(), static_cast<size_t>(kEngineeringTextSize - 1));  // cut, never overrun
  EXPECT_FALSE(dbGetStringValueByTagName("vxi_nothing", &text, &code_));
  EXPECT_EQ(code_, kLookupNotFound);
}

TEST_F(TagAccessTest, TextStoreChecksumAndRefusal) {
  EXPECT_EQ(dbSetModbusTextByHandle(kText, "ABC", &code_), 1003);
  EXPECT_EQ(dbReadValueByHandle(kText), 65 + 66 * 2 + 67 * 4);
  EXPECT_EQ(unsigned{shared_mem->parameter.config[kText].bits.textString}, 3u);
  EXPECT_TRUE(dbIsTextAttaced(kText));
  char* text = nullptr;
  EXPECT_TRUE(dbGetModbusTextByTagName("vxo_text", &text, &code_));
  EXPECT_STREQ(text, "ABC");

  EXPECT_EQ(dbSetModbusTextByTagName("vxo_text", "AB C", &code_), 2);
  EXPECT_EQ(dbReadValueByHandle(kText), 197);
  EXPECT_STREQ(const_cast<const char*>(shared_mem->text.txt[0]), "AB");

  EXPECT_EQ(dbSetModbusTextByHandle(kText, "", &code_), 1000);  // cleared, not left stale
  EXPECT_EQ(dbReadValueByHandle(kText), 0);
  EXPECT_FALSE(dbIsTextAttaced(kText));
  EXPECT_FALSE(dbGetModbusTextByTagName("vxo_text", &text, &code_));
  EXPECT_STREQ(text, "-");

  EXPECT_EQ(dbSetModbusTextByHandle(kSetting, "ABC", &code_), 0);  // no text entry
  EXPECT_EQ(dbSetModbusTextByTagName("vxo_nothing", "ABC", &code_), 0);
  int index = 0;
  EXPECT_FALSE(dbGetTextIndexByHandle(kSetting, &index, &code_));
  EXPECT_EQ(index, 99);
  EXPECT_EQ(code_, 3);
  EXPECT_TRUE(dbGetTextIndexByHandle(kText, &index, &code_));
  EXPECT_EQ(index, 0);
}

TEST_F(TagAccessTest, LongTextsStayInsideTheirEntry) {
  shared_mem->text.txt[1][0] = 'Q';  // the neighbouring entry
  const std::string forty(40, 'a');
  EXPECT_EQ(dbSetModbusTextByHandle(kText, forty.c_str(), &code_), 1029);
  EXPECT_EQ(std::string(const_cast<const char*>(shared_mem->text.txt[0])), std::string(29, 'a'));
  EXPECT_EQ(shared_mem->text.txt[1][0], 'Q');
  EXPECT_EQ(unsigned{shared_mem->parameter.config[kText].bits.textString}, 29u % 16);

  // A shorter text leaves no stale bytes behind its terminator once read.
  dbSetModbusTextByHandle(kText, "XY", &code_);
  char* text = nullptr;
  EXPECT_TRUE(dbGetModbusTextByTagName("vxo_text", &text, &code_));
  EXPECT_STREQ(text, "XY");
  for (int i = 2; i < kTextSize; ++i) EXPECT_EQ(shared_mem->text.txt[0][i], 0) << i;
}

TEST_F(TagAccessTest, ModbusListAccessorsStayInsideTheList) {
  volatile auto& modbus = shared_mem->modbus;
  const auto entry = [&](int index, int handle, int address, int format) {
    Bit32Modbustag word{};
    word.bits.handleRef = static_cast<uint32_t>(handle);
    word.bits.address = static_cast<uint32_t>(address);
    word.bits.dataFormat = static_cast<uint32_t>(format);
    modbus.config[index].allModbus = word.allModbus;
    shared_mem->parameter.modbus.address[handle] = address;
  };
  entry(0, kSetting, 1100, 1);
  entry(1, kScaled, 200, 2);
  modbus.noOfAttacedVars = 2;
  EXPECT_EQ(dbGetModbusNoOfIndex(), 2);
  EXPECT_EQ(dbGetModbusAddress(1), 200);
  EXPECT_EQ(dbGetModbusDataFormat(1), 2);
  EXPECT_EQ(dbGetModbusHandlePointer(0), kSetting);
  EXPECT_EQ(dbGetModbusAddress(2), -1);
  EXPECT_EQ(dbGetModbusDataFormat(-1), -1);
  EXPECT_EQ(dbGetModbusHandlePointer(2), -1);
  EXPECT_FALSE(dbSetModbusLastValue(2, 5));
  EXPECT_TRUE(dbSetModbusLastValue(1, 5));
  EXPECT_EQ(dbGetModbusLastValue(1), 5);
  EXPECT_EQ(dbGetModbusIndex(kScaled), 1);
  EXPECT_EQ(dbGetModbusIndex(kFree), -1);
  EXPECT_TRUE(dbSetModbusIndexByHandle(kScaled, 0, &code_));
  EXPECT_FALSE(dbSetModbusIndexByHandle(kFree, 0, &code_));

  dbSetWordSwap(kSetting);  // a 16-bit register has no words to swap
  dbSetWordSwap(kScaled);
  EXPECT_FALSE(dbIsSwapWordBitSet(0));
  EXPECT_TRUE(dbIsSwapWordBitSet(1));
  EXPECT_FALSE(dbIsSwapWordBitSet(2));

  dbModbusProtectAll();
  EXPECT_TRUE(dbIsModbusProtected(0));
  EXPECT_TRUE(dbIsModbusProtected(1499));
  dbModbusUnprotect(kSetting);
  EXPECT_FALSE(dbIsModbusProtected(kSetting));
}

TEST_F(TagAccessTest, CanMapAccessorsByAddress) {
  volatile auto& can = shared_mem->canbus;
  Bit32Canbustag word{};
  word.bits.handleRef = kSetting;
  word.bits.dataLen = 2;
  word.bits.source = 3;
  can.config[180].allCanbus = word.allCanbus;
  can.noOfAttacedVars = 1;
  dbSetCanbusLastValue(180, -7);
  EXPECT_EQ(dbGetCanbusNoOfIndex(), 1);
  EXPECT_EQ(dbGetCanbusHandlePointer(180), kSetting);
  EXPECT_EQ(dbGetCanbusDataType(180), 2);
  EXPECT_EQ(dbGetCanbusSource(180), 3);
  EXPECT_EQ(dbGetCanbusLastValue(180), -7);
  EXPECT_EQ(dbGetCanbusHandlePointer(400), -1);
  dbSetCanbusLastValue(400, 1);  // beyond the map: ignored, nothing overwritten
  EXPECT_EQ(shared_mem->canbus.status, 0);
}

TEST_F(TagAccessTest, FlagReadersAndNameListing) {
  shared_mem->parameter.config[kCounter].bits.notInMasterTaglist = 1;
  EXPECT_FALSE(dbInMasterTagList(kCounter));
  EXPECT_TRUE(dbInMasterTagList(kSetting));
  EXPECT_FALSE(dbInMasterTagList(kUndefined));
  EXPECT_TRUE(dbIsProtected(kProtected));
  EXPECT_FALSE(dbIsProtected(-3));
  EXPECT_TRUE(dbIsInitialized(kSetting));
  EXPECT_FALSE(dbIsInitialized(kUndefined));

  ::testing::internal::CaptureStdout();
  printTagNames();
  const std::string listing = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(listing.find("vxo_setting\n"), std::string::npos);
  EXPECT_NE(listing.find("no of tagnames 5\n"), std::string::npos);
}

TEST_F(TagAccessTest, RefusalsPrintTheirDebugLines) {
  ::testing::internal::CaptureStdout();
  dbSetValueByTagName("vxo_setting", 99, &code_);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("[DEBUG] \33[32mSetting tag vxo_setting , value 99\33[0m\n"), std::string::npos);
  EXPECT_NE(out.find("[DEBUG] \33[31mdbSetValueByHandle Error code 4\33[0m\n"), std::string::npos);
  EXPECT_NE(out.find("[DEBUG] \33[31mError setting value\33[0m"), std::string::npos);
}

}  // namespace
