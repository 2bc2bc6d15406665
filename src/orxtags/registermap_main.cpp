// orvix-register-map: builds the unit's tag store in this process, exactly as the
// database daemon does at start-up, and writes the Modbus register map that a plant
// integrator works from (docs/register-map.md).
//
//   orvix-register-map [-o <file>]     without -o the map goes to standard output
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "orxtags/handles.h"
#include "orxtags/storebuilder.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace {

constexpr int kFirstHoldingRegister = 1024;
constexpr int kFirstCoil            = 16384;
constexpr int kDateTag              = tags::vxo_date;  // vxo_date: packed date in its own word layout

enum class ModbusTable { DiscreteInput, Coil, InputRegister, HoldingRegister };

struct MapLine {
  ModbusTable table;
  int address;
  int handle;
  int format;
  bool wordSwap;
};

const char* tableName(ModbusTable table) {
  switch (table) {
    case ModbusTable::DiscreteInput: return "discrete input";
    case ModbusTable::Coil: return "coil";
    case ModbusTable::InputRegister: return "input register";
    case ModbusTable::HoldingRegister: return "holding register";
  }
  return "";
}

ModbusTable tableOf(int format, int address) {
  if (format == 0) return address >= kFirstCoil ? ModbusTable::Coil : ModbusTable::DiscreteInput;
  return address >= kFirstHoldingRegister ? ModbusTable::HoldingRegister : ModbusTable::InputRegister;
}

bool isWritable(ModbusTable table) { return table == ModbusTable::Coil || table == ModbusTable::HoldingRegister; }

// Registers (or bits) the tag occupies and how its value lies in them.
struct Layout {
  int words;
  const char* description;
};

Layout layoutOf(const MapLine& line) {
  const bool input = line.table == ModbusTable::InputRegister;
  switch (line.format) {
    case 0: return {1, "bit"};
    case 1: return {1, "16-bit unsigned"};
    case 2:
      if (line.handle == kDateTag && !input) return {2, "date: R[a] = bits 8-23, high byte of R[a+1] = bits 0-7"};
      if (input || line.wordSwap) return {2, "32-bit, high word first"};
      return {2, "32-bit, low word first"};
    case 3: return {12, "text, one character per register"};
    case 4:
      if (input) return {1, "text checksum (16-bit)"};
      return {7, "text, one character per register"};
    default: return {1, "text"};
  }
}

std::string scaleOf(int exponent) {
  switch (exponent) {
    case 0: return "1";
    case -1: return "0.1";
    case -2: return "0.01";
    case -3: return "0.001";
    case 1: return "10";
    default: return "1e" + std::to_string(exponent);
  }
}

std::string rangeOf(int handle) {
  const volatile auto& p = shared_mem->parameter;
  if (p.config[handle].bits.noRangeCheck) return "";
  return std::to_string(p.iMin[handle]) + ".." + std::to_string(p.iMax[handle]);
}

std::vector<MapLine> mappedTags() {
  std::vector<MapLine> lines;
  for (int index = 0; index < dbGetModbusNoOfIndex(); ++index) {
    const int format = dbGetModbusDataFormat(index);
    const int address = dbGetModbusAddress(index);
    lines.push_back({tableOf(format, address), address, dbGetModbusHandlePointer(index), format,
                     dbIsSwapWordBitSet(index)});
  }
  std::sort(lines.begin(), lines.end(), [](const MapLine& a, const MapLine& b) {
    return a.table != b.table ? a.table < b.table : a.address < b.address;
  });
  return lines;
}

constexpr const char* kIntroduction = R"(# Modbus register map

This file is generated from the unit's tag definitions by `orvix-register-map`; do not
edit it. After a change of the definitions regenerate it with

    build/bin/orvix-register-map -o docs/register-map.md

The unit serves Modbus TCP on port 502. Addresses below are protocol addresses
(counted from 0).

## Tables

| Table | Function codes | Addresses in use | Holds |
|---|---|---|---|
)";

// Per table: function codes and what it holds; the address range comes from the map.
struct TableRow {
  ModbusTable table;
  const char* functionCodes;
  const char* holds;
};
constexpr TableRow kTables[] = {
    // table                         function codes  holds
    {ModbusTable::DiscreteInput,     "2",            "bit values the unit reports; also readable as coils"},
    {ModbusTable::Coil,              "1, 5, 15",     "bit settings and commands"},
    {ModbusTable::InputRegister,     "4",            "values the unit reports; also readable as holding registers"},
    {ModbusTable::HoldingRegister,   "3, 6, 16",     "settings and commands"},
};

constexpr const char* kRules = R"(
Writes to coils below 16384 or holding registers below 1024 are overwritten with the
unit's values at the next update (about twice a second).

## Values

- Every tag is a signed 32-bit integer; its engineering value is the register value
  times the scale (value 1205 with scale 0.01 and unit kV is 12.05 kV).
- A 16-bit register reads as 0..65535. A 32-bit value takes two registers, in the
  word order given; input registers always have the high word first.
- A text takes one register per character (the character code in the low byte),
  first character at the lowest address and 0 after its end. Only characters "0".."z"
  are stored; a text written with another character is kept up to that character.
- Range: a write outside it is refused and the register returns to the tag's value.
  An empty range means any value is taken.
- Stored: the setting is persistent; it is written to the unit's settings file at the
  next save and restored at every start. Other writable tags are commands or live
  values and return to their defaults when the unit restarts.
- Discrete inputs 0-255 are also the bits of the words `vxi_ro_coil_00_0f` ..
  `vxi_ro_coil_f0_ff` (input registers 0-15), coils 16384-16639 the bits of
  `vxo_rw_coil_00_0f` .. `vxo_rw_coil_f0_ff` (holding registers 1024-1039); bit n of a
  word is address mod 16.

## Write protection

- While coil 16476 (`vxo_lock`) is 1 and the unit has an open tags list
  ("/var/lib/orvix/openTags.ini"), only the listed tags can be written.
- In local/remote locked mode (`vxo_lockedmode` not 0, set on the unit) no write
  reaches the unit except `vxo_tron` to 0 (coil 16384) and `vxo_troffcommand` to 1
  (coil 16390).

## Map

| Table | Address | Words | Layout | Tag | Unit | Scale | Range | Access | Stored |
|---|---|---|---|---|---|---|---|---|---|
)";

// The lowest and the highest address in use of a table, the last including its width.
std::string addressesInUse(const std::vector<MapLine>& lines, ModbusTable table) {
  int lowest = -1;
  int highest = -1;
  for (const MapLine& line : lines) {
    if (line.table != table) continue;
    if (lowest < 0) lowest = line.address;
    highest = std::max(highest, line.address + layoutOf(line).words - 1);
  }
  return lowest < 0 ? "none" : std::to_string(lowest) + "-" + std::to_string(highest);
}

void writeRegisterMap(std::ostream& out) {
  const std::vector<MapLine> lines = mappedTags();
  out << kIntroduction;
  for (const TableRow& row : kTables) {
    out << "| " << tableName(row.table) << " | " << row.functionCodes << " | " << addressesInUse(lines, row.table)
        << " | " << row.holds << " |\n";
  }
  out << kRules;
  for (const MapLine& line : lines) {
    char* unit = nullptr;
    char* name = nullptr;
    int code = 0;
    dbGetUnitAndTagNameByHandle(line.handle, &unit, &name, &code);
    const Layout layout = layoutOf(line);
    const bool stored = shared_mem->parameter.config[line.handle].bits.store;
    out << "| " << tableName(line.table) << " | " << line.address << " | " << layout.words << " | "
        << layout.description << " | `" << name << "` | " << unit << " | "
        << scaleOf(shared_mem->parameter.cExponent[line.handle]) << " | " << rangeOf(line.handle) << " | "
        << (isWritable(line.table) ? "read/write" : "read") << " | " << (stored ? "yes" : "no") << " |\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* outputPath = nullptr;
  if (argc == 3 && std::strcmp(argv[1], "-o") == 0) {
    outputPath = argv[2];
  } else if (argc != 1) {
    std::fprintf(stderr, "Usage: %s [-o <file>]\n", argv[0]);
    return 1;
  }
  // A store of this process only: nothing is shared with a running unit.
  auto store = std::make_unique<shmem_t>();
  shared_mem = store.get();
  tagstore::buildTagStore();

  if (outputPath == nullptr) {
    writeRegisterMap(std::cout);
    return std::cout.good() ? 0 : 1;
  }
  std::ofstream file(outputPath);
  writeRegisterMap(file);
  file.close();
  if (!file) {
    std::fprintf(stderr, "cannot write %s: %s\n", outputPath, std::strerror(errno));
    return 1;
  }
  return 0;
}
