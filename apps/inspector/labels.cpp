#include "labels.h"

#include <array>

namespace inspector {

namespace {

constexpr std::array<ModbusFormatLabel, 6> kModbusFormats = {{
    // column     name      client     span  checked span
    {"COIL    ", "COIL",   "Bit",      1,    1 },
    {"WORD16  ", "WORD16", "Word16",   1,    1 },
    {"WORD32  ", "WORD32", "Word32",   2,    2 },
    {"TXT12C  ", "TXT12C", "Txt12c",   12,   13},  // the check keeps a register after a text free
    {"TXT7C   ", "TXT7C",  "Txt7c",    7,    8 },
    {"TXT1C   ", "TXT1C",  "UNKNOWN",  1,    1 },
}};
constexpr ModbusFormatLabel kUnknownFormat = {"UNKNOWN ", "UNKNOWN", "UNKNOWN", 1, 1};

constexpr std::array<CanSourceLabel, 4> kCanSources = {{
    // direction     source
    {"--------  ",  "NOT_INITIALIZED "},  // 0: not set up
    {"DSP<-SOM  ",  "SOM "            },  // 1: from this module
    {"DSP->SOM  ",  "DSP "            },  // 2: from the signal processor
    {"DSP<->SOM ",  "BIDIR "          },  // 3: both ways
}};

constexpr std::array<const char*, 4> kCanDataTypes = {
    "NOT_INITIALIZED ",  // 0
    "BIT ",              // 1
    "WORD16 ",           // 2
    "WORD32 ",           // 3
};

}  // namespace

const ModbusFormatLabel& modbusFormatLabel(int dataFormat) {
  if (dataFormat < 0 || dataFormat >= static_cast<int>(kModbusFormats.size())) return kUnknownFormat;
  return kModbusFormats[dataFormat];
}

namespace {
bool isInputRegisterText(int dataFormat, int address) {
  return dataFormat >= 3 && address < kReadWriteRegisterBase;
}
}  // namespace

int registerSpan(int dataFormat, int address) {
  return isInputRegisterText(dataFormat, address) ? 1 : modbusFormatLabel(dataFormat).span;
}

int checkedRegisterSpan(int dataFormat, int address) {
  return isInputRegisterText(dataFormat, address) ? 1 : modbusFormatLabel(dataFormat).checkedSpan;
}

const CanSourceLabel& canSourceLabel(int source) {
  if (source < 0 || source >= static_cast<int>(kCanSources.size())) return kCanSources[0];
  return kCanSources[source];
}

const char* canDataTypeLabel(int dataLen) {
  if (dataLen < 0 || dataLen >= static_cast<int>(kCanDataTypes.size())) return kCanDataTypes[0];
  return kCanDataTypes[dataLen];
}

}  // namespace inspector
