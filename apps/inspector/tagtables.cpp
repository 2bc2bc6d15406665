#include "tagtables.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "arguments.h"
#include "labels.h"
#include "sharedmem/tagaccess.h"

namespace inspector {

namespace {

constexpr const char* kYellow = "\33[33m";
constexpr const char* kGreen = "\33[32m";
constexpr const char* kBlue = "\33[34m";
constexpr const char* kRed = "\33[31m";
constexpr const char* kReset = "\33[0m";

// The colours of the value, minimum, default and maximum columns; none in the plain table.
struct ColumnColours {
  const char* value;
  const char* minimum;
  const char* defaultValue;
  const char* maximum;
  const char* reset;
};
constexpr ColumnColours kColoured = {kYellow, kGreen, kBlue, kRed, kReset};
constexpr ColumnColours kPlain = {"", "", "", "", ""};

struct TableLayout {
  ColumnColours colours;
  bool canColumn;
};

std::string nameOf(int handle, bool* named = nullptr) {
  char* unit = nullptr;
  char* name = nullptr;
  int code = 0;
  const bool found = dbGetUnitAndTagNameByHandle(handle, &unit, &name, &code);
  if (named != nullptr) *named = found;
  return found ? name : std::to_string(handle);
}

std::string unitOf(int handle) {
  char* unit = nullptr;
  char* name = nullptr;
  int code = 0;
  dbGetUnitAndTagNameByHandle(handle, &unit, &name, &code);
  return unit;
}

std::string headerText(const ColumnColours& c, bool canColumn) {
  char text[256];
  std::snprintf(text, sizeof text, "   H P%s      Value%s         Min%s    Default%s        Max%s ModBus%s Unit%25sTagname",
                c.value, c.minimum, c.defaultValue, c.maximum, c.reset, canColumn ? " CanBus" : "", "");
  return text;
}

void printHeader(const TableLayout& layout) {
  std::printf("%s\n", headerText(layout.colours, layout.canColumn).c_str());
  std::printf("%s\n", std::string(headerText(kPlain, layout.canColumn).size(), '-').c_str());
}

void printRow(int handle, const TableLayout& layout) {
  const ColumnColours& c = layout.colours;
  const volatile auto& p = shared_mem->parameter;
  const int modbusAddress = p.modbus.address[handle];
  char modbusColumn[16];
  // Addresses read as hexadecimal; "none" (-1) and 0 as decimal.
  std::snprintf(modbusColumn, sizeof modbusColumn, modbusAddress >= 1 ? "%6x" : "%6d", modbusAddress);
  char canColumn[16] = "";
  if (layout.canColumn) std::snprintf(canColumn, sizeof canColumn, " %6d", p.canbus.address[handle]);
  std::printf("%4d %1d %s%10d%s %s%11d%s %s%10d%s %s%10d%s %s%s %-6s%30s\n", handle,
              p.config[handle].bits.protect ? 1 : 0, c.value, p.iValue[handle], c.reset, c.minimum, p.iMin[handle],
              c.reset, c.defaultValue, p.iDefault[handle], c.reset, c.maximum, p.iMax[handle], c.reset, modbusColumn,
              canColumn, unitOf(handle).c_str(), nameOf(handle).c_str());
}

// The rows of the initialised tags from..to-1; the number of rows printed.
int printRows(int from, int to, const TableLayout& layout) {
  int rows = 0;
  for (int handle = from; handle < to; ++handle) {
    if (!dbIsInitialized(handle)) continue;
    printRow(handle, layout);
    ++rows;
  }
  return rows;
}

std::optional<int> handleArgument(OptionArguments args, size_t index, int fallback) {
  if (args.size() <= index) return fallback;
  const std::optional<int> number = parseDecimal(args[index]);
  if (!number) std::printf("argument not a number %s\n", args[index]);
  return number;
}

}  // namespace

int printColouredTable(OptionArguments args) {
  const std::optional<int> from = handleArgument(args, 0, 0);
  const std::optional<int> to = handleArgument(args, 1, kNoOfHandles);
  if (!from || !to) return kExitFailed;
  const TableLayout layout = {kColoured, false};
  printHeader(layout);
  const int rows = printRows(std::max(*from, 0), std::min(*to, kNoOfHandles), layout);
  if (args.empty()) std::printf("total number of parameters initialized:%d \n", rows);
  return kExitOk;
}

int printFullTable(OptionArguments) {
  const TableLayout layout = {kPlain, true};
  printHeader(layout);
  printRows(0, kNoOfHandles, layout);
  return kExitOk;
}

int printModbusWritable(OptionArguments) {
  const int count = dbGetModbusNoOfIndex();
  for (int index = 0; index < count; ++index) {
    const int handle = dbGetModbusHandlePointer(index);
    if (dbIsModbusProtected(handle)) continue;
    std::printf("%-30s %s0x%04x", nameOf(handle).c_str(), modbusFormatLabel(dbGetModbusDataFormat(index)).column,
                dbGetModbusAddress(index));
    int value = 0;
    int code = 0;
    if (dbGetValueByHandle(handle, &value, &code)) std::printf(" %d", value);
    std::printf("\n");
  }
  return kExitOk;
}

int printCanMap(OptionArguments) {
  std::printf("Address Direction Length Handle LastValue TagName\n");
  for (int address = 0; address < kNoOfCanAddresses; ++address) {
    const int handle = dbGetCanbusHandlePointer(address);
    // A slot is in use when its tag points back at it.
    if (!dbIsInitialized(handle) || shared_mem->parameter.canbus.address[handle] != address) continue;
    std::printf("0x%03x   %s%6d %6d %9d %s\n", address, canSourceLabel(dbGetCanbusSource(address)).direction,
                dbGetCanbusDataType(address), handle, dbGetCanbusLastValue(address), nameOf(handle).c_str());
  }
  return kExitOk;
}

}  // namespace inspector
