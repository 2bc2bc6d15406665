#include "modes.h"

#include "energisationtags.h"
#include "orxtags/storebuilder.h"

using namespace etag;

namespace {

// The setting type (mode marking of the tags) behind each field of ms.
struct ModeField {
  int ms::*field;
  int type;
};
// clang-format off
// Write order of the stored set and of the working copy.
// field                   type
constexpr ModeField kWriteOrder[] = {
    {&ms::kora,              1},
    {&ms::opac,              0},
    {&ms::rappall,           9},
    {&ms::voltpeaklim,       2},
    {&ms::currlim,           3},
    {&ms::firingratio,       4},
    {&ms::rappintens,        5},
    {&ms::shortquench,       7},
    {&ms::sparkrecoverytime, 6},
    {&ms::resistivity,       8},
    {&ms::idlecurrentlimit,  10},
};
// Order in which the sixth mode's stored set undoes an edit of the working copy.
constexpr ModeField kUndoOrder[] = {
    {&ms::resistivity,       8},
    {&ms::sparkrecoverytime, 6},
    {&ms::shortquench,       7},
    {&ms::rappintens,        5},
    {&ms::firingratio,       4},
    {&ms::currlim,           3},
    {&ms::voltpeaklim,       2},
    {&ms::rappall,           9},
    {&ms::opac,              0},
    {&ms::kora,              1},
    {&ms::idlecurrentlimit,  10},
};
// clang-format on

constexpr int kWorkingCopy = -1;  // "mode" of the actual-mode tags
constexpr int kLockedMode = 5;    // the sixth mode: its settings change only through its stored tags

// The tag that holds a setting type for a mode index (0..5), or the working copy.
int settingHandle(int type, int mode) {
  for (const ModeSettingRow& row : modeSettingTable()) {
    if (row.type == type) {
      return mode == kWorkingCopy ? row.actualModeHandle : row.firstModeHandle + row.modeStep * mode;
    }
  }
  return -1;
}

bool validMode(int mode) { return mode >= 0 && mode < kNoOfModes; }

void readSet(int mode, ms* set) {
  for (const ModeField& f : kWriteOrder) set->*f.field = readTag(settingHandle(f.type, mode));
}

template <size_t N>
void writeSet(const ModeField (&order)[N], int mode, const ms& set) {
  for (const ModeField& f : order) writeTag(settingHandle(f.type, mode), set.*f.field);
}

// Process values that may choose the plant-wide mode, by vxo_mastermodecontpar.
constexpr int kModeControlValues[] = {kBoilerLoad, kGasTemperature, kOpacMomentary, kMiraOpacAverage, kTestAuxInp1};
constexpr int kModeCommandEvery = 50;  // calls between checks of the other units' modes
constexpr int kMasterModeLow = 1;      // reading below the lower bound
constexpr int kMasterModeMiddle = 2;
constexpr int kMasterModeHigh = 3;     // reading above the upper bound

}  // namespace

void getModeSettings(int mode, ms* returnStruct) {
  if (validMode(mode)) readSet(mode, returnStruct);
}

void setModeSettings(int mode, const ms& setStruct) {
  if (validMode(mode)) writeSet(kWriteOrder, mode, setStruct);
}

void getActSettings(ms* returnStruct) { readSet(kWorkingCopy, returnStruct); }

void setActSettings(const ms& setStruct) { writeSet(kWriteOrder, kWorkingCopy, setStruct); }

bool msStructCmp(const ms* a, const ms* b) {
  for (const ModeField& f : kWriteOrder) {
    if (a->*f.field != b->*f.field) return false;
  }
  return true;
}

bool checkModeSettings(ModeState& state) {
  const int mode = readTag(kMode);
  ms stored{};
  getModeSettings(mode, &stored);
  if (!msStructCmp(&stored, &state.oldSettings)) {
    setActSettings(stored);
    state.oldSettings = stored;
    return true;
  }
  ms working{};
  getActSettings(&working);
  if (msStructCmp(&working, &state.oldSettings)) return false;
  if (mode == kLockedMode) {
    writeSet(kUndoOrder, kWorkingCopy, stored);
  } else {
    setModeSettings(mode, working);
    state.oldSettings = working;
  }
  return true;
}

void masterModeSelector(ModeState& state) {
  const int under = readTag(kMasterModeParUnder);
  if (readTag(kMasterModeParOver) < under) writeTag(kMasterModeParOver, under + 1);
  const int source = readTag(kMasterModeContPar);
  if (source >= 0 && source < static_cast<int>(std::size(kModeControlValues))) {
    writeTag(kMasterModeContParReading, readTag(kModeControlValues[source]));
  }
  if (readTag(kMasterModeSelector) != 1 || readTag(kMaster) != 1) return;
  ++state.masterModeCalls;

  const int reading = readTag(kMasterModeContParReading);
  int mode = kMasterModeMiddle;
  if (reading < readTag(kMasterModeParUnder)) {
    mode = kMasterModeLow;
  } else if (reading > readTag(kMasterModeParOver)) {
    mode = kMasterModeHigh;
  }
  writeTag(kMasterMode, mode);
  const int timer = readTag(kMasterModeOverrideTimer);
  if (timer >= 1 && timer <= static_cast<int>(kTimerStates.size()) && readTag(kTimerStates[timer - 1]) == 1) {
    writeTag(kMasterMode, readTag(kMasterModeOverrideMode));
  }

  if (state.masterModeCalls % kModeCommandEvery != 0) return;
  const int masterMode = readTag(kMasterMode);
  if (masterMode < 1 || masterMode > 4) return;
  for (int other = 0; other < kNoOfModes; ++other) {
    if (other != masterMode && readTag(kUnitsInMode[other]) != 0) {
      writeTag(kMasterModeCmd, 1);
      return;
    }
  }
}
