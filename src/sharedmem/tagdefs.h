// Defining tags in the store: range, flags, name, Modbus, CAN and text mappings, the
// name sort and the tag groups. Only the database daemon defines tags, at start-up.
#pragma once

#include "sharedmem/shmem.h"

// Error codes of dbInitTag. Codes 5 and 6 keep the definition (result true) without
// any mapping; every other code refuses it.
enum InitTagError : int {
  kInitOk = 0,
  kInitBadRange = 1,          // min <= default <= max violated
  kInitCanRefused = 2,        // CAN map full, CAN address beyond the map or format above 2
  kInitModbusRefused = 3,     // Modbus list full (or no text slot left for a text tag)
  kInitNameRefused = 4,       // name list sorted or full
  kInitModbusUnfitRange = 5,  // range not representable in the Modbus bit or 16-bit format
  kInitCanUnfitRange = 6,     // range not representable in the CAN bit or 16-bit format
  kInitGroupRefused = 7,      // every group slot taken
  kInitBadHandle = 8,         // handle outside 0..1499
};

// A group's values as text: up to 32 x 8 numbers of at most 11 characters, each
// followed by a separator, and the terminator.
constexpr int kGroupTextSize = kGroupRows * kGroupColumns * 12 + 1;

bool dbInitTag(int varNum, signed char cExponent, int iMin, int iMax, int iDefault, const char* tag,
               const char* unit, int iModbus, char cDataFormat, int iCanbus, int iConfig, char ucExec,
               char ucCanSource, int* errCode);
// A nameless internal integer: never range-checked, not in the master tag list, kept by
// a factory reset; any value is accepted.
bool dbInitSharedInt(int varNum, int iValue, int* errCode);
bool initParameter(int varNum, int iMin, int iMax, int iDefault);

bool attachTagAndUnit(const char* t, const char* u, int varNum);
bool attachTagName(const char* s, int varNum);
// 1 when attached, 0 when refused.
int attachModbus(int varNum, int address, char dataFormat);
int attachCanbus(int varNum, int address, char dataFormat, char CanSource);
// The new text count, 0 when the text table is full.
int attachText(char dataFormat, short modbusIndex, short iRef);
// The new group's number (the slot it uses), 0 when every slot is taken.
int attachGroup(int varNum);

bool sortTagnames();

bool dbGroupSetupSize(int varNum, int row, int col);
bool dbGroupHandleAttach(int varNum, short row, short col, int handleRef);
bool dbGroupGetData(int varNum, groupType* data);
bool dbGroupGetReference(int varNum, groupType* href);
// Appends the group as text ("5,7;9,10": rows joined by ",", columns by ";") to str, a
// buffer of kGroupTextSize bytes.
bool dbGroupGetStringData(int varNum, char* str);
bool dbGroupGetStringDataByTagName(const char* s, char* str);
