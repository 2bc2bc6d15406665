// Stored settings, per-mode settings and the factory reset: the flags that mark them,
// the save value that remembers what was last written to the settings file, and the
// mapping from a live setting to its copy for one operating mode.
#pragma once

// Save status of a tag (dbParameterSaveStatus).
enum SaveStatus : unsigned char {
  kNotStored = 0,     // not a stored setting
  kChangedSinceSave = 1,
  kSaved = 2,         // value equals the save value
};

// getModeSettingHandle finds no tag of the type for that mode.
constexpr int kNoModeSettingHandle = 1500;

// Flag marking
void dbResetStoreBit(int varNum);
void dbNoFactoryReset(int varNum);
void dbSetModeParameter(int varNum, int mode, int type);
void dbSetActualModeParameter(int varNum, int type);

// Mode reading
int dbReadModeType(int varNum);
int dbReadModeSettingType(int varNum);
int getModeSettingHandle(int varNum, int mode);

// Save values
bool dbGetSaveValueByHandle(int varNum, int* value, int* errCode);
bool dbGetSaveValueByTagName(const char* s, int* value, int* errCode);
bool dbSetSaveValueByHandle(int varNum, int value, int* errCode);
bool dbGetModeSaveValueByHandle(int varNum, int* value, int mode, int* errCode);
bool dbGetModeSaveValueByTagName(const char* s, int* value, int mode, int* errCode);
unsigned char dbParameterSaveStatus(int varNum);

// Writes every stored, unprotected setting that a factory reset may touch back to its
// default; returns how many changed.
int dbFactoryReset();
