// The tags the database daemon defines beside the generated table: named internal
// tags, nameless internal integers, the measurement tags, the two groups, the default
// texts of the two text tags, the version tags and the open tags file.
#pragma once

#include <span>

// A named internal tag; none has a CAN mapping and every one has an execution byte of 0.
struct InternalTagDefinition {
  int varNum;             // handle
  signed char cExponent;  // engineering value = value * 10^cExponent
  int iMin;               // range and default in scaled units; all 0 = no range check
  int iMax;
  int iDefault;
  const char* tag;        // name
  const char* unit;       // unit text
  int iModbus;            // Modbus address, -1 = none
  char cDataFormat;       // 0 bit, 1 16-bit, 2 32-bit, 4 text of 7 registers
  int iConfig;            // flag bits ORed into the flag word
};

// A run of nameless internal integers first..last with one initial value.
struct SharedIntRun {
  int first;
  int last = first;
  int initialValue = 0;
};

// The definitions in the order the daemon runs them.
std::span<const InternalTagDefinition> internalTagTable();
std::span<const SharedIntRun> internalSharedIntTable();
std::span<const SharedIntRun> measurementSharedIntTable();
std::span<const InternalTagDefinition> measurementTagTable();

// Start-up step that defines the named internal tags, the nameless integers, the text
// defaults and the spark recovery curve group.
void initInternalSharedMemoryTags();
// Start-up step that defines the measurement integers and tags and the V-I group.
void initMeasurmentSharedInt();
// Stores the system, program and hardware version tags.
void dbBuildVersions();
// Applies the open tags file: with the file, only the tags it lists stay writable over
// Modbus while the unit is locked; without it every tag stays writable.
void openTags(bool newFile);
