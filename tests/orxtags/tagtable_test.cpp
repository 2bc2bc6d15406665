// Checks the generated tag table as data: the figures every program and the plant's register map rely on,
// and the values that the daemons' logic expects of individual tags.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "orxtags/tagtable.h"
#include "published_names.h"

namespace {

constexpr int kBit = 0, kWord = 1, kLong = 2, kText12 = 3, kText7 = 4;
constexpr int kCoilBase = 16384, kHoldingBase = 1024;

const TagDefinition* find(std::string_view name) {
  for (const TagDefinition& d : generatedTagTable())
    if (name == d.tag) return &d;
  return nullptr;
}

const TagDefinition& row(std::string_view name) {
  const TagDefinition* d = find(name);
  if (d == nullptr) ADD_FAILURE() << "no row " << name;
  static const TagDefinition missing{-1, 0, 0, 0, 0, "", "", -1, 0, -1, 0, 0, 255};
  return d != nullptr ? *d : missing;
}

const TagDefinition& row(int handle) {
  for (const TagDefinition& d : generatedTagTable())
    if (d.varNum == handle) return d;
  ADD_FAILURE() << "no row with handle " << handle;
  return row("");
}

bool hasModbus(const TagDefinition& d) { return d.iModbus >= 0; }
bool hasCan(const TagDefinition& d) { return d.iCanbus >= 0; }
bool noRangeCheck(const TagDefinition& d) { return d.iMin == 0 && d.iMax == 0 && d.iDefault == 0; }
std::string_view name(const TagDefinition& d) { return d.tag; }

// Registers a tag occupies in its Modbus table.
int registerWidth(const TagDefinition& d) {
  switch (d.cDataFormat) {
    case kLong: return 2;
    case kText12: return 12;
    case kText7: return 7;
    default: return 1;
  }
}

// The stored-setting rule of the definition routine: a holding register or a coil, and a real name.
bool storedByRule(const TagDefinition& d) {
  if (std::string_view(d.tag).size() <= 3) return false;
  return d.cDataFormat == kBit ? d.iModbus > kCoilBase - 1 : d.iModbus > kHoldingBase - 1;
}

template <typename Pred>
int countRows(Pred pred) {
  const auto table = generatedTagTable();
  return static_cast<int>(std::count_if(table.begin(), table.end(), pred));
}

// ------------------------------------------------------------------------------------------------
// Handles, names, units

TEST(TagTable, HandlesAndNamesInTableOrderAreThePublishedOnes) {
  std::vector<std::pair<int, std::string>> published;
  std::string_view rest = kPublishedHandlesAndNames;
  while (!rest.empty()) {
    const auto comma = rest.find(", ");
    const std::string_view item = rest.substr(0, comma);
    const auto space = item.find(' ');
    published.emplace_back(std::stoi(std::string(item.substr(0, space))), std::string(item.substr(space + 1)));
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 2);
  }
  const auto table = generatedTagTable();
  ASSERT_EQ(table.size(), published.size());
  ASSERT_EQ(table.size(), static_cast<size_t>(kNoOfGeneratedTags));
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].varNum, published[i].first) << "row " << i;
    EXPECT_EQ(name(table[i]), published[i].second) << "row " << i;
  }
}

TEST(TagTable, HandlesAreTheFixedSetAndNamesAreUniqueAndFitTheirSlots) {
  std::set<int> expected;
  for (auto [from, to] : {std::pair{0, 923}, {925, 933}, {1304, 1315}, {1324, 1331}, {1337, 1342}})
    for (int h = from; h <= to; ++h) expected.insert(h);
  std::set<int> handles;
  std::set<std::string_view> names;
  for (const TagDefinition& d : generatedTagTable()) {
    handles.insert(d.varNum);
    names.insert(d.tag);
    EXPECT_LE(std::string_view(d.tag).size(), 29u) << d.tag;
    // The store keeps 9 characters of a unit; the secondary voltage ratio's unit reads "kV->400my" there.
    if (name(d) != "vxo_ratiosecvolt") {
      EXPECT_LE(std::string_view(d.unit).size(), 9u) << d.tag;
    }
    EXPECT_TRUE(name(d).starts_with("vxi_") || name(d).starts_with("vxo_")) << d.tag;
    EXPECT_EQ(d.ucExec, 0) << d.tag;
  }
  EXPECT_EQ(handles, expected);
  EXPECT_EQ(names.size(), generatedTagTable().size());
  EXPECT_EQ(countRows([](const TagDefinition& d) { return name(d).starts_with("vxi_"); }), 452);
}

TEST(TagTable, UsesExactlyTheThirtyUnitTexts) {
  const std::set<std::string_view> expected{
      "%",    "mA",     "kV",  "ms",          "s",      "m",   "pls",     "kW",     "mA/s",   "V",
      "A",    "kV/ms",  "dm",  "C",           "mA/m^2", "spm", "kVA",     "Hz",     "kWh",    "samples",
      "min",  "V->5V",  "A->1A", "kV->400myA", "mA->1V", "m^2", "myA/m^2", "(0-32)", "(0-20)", "-1"};
  std::set<std::string_view> used;
  for (const TagDefinition& d : generatedTagTable())
    if (*d.unit != '\0') used.insert(d.unit);
  EXPECT_EQ(used, expected);
}

// ------------------------------------------------------------------------------------------------
// Exponents, formats, flags

TEST(TagTable, ExponentFigures) {
  EXPECT_EQ(countRows([](const TagDefinition& d) { return d.cExponent == 0; }), 808);
  EXPECT_EQ(countRows([](const TagDefinition& d) { return d.cExponent == -1; }), 106);
  EXPECT_EQ(countRows([](const TagDefinition& d) { return d.cExponent == -2; }), 43);
  EXPECT_EQ(countRows([](const TagDefinition& d) { return d.cExponent == -3; }), 2);
  EXPECT_EQ(row("vxi_testseccurr").cExponent, -3);
  EXPECT_EQ(row("vxi_testsecvolt").cExponent, -3);
}

TEST(TagTable, DataFormatFiguresAndTextTags) {
  const int expected[] = {207, 609, 129, 1, 13};
  for (int format = kBit; format <= kText7; ++format)
    EXPECT_EQ(countRows([format](const TagDefinition& d) { return d.cDataFormat == format; }), expected[format])
        << "format " << format;
  EXPECT_EQ(row("vxo_unit_name").cDataFormat, kText12);
  EXPECT_EQ(row("vxo_unit_name").iModbus, 1280);

  // Texts of 7 registers: the I/O group and auxiliary input names every 8 registers, and the fifth group.
  std::vector<std::string> sevenCharTexts;
  for (int group = 1; group <= 4; ++group) sevenCharTexts.push_back("vxo_iogr" + std::to_string(group) + "name");
  for (int aux = 1; aux <= 8; ++aux) sevenCharTexts.push_back("vxo_digaux" + std::to_string(aux) + "name");
  for (size_t k = 0; k < sevenCharTexts.size(); ++k) {
    EXPECT_EQ(row(sevenCharTexts[k]).cDataFormat, kText7) << sevenCharTexts[k];
    EXPECT_EQ(row(sevenCharTexts[k]).iModbus, 1293 + 8 * static_cast<int>(k)) << sevenCharTexts[k];
  }
  EXPECT_EQ(row("vxo_iogr5name").cDataFormat, kText7);
  EXPECT_EQ(row("vxo_iogr5name").iModbus, 1517);

  // A text tag's value is its checksum, so it must never be range-checked.
  for (const TagDefinition& d : generatedTagTable())
    if (d.cDataFormat >= kText12) {
      EXPECT_TRUE(noRangeCheck(d)) << d.tag;
    }
}

TEST(TagTable, FlagBit27IsTheOnlyConfigBitAndMarksThirtyFiveRows) {
  EXPECT_EQ(countRows([](const TagDefinition& d) { return d.iConfig == (1 << 27); }), 35);
  EXPECT_EQ(countRows([](const TagDefinition& d) { return d.iConfig != 0 && d.iConfig != (1 << 27); }), 0);
  EXPECT_EQ(row("vxo_digaux1source").iConfig, 1 << 27);
  EXPECT_EQ(row("vxo_autorapplogic").iConfig, 1 << 27);
  EXPECT_EQ(row("vxo_daylogtype").iConfig, 0);
  EXPECT_EQ(row("vxo_applynetworkchange").iConfig, 0);
}

// ------------------------------------------------------------------------------------------------
// Ranges: every row must define without error and keep its mappings

TEST(TagTable, EveryRangeHoldsItsDefault) {
  for (const TagDefinition& d : generatedTagTable())
    if (!noRangeCheck(d)) {
      EXPECT_TRUE(d.iMin <= d.iDefault && d.iDefault <= d.iMax) << d.tag;
    }
}

// A bit tag outside 0..1 or a 16-bit tag outside 0..65535 loses its Modbus, CAN and name mapping at
// definition time. No row of the table is meant to lose them.
TEST(TagTable, NoMappedRowHasARangeItsFormatCannotCarry) {
  for (const TagDefinition& d : generatedTagTable()) {
    if (!hasModbus(d) && !hasCan(d)) continue;
    if (d.cDataFormat == kBit) {
      EXPECT_GE(d.iMin, 0) << d.tag;
      EXPECT_LE(d.iMax, 1) << d.tag;
      EXPECT_LE(d.iDefault, 1) << d.tag;
    }
    if (d.cDataFormat == kWord) {
      EXPECT_GE(d.iMin, 0) << d.tag;
      EXPECT_LE(d.iMax, 65535) << d.tag;
    }
  }
}

// ------------------------------------------------------------------------------------------------
// The Modbus register map

TEST(TagTable, ModbusFiguresPerFormat) {
  EXPECT_EQ(countRows(hasModbus), 854);
  const auto mapped = [](int format) {
    return [format](const TagDefinition& d) { return hasModbus(d) && d.cDataFormat == format; };
  };
  EXPECT_EQ(countRows(mapped(kBit)), 191);
  EXPECT_EQ(countRows(mapped(kWord)), 542);
  EXPECT_EQ(countRows(mapped(kLong)), 107);
  std::map<int, std::pair<int, int>> span;  // format -> lowest, highest address
  for (const TagDefinition& d : generatedTagTable()) {
    if (!hasModbus(d)) continue;
    auto [it, fresh] = span.try_emplace(d.cDataFormat, d.iModbus, d.iModbus);
    it->second.first = std::min(it->second.first, d.iModbus);
    it->second.second = std::max(it->second.second, d.iModbus);
    if (d.cDataFormat == kBit) {
      EXPECT_TRUE(d.iModbus <= 98 || (d.iModbus >= kCoilBase && d.iModbus <= 16479)) << d.tag;
    }
  }
  EXPECT_EQ(span[kBit], std::make_pair(0, 16479));
  EXPECT_EQ(span[kWord], std::make_pair(0, 1594));
  EXPECT_EQ(span[kLong], std::make_pair(42, 1592));
}

TEST(TagTable, EveryAddressIsUsedOncePerFormatExceptDiscreteInput92) {
  std::map<std::pair<int, int>, std::vector<std::string_view>> users;
  for (const TagDefinition& d : generatedTagTable())
    if (hasModbus(d)) users[{d.cDataFormat, d.iModbus}].push_back(d.tag);
  for (const auto& [key, tags] : users) {
    if (key == std::pair{kBit, 92}) {
      EXPECT_EQ(tags, (std::vector<std::string_view>{"vxi_ipsetchange", "vxi_timesyncsetchange"}));
      continue;
    }
    EXPECT_EQ(tags.size(), 1u) << "format " << key.first << " address " << key.second << " used by " << tags[0]
                               << " and " << tags.back();
  }
  EXPECT_EQ(row("vxi_masternotes").iModbus, 92);
  EXPECT_EQ(row("vxi_masternotes").cDataFormat, kWord);
}

// Register tags share one address space (input registers below 1024, holding registers above); a tag
// occupies as many registers as its format needs, and none may overlap another or an internal tag.
TEST(TagTable, RegisterTagsDoNotOverlapEachOtherOrTheInternalTags) {
  std::map<int, std::string_view> owner{{363, "vxi_spmtag"},
                                        {364, "vxi_positiontag"},
                                        {1076, "vxo_opacitysource"},
                                        {1556, "vxo_kora100pulsecurrmin"}};
  for (const TagDefinition& d : generatedTagTable()) {
    if (!hasModbus(d) || d.cDataFormat == kBit) continue;
    for (int reg = d.iModbus; reg < d.iModbus + registerWidth(d); ++reg) {
      const auto [it, fresh] = owner.emplace(reg, d.tag);
      EXPECT_TRUE(fresh) << d.tag << " overlaps " << it->second << " at register " << reg;
    }
    // A tag never straddles the boundary between the input and the holding registers.
    EXPECT_EQ(d.iModbus < kHoldingBase, d.iModbus + registerWidth(d) - 1 < kHoldingBase) << d.tag;
  }
}

// The register server sizes its tables from these limits, and mirrors every bit into sixteen word tags.
TEST(TagTable, RegisterMapStaysInsideTheServedRanges) {
  int highestInput = -1, highestHolding = -1, lowestHolding = 1 << 30, highestDiscrete = -1;
  for (const TagDefinition& d : generatedTagTable()) {
    if (!hasModbus(d)) continue;
    if (d.cDataFormat == kBit) {
      if (d.iModbus < kCoilBase) highestDiscrete = std::max(highestDiscrete, d.iModbus);
      EXPECT_TRUE(d.iModbus <= 255 || (d.iModbus >= kCoilBase && d.iModbus <= kCoilBase + 255)) << d.tag;
      continue;
    }
    const int last = d.iModbus + registerWidth(d) - 1;
    if (d.iModbus < kHoldingBase) {
      highestInput = std::max(highestInput, last);
    } else {
      highestHolding = std::max(highestHolding, last);
      lowestHolding = std::min(lowestHolding, d.iModbus);
    }
  }
  EXPECT_EQ(highestDiscrete, 98);
  EXPECT_LE(highestInput, 362);  // 363 and 364 are the internal text tags
  EXPECT_EQ(lowestHolding, 1024);
  EXPECT_EQ(highestHolding, 1594);
  for (int word = 0; word < 16; ++word) {
    const TagDefinition& inputWord = row(196 + word);
    const TagDefinition& coilWord = row(543 + word);
    EXPECT_EQ(inputWord.iModbus, word) << inputWord.tag;
    EXPECT_EQ(coilWord.iModbus, kHoldingBase + word) << coilWord.tag;
    EXPECT_EQ(inputWord.cDataFormat, kWord);
    EXPECT_EQ(coilWord.cDataFormat, kWord);
    EXPECT_TRUE(noRangeCheck(inputWord) && noRangeCheck(coilWord)) << inputWord.tag;
  }
}

TEST(TagTable, StoredSettingsByTheDefinitionRule) {
  EXPECT_EQ(countRows(storedByRule), 467);
  EXPECT_EQ(countRows([](const TagDefinition& d) { return storedByRule(d) && !name(d).starts_with("vxo_"); }), 0);
  EXPECT_EQ(countRows([](const TagDefinition& d) { return !storedByRule(d) && name(d).starts_with("vxo_"); }), 40);
  EXPECT_TRUE(storedByRule(row("vxo_tron")));  // the start-up clears it again
}

// The start-up marks these as 32-bit values with the high word first; a tag that is not a mapped
// 32-bit register would silently keep the low word first.
TEST(TagTable, WordSwappedTagsAreMapped32BitRegisters) {
  std::vector<int> swapped{620, 793, 796, 797, 798};
  for (int k = 0; k <= 5; ++k) swapped.insert(swapped.end(), {652 + 6 * k, 654 + 6 * k, 655 + 6 * k});
  for (int k = 0; k <= 3; ++k) swapped.insert(swapped.end(), {819 + 7 * k, 821 + 7 * k, 822 + 7 * k});
  for (int handle : swapped) {
    const TagDefinition& d = row(handle);
    EXPECT_EQ(d.cDataFormat, kLong) << d.tag;
    EXPECT_GE(d.iModbus, kHoldingBase) << d.tag;
  }
}

// ------------------------------------------------------------------------------------------------
// The CAN map

TEST(TagTable, CanFigures) {
  std::map<int, std::string_view> byAddress;
  int fromDsp = 0, toDsp = 0, both = 0;
  for (const TagDefinition& d : generatedTagTable()) {
    if (!hasCan(d)) {
      // The network-change command carries a direction but no address; it never reaches the map.
      if (name(d) != "vxo_applynetworkchange") {
        EXPECT_EQ(d.ucCanSource, 255) << d.tag;
      }
      continue;
    }
    EXPECT_TRUE(byAddress.emplace(d.iCanbus, d.tag).second) << d.tag << " reuses CAN address " << d.iCanbus;
    EXPECT_LE(d.cDataFormat, kLong) << d.tag;
    fromDsp += d.ucCanSource == 0;
    toDsp += d.ucCanSource == 1;
    both += d.ucCanSource == 2;
  }
  EXPECT_EQ(byAddress.size(), 181u);
  EXPECT_EQ(byAddress.begin()->first, 0);
  EXPECT_EQ(byAddress.rbegin()->first, 180);
  EXPECT_EQ(fromDsp, 78);
  EXPECT_EQ(toDsp, 67);
  EXPECT_EQ(both, 36);
}

// The signal processor raises its own alarms and reports its inputs through the CAN map; the alarm
// supervision and the reset of stale readings count on these directions.
TEST(TagTable, SignalProcessorAlarmsAndInputsComeOverCan) {
  for (int handle : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 85}) {
    EXPECT_TRUE(hasCan(row(handle))) << row(handle).tag;
    EXPECT_EQ(row(handle).ucCanSource, 0) << row(handle).tag;
  }
  EXPECT_FALSE(hasCan(row("vxi_alwrtcreinitw")));
  EXPECT_TRUE(hasCan(row("vxi_altrestartedt")));
  for (int input = 1; input <= 18; ++input) {
    const std::string tag = (input < 10 ? "vxi_di0" : "vxi_di") + std::to_string(input);
    EXPECT_EQ(row(tag).ucCanSource, 0) << tag;
    EXPECT_TRUE(hasCan(row(tag))) << tag;
  }
  for (std::string_view tag : {"vxo_sumalarmreset", "vxi_funcurrlimit", "vxi_funidlecurrent", "vxo_fakecr"}) {
    EXPECT_TRUE(hasCan(row(tag))) << tag;
    EXPECT_NE(row(tag).ucCanSource, 0) << tag << " must reach the signal processor";
  }
  EXPECT_EQ(row("vxi_sumalarm").ucCanSource, 2);
}

// ------------------------------------------------------------------------------------------------
// Values the daemons' logic and the register map fix for named tags

enum class Field { Min, Max, Default, Exponent, Modbus, Format };

struct StatedValue {
  const char* tag;
  Field field;
  int expected;
  const char* why;
};

// tag                              field            expected  what relies on it
const StatedValue kStatedValues[] = {
    {"vxo_sumalarmresetrev",         Field::Max,            1, "inverted alarm reset input"},
    {"vxo_sumalarmresetrev",         Field::Default,        1, "the input is armed at start"},
    {"vxo_alwaystriponsoftupdt",     Field::Max,            1, "trip or warning after an update"},
    {"vxo_alwaystriponsoftupdt",     Field::Default,        1, "an update trips by default"},
    {"vxo_clearhistory",             Field::Max,            1, "clear alarm history command"},
    {"vxi_activeslope",              Field::Max,            6, "controller slopes 0..6"},
    {"vxi_lastactiveslopeatspark",   Field::Max,            6, "controller slopes 0..6"},
    {"vxo_actmodesparkrecoverytime", Field::Exponent,      -1, "recovery time in 0.1 ms"},
    {"vxo_actmodesparkrecoverytime", Field::Max,        60000, "spark recovery range"},
    {"vxo_actmodesparkrecoverytime", Field::Default,     6000, "spark recovery default"},
    {"vxo_limiterstatshort",         Field::Max,            3, "short limiter window codes"},
    {"vxo_limiterstatshort",         Field::Default,        2, "5 minute window"},
    {"vxo_limiterstatlong",          Field::Max,            7, "long limiter window codes"},
    {"vxo_limiterstatlong",          Field::Default,        2, "1 hour window"},
    {"vxo_limiterstatreset",         Field::Max,           12, "reset events 0..12"},
    {"vxi_momentaryspm",             Field::Exponent,      -1, "tenths of sparks per minute"},
    {"vxi_sparkslopedistributionfi", Field::Max,          100, "share of sparks in percent"},
    {"vxi_sparkslopedistributionc",  Field::Max,          100, "share of sparks in percent"},
    {"vxo_sparksenselevel",          Field::Exponent,      -1, "automatic spark sense writes tenths"},
    {"vxo_sparksenselevel",          Field::Min,           10, "spark sense range"},
    {"vxo_sparksenselevel",          Field::Max,          999, "spark sense range"},
    {"vxo_sparksenselevel",          Field::Default,      400, "spark sense default"},
    {"vxo_fieldposition",            Field::Min,           65, "field letter A"},
    {"vxo_fieldposition",            Field::Max,          108, "field letter l"},
    {"vxo_fieldposition",            Field::Default,       65, "field letter A"},
    {"vxo_cellposition",             Field::Min,            1, "cells 1..10"},
    {"vxo_cellposition",             Field::Max,           10, "cells 1..10"},
    {"vxo_pulsecurrentslope",        Field::Min,            5, "ramp speed before rescaling"},
    {"vxo_pulsecurrentslope",        Field::Max,        65535, "ramp speed before rescaling"},
    {"vxo_pulsecurrentslope",        Field::Default,      200, "ramp speed default"},
    {"vxo_riseslopecsetting",        Field::Max,         2500, "rise slope C range"},
    {"vxo_riseslopecsetting",        Field::Default,      500, "rise slope C default"},
    {"vxi_riseslopec",               Field::Max,         2500, "rise slope C range"},
    {"vxi_riseslopec",               Field::Default,      500, "rise slope C default"},
    {"vxo_actmodeidlecurrent",       Field::Max,          250, "idle current per mille"},
    {"vxo_actmodefiringratio",       Field::Min,           50, "firing ratio 0.50 %"},
    {"vxo_actmodefiringratio",       Field::Max,        10000, "firing ratio 100.00 %"},
    {"vxo_mastermodeselector",       Field::Max,            1, "master mode selection on/off"},
    {"vxo_mastermodecontpar",        Field::Max,           10, "process value selector"},
    {"vxo_mastermodeoverridetimer",  Field::Max,           10, "timers 1..10"},
    {"vxo_mastermodeoverridemode",   Field::Max,            5, "mode index 0..5"},
    {"vxo_mastermodeoverridemode",   Field::Default,        4, "override into the fifth mode"},
    {"vxo_mastermode",               Field::Max,            5, "mode index 0..5"},
    {"vxo_mastermodecmd",            Field::Max,            1, "mode command flag"},
    {"vxo_vitimerconnection",        Field::Max,           10, "timers 1..10"},
    {"vxo_vitype",                   Field::Max,            2, "standard, custom, optimisation"},
    {"vxo_koracoronaratio",          Field::Min,         1001, "corona ratio in thousandths"},
    {"vxo_koracoronaratio",          Field::Max,         1100, "corona ratio in thousandths"},
    {"vxo_koracoronaratio",          Field::Default,     1025, "corona ratio default"},
    {"vxo_webscopedatasize",         Field::Min,            1, "web curves of 1024..4096 samples"},
    {"vxo_webscopedatasize",         Field::Max,            4, "web curves of 1024..4096 samples"},
    {"vxi_signaltestprogress",       Field::Max,          100, "signal test progress in percent"},
    {"vxo_timesyncopt",              Field::Max,            2, "manual or network time"},
    {"vxo_schedincomingrequest",     Field::Max,        65535, "queue commands 65533..65535"},
    {"vxo_rappingstartpcr",          Field::Max,        65535, "65535 = rapping at full current"},
    {"vxo_rappingendpcr",            Field::Max,        65535, "65535 = rapping at full current"},
    {"vxi_actpower",                 Field::Exponent,      -1, "power in 0.1 kW"},
    {"vxi_secvoltavg",               Field::Exponent,      -1, "voltage in 0.1 kV"},
    {"vxi_linefrequency",            Field::Exponent,      -1, "line frequency in 0.1 Hz"},
    {"vxi_firingratio",              Field::Exponent,      -2, "firing ratio in 0.01 %"},
    {"vxi_auxcurr",                  Field::Exponent,      -1, "4..20 mA input in 0.1 mA"},
    {"vxi_miramylimit",              Field::Exponent,      -1, "MIRA limit in 0.1 %"},
    {"vxi_opacmomentary",            Field::Exponent,      -2, "opacity in 0.01 %"},
    {"vxi_mastertagversion",         Field::Default,       27, "version tags derive from it"},
    {"vxo_korausedcoronatime",       Field::Exponent,       0, "corona time in whole ms"},
    {"vxo_korausedvref",             Field::Exponent,      -1, "reference voltage / 10 = kV"},
    {"vxi_acckwh",                   Field::Exponent,      -1, "energy sums 0.1 kW seconds / 3600"},
    {"vxo_lock",                     Field::Modbus,     16476, "Modbus lock coil"},
    {"vxo_tron",                     Field::Modbus,     16384, "run command coil"},
    {"vxo_troffcommand",             Field::Modbus,     16390, "stop command coil"},
    {"vxo_scopegrabtrigger",         Field::Modbus,     16456, "scope trigger coil"},
    {"vxo_virtualinput01",           Field::Modbus,     16462, "lock-exempt coils"},
    {"vxo_virtualinput06",           Field::Modbus,     16467, "lock-exempt coils"},
    {"vxo_scopeview2type",           Field::Modbus,      1078, "reset by the scope trigger"},
    {"vxo_date",                     Field::Modbus,      1107, "date register layout"},
    {"vxo_date",                     Field::Format,     kLong, "date register layout"},
    {"vxo_time",                     Field::Modbus,      1109, "clock words written by other units"},
    {"vxo_time",                     Field::Format,     kLong, "clock words written by other units"},
    {"vxo_schedincomingrequest",     Field::Modbus,      1421, "rapping requests from other units"},
    {"vxi_schedulerqueuepos00",      Field::Modbus,       320, "rapping queue read by other units"},
    {"vxi_schedulerqueuepos19",      Field::Modbus,       339, "rapping queue read by other units"},
    {"vxi_ipsetchange",              Field::Modbus,        92, "discrete input 92"},
    {"vxi_timesyncsetchange",        Field::Modbus,        92, "discrete input 92"},
    {"vxo_lockedmode",               Field::Modbus,        -1, "the lock is not set over Modbus"},
};

struct StatedUnit {
  const char* tag;
  const char* unit;
};
const StatedUnit kStatedUnits[] = {
    // tag                           unit
    {"vxo_actmodesparkrecoverytime", "ms"},
    {"vxo_korausedcoronatime",       "ms"},
    {"vxo_trondelay",                "ms"},
    {"vxi_vilastduration",           "s"},
    {"vxi_acctrontime",              "min"},
    {"vxi_uptime",                   "min"},
    {"vxo_mirasampinterv",           "min"},
    {"vxi_acckwh",                   "kWh"},
    {"vxi_linefrequency",            "Hz"},
    {"vxi_spm",                      "spm"},
    {"vxo_mirasetval",               "%"},
    {"vxo_mirahighlim",              "%"},
    {"vxo_miracurrlimmin",           "%"},
    {"vxi_sparkslopedistributiona",  "%"},
};

// Settings of the six operating modes share the ranges of their actual-mode copies.
struct ModeRange {
  const char* kind;
  int min, max, defaultValue;
};
const ModeRange kModeRanges[] = {
    // kind               min    max  default
    {"firingratio",        50, 10000,   10000},
    {"rappintens",          1,    10,       5},
    {"idlecurrent",         0,   250,       0},
    {"quenching",           0,    14,       2},
    {"resistivity",         0,     3,       1},
    {"sparkrecoverytime",   0, 60000,    6000},
};

int fieldOf(const TagDefinition& d, Field field) {
  switch (field) {
    case Field::Min: return d.iMin;
    case Field::Max: return d.iMax;
    case Field::Default: return d.iDefault;
    case Field::Exponent: return d.cExponent;
    case Field::Modbus: return d.iModbus;
    case Field::Format: return d.cDataFormat;
  }
  return 0;
}

TEST(TagTable, ValuesTheSystemReliesOnForNamedTags) {
  for (const StatedValue& v : kStatedValues)
    EXPECT_EQ(fieldOf(row(v.tag), v.field), v.expected) << v.tag << ": " << v.why;
}

TEST(TagTable, UnitsTheSystemStatesForNamedTags) {
  for (const StatedUnit& u : kStatedUnits) EXPECT_STREQ(row(u.tag).unit, u.unit) << u.tag;
}

TEST(TagTable, ModeSettingsShareTheirRanges) {
  for (const ModeRange& r : kModeRanges) {
    for (int mode = 1; mode <= 6; ++mode) {
      const TagDefinition& d = row("vxo_mode" + std::to_string(mode) + r.kind);
      EXPECT_EQ(d.iMin, r.min) << d.tag;
      EXPECT_EQ(d.iMax, r.max) << d.tag;
      EXPECT_EQ(d.iDefault, r.defaultValue) << d.tag;
    }
  }
  // Every mode's set and the actual-mode copies: same unit, exponent and range per setting type.
  const std::pair<const char*, const char*> actualAndMode1[] = {
      {"vxo_actmodevoltpeaklim", "vxo_mode1voltpeaklim"}, {"vxo_actmodecurrlim", "vxo_mode1currlim"},
      {"vxo_actmodefiringratio", "vxo_mode1firingratio"}, {"vxo_actmoderappintens", "vxo_mode1rappintens"},
      {"vxo_actmodesparkrecoverytime", "vxo_mode1sparkrecoverytime"},
      {"vxo_actmodeidlecurrent", "vxo_mode1idlecurrent"}, {"vxo_actmodeshortquench", "vxo_mode1quenching"},
      {"vxo_actmoderesistivity", "vxo_mode1resistivity"}, {"vxo_actmodekora", "vxo_mode1kora"},
      {"vxo_actmodemira", "vxo_mode1mira"}, {"vxo_actmoderappall", "vxo_mode1rappall"}};
  for (auto [actual, mode1] : actualAndMode1) {
    const TagDefinition& a = row(actual);
    const TagDefinition& m = row(mode1);
    EXPECT_STREQ(a.unit, m.unit) << actual;
    EXPECT_EQ(a.cExponent, m.cExponent) << actual;
    EXPECT_EQ(std::tie(a.iMin, a.iMax, a.iDefault), std::tie(m.iMin, m.iMax, m.iDefault)) << actual;
  }
}

}  // namespace
