// Reading and writing tags in the attached store, by handle and by name.
// Results are true when done; the reason of a refusal comes back through errCode.
#pragma once

#include "sharedmem/shmem.h"

// Error codes of the handle operations.
enum TagError : int {
  kTagOk = 0,
  kTagBadHandle = 1,      // handle above 1499 or negative
  kTagUninitialised = 2,  // no tag defined at this handle
  kTagProtected = 3,      // write-protected
  kTagOutOfRange = 4,     // outside iMin..iMax
};

// Error codes of the name lookup; by-name operations add 100 to a handle error.
enum LookupError : int {
  kLookupOk = 0,
  kLookupNameTooLong = 1,  // only while the name list is unsorted
  kLookupNotFound = 2,
  kLookupNoNames = 3,
  kByNameOffset = 100,
};

// Room a caller gives dbGetStringValueByTagName: sign, 10 digits, point, terminator.
constexpr int kEngineeringTextSize = 24;

// Reading by handle
bool dbGetValueByHandle(int varNum, int* value, int* errCode);
int dbReadValueByHandle(int varNum);
bool dbIsEqual(int varNum, int value);
bool dbIsLessThan(int varNum, int value);
bool dbReadBitByHandle(int handle, unsigned char bit);
bool dbGetUnitAndTagNameByHandle(int Handle, char** s, char** t, int* errCode);
bool dbGetObjectByHandle(int varNum, objectType* obj, int* errCode);
bool dbGetMaximumValueByHandle(int varNum, int* value);
bool dbGetMinimumValueByHandle(int varNum, int* value);
bool dbGetDefaultValueByHandle(int varNum, int* value);
bool dbIsProtected(int varNum);
bool dbIsModbusProtected(int varNum);
bool dbIsActualModeParameter(int varNum);
bool dbIsInitialized(int varNum);
bool dbIsGroup(int varNum);
bool dbInMasterTagList(int varNum);
bool dbIsTextAttaced(int varNum);
int dbTagNameListStatus();
bool dbIsSorted();
void printTagNames();

// Writing by handle
bool dbSetValueByHandle(int varNum, int value, int* errCode);
void dbSetBitByHandle(int handle, unsigned char bit);
void dbClearBitByHandle(int handle, unsigned char bit);
void dbToggleBitByHandle(int handle, unsigned char bit);
void dbIncrementByHandle(int varNum);
// Reads a counter and sets it to 0 in one atomic step: a count that dbIncrementByHandle makes
// meanwhile, in any program, is in this value or stays in the tag. Like the increment it
// bypasses protection.
bool dbTakeValueByHandle(int varNum, int* value, int* errCode);
bool dbCopyValueByHandles(int varNumDestination, int varNumSource);
bool dbSetObjectByHandle(int varNum, objectType obj, int* errCode);
void dbEnforceNewLimits(int varNum, int iMin, int iMax, int iDefault);

// By tag name
bool dbGetHandleByTagname(const char* s, int* iHandle, int* errCode);
bool dbGetValueByTagname(const char* s, int* iValue, int* errCode);
int getValueByTagname(const char* s);
void getValueByTagName(const char* s, int* iValue);
bool dbSetValueByTagName(const char* s, int value, int* errCode);
bool dbSetValueAndSaveByTagname(const char* s, int value, int* errCode);
bool dbGetObjectByTagName(const char* s, objectType* obj, int* errCode);
bool dbSetObjectByTagName(const char* s, objectType obj, int* errCode);
bool dbIsWithinRange(const char* s, int value);
// Writes the engineering value into the caller's buffer of kEngineeringTextSize bytes.
bool dbGetStringValueByTagName(const char* s, char** v, int* errCode);

// Modbus mapping list
int dbGetModbusNoOfIndex();
int dbGetModbusAddress(int modbusIndex);
int dbGetModbusDataFormat(int modbusIndex);
int dbGetModbusHandlePointer(int modbusIndex);
bool dbIsSwapWordBitSet(int modbusIndex);
int dbGetModbusLastValue(int modbusIndex);
bool dbSetModbusLastValue(int modbusIndex, int value);
int dbGetModbusIndex(int varNum);
bool dbSetModbusIndexByHandle(int varNum, int modbusIndex, int* errCode);
void dbSetWordSwap(int varNum);
void dbModbusProtectAll();
void dbModbusUnprotect(int varNum);

// CAN map, indexed by CAN address
int dbGetCanbusNoOfIndex();
int dbGetCanbusDataType(int address);
int dbGetCanbusLastValue(int address);
void dbSetCanbusLastValue(int address, int value);
int dbGetCanbusHandlePointer(int address);
int dbGetCanbusSource(int address);

// Text tags; the tag's value is the checksum of its text
// The checksum of the first length characters: each character shifted left by its position.
int dbTextChecksum(const char* text, int length);
bool dbGetTextIndexByHandle(int varNum, int* index, int* errCode);
int dbSetModbusTextByHandle(int varNum, const char* t, int* errCode);
int dbSetModbusTextByTagName(const char* s, const char* t, int* errCode);
bool dbGetModbusTextByTagName(const char* s, char** t, int* errCode);
