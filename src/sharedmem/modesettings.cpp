// Stored settings, per-mode settings, save values and the factory reset.
#include "sharedmem/modesettings.h"

#include <cstdio>

#include "sharedmem/storeview.h"
#include "sharedmem/tagaccess.h"

using storeview::flags;
using storeview::validHandle;

namespace {

constexpr int kHighestMode = 7;         // the mode field holds 3 bits
constexpr int kHighestSettingType = 15;  // the setting type field holds 4 bits

void setCode(int* errCode, int code) {
  if (errCode != nullptr) *errCode = code;
}

bool isStored(int varNum) { return validHandle(varNum) && flags(varNum).bits.store; }

bool isModeOrActualSetting(const Bit32tag& config) {
  return config.bits.modeSetting != 0 || config.bits.actualModeSetting;
}

int handleByName(const char* s) {
  int handle = -1;
  int code = 0;
  return dbGetHandleByTagname(s, &handle, &code) ? handle : -1;
}

}  // namespace

// ---------------------------------------------------------------- flag marking

void dbResetStoreBit(int varNum) {
  if (validHandle(varNum)) flags(varNum).bits.store = 0;
}

void dbNoFactoryReset(int varNum) {
  if (validHandle(varNum)) flags(varNum).bits.noReset = 1;
}

void dbSetModeParameter(int varNum, int mode, int type) {
  if (!validHandle(varNum)) return;
  flags(varNum).bits.modeSetting = 0;
  if (mode < 0 || mode > kHighestMode || type < 0 || type > kHighestSettingType) return;
  flags(varNum).bits.modeSetting = static_cast<unsigned>(mode);
  flags(varNum).bits.modeSettingType = static_cast<unsigned>(type);
}

void dbSetActualModeParameter(int varNum, int type) {
  if (!validHandle(varNum) || type < 0 || type > kHighestSettingType) return;
  flags(varNum).bits.actualModeSetting = 1;
  flags(varNum).bits.modeSettingType = static_cast<unsigned>(type);
}

// ---------------------------------------------------------------- mode reading

int dbReadModeType(int varNum) {
  if (!validHandle(varNum)) return -1;
  const Bit32tag config{.all = flags(varNum).all};
  return config.bits.modeSetting != 0 ? static_cast<int>(config.bits.modeSettingType) : -1;
}

int dbReadModeSettingType(int varNum) {
  if (!validHandle(varNum)) return -1;
  const Bit32tag config{.all = flags(varNum).all};
  return isModeOrActualSetting(config) ? static_cast<int>(config.bits.modeSettingType) : -1;
}

int getModeSettingHandle(int varNum, int mode) {
  if (!validHandle(varNum)) return 0;
  const Bit32tag wanted{.all = flags(varNum).all};
  if (!isModeOrActualSetting(wanted)) return 0;
  for (int handle = 0; handle < kNoOfHandles; ++handle) {
    const Bit32tag config{.all = flags(handle).all};
    if (static_cast<int>(config.bits.modeSetting) == mode && isModeOrActualSetting(config) &&
        config.bits.modeSettingType == wanted.bits.modeSettingType) {
      return handle;
    }
  }
  return kNoModeSettingHandle;
}

// ---------------------------------------------------------------- save values

bool dbGetSaveValueByHandle(int varNum, int* value, int* errCode) {
  setCode(errCode, 1);
  if (!validHandle(varNum)) return false;
  *value = shared_mem->parameter.iDefault[varNum];
  if (!isStored(varNum)) return false;
  *value = shared_mem->parameter.iSaveValue[varNum];
  setCode(errCode, 0);
  return true;
}

// The error code is left as the caller set it.
bool dbGetSaveValueByTagName(const char* s, int* value, int* /*errCode*/) {
  const int handle = handleByName(s);
  if (!isStored(handle)) return false;
  *value = shared_mem->parameter.iSaveValue[handle];
  return true;
}

bool dbSetSaveValueByHandle(int varNum, int value, int* errCode) {
  setCode(errCode, 1);
  if (!isStored(varNum)) return false;
  shared_mem->parameter.iSaveValue[varNum] = value;
  setCode(errCode, 0);
  return true;
}

bool dbGetModeSaveValueByHandle(int varNum, int* value, int mode, int* errCode) {
  setCode(errCode, 1);
  if (!validHandle(varNum)) return false;
  *value = shared_mem->parameter.iDefault[varNum];
  if (flags(varNum).bits.actualModeSetting) {
    const int modeHandle = getModeSettingHandle(varNum, mode);
    if (!validHandle(modeHandle)) return false;
    *value = shared_mem->parameter.iSaveValue[modeHandle];
  } else if (isStored(varNum)) {
    *value = shared_mem->parameter.iSaveValue[varNum];
  } else {
    return false;
  }
  setCode(errCode, 0);
  return true;
}

// The error code is left as the caller set it.
bool dbGetModeSaveValueByTagName(const char* s, int* value, int mode, int* /*errCode*/) {
  const int handle = handleByName(s);
  if (!validHandle(handle)) return false;
  if (!flags(handle).bits.actualModeSetting && !isStored(handle)) return false;
  int code = 0;
  return dbGetModeSaveValueByHandle(handle, value, mode, &code);
}

unsigned char dbParameterSaveStatus(int varNum) {
  if (!isStored(varNum)) return kNotStored;
  const volatile auto& p = shared_mem->parameter;
  return p.iValue[varNum] != p.iSaveValue[varNum] ? kChangedSinceSave : kSaved;
}

// ---------------------------------------------------------------- factory reset

int dbFactoryReset() {
  int changed = 0;
  for (int handle = 0; handle < kNoOfHandles; ++handle) {
    const Bit32tag config{.all = flags(handle).all};
    if (!config.bits.initialized || config.bits.protect || config.bits.noReset || !config.bits.store) continue;
    // Texts get their default texts from the caller.
    if (config.bits.textString != 0) {
      std::printf("modbus Text %d \n", handle);
      continue;
    }
    const volatile auto& p = shared_mem->parameter;
    const int oldValue = p.iValue[handle];
    if (p.iDefault[handle] == oldValue) continue;
    ++changed;
    std::printf("%d %d %d %d \n", changed, handle, p.iDefault[handle], oldValue);
    int ignored = 0;
    dbSetValueByHandle(handle, p.iDefault[handle], &ignored);
  }
  std::printf("no of parameters changed %d \n", changed);
  return changed;
}
