#include "mira/unitrole.h"

#include <algorithm>
#include <cstdint>

#include "mira/miratags.h"
#include "mira/profile.h"
#include "mira/words.h"
#include "sharedmem/tagaccess.h"

namespace mira {

namespace {

constexpr int kFullFiringRatio = 10000;     // 0.01 %
constexpr int64_t kOverflow    = 10000999;  // limit x base + 500 above this is more than 100 %

// vxi_miranotes
constexpr int kNoteNone        = 0;
constexpr int kNoteMeasurement = 2;
constexpr int kNoteTestMode    = 3;
constexpr int kNoteMiraOff     = 4;
constexpr int kNoteTimedOut    = 6;

// vxi_frsource
constexpr int kSourceMira           = 0;
constexpr int kSourceMode           = 1;
constexpr int kSourceKoraOptimal    = 2;
constexpr int kSourceKoraOptimizing = 3;
constexpr int kSourceKoraReference  = 4;

int value(int handle) { return dbReadValueByHandle(handle); }

void setTag(int handle, int newValue) {
  int ignored = 0;
  dbSetValueByHandle(handle, newValue, &ignored);
}

void setWhenChanged(int handle, int newValue) {
  if (value(handle) != newValue) setTag(handle, newValue);
}

bool koraOn() { return value(tag::kActModeKora) != 0; }
bool miraOn() { return value(tag::kActModeMira) != 0; }

// The firing ratio MIRA scales: KORA's optimum when KORA runs, else the mode's.
int baseFiringRatio() { return koraOn() ? value(tag::kKoraOptimalFr) : value(tag::kActModeFiringRatio); }

int letterIndex() { return value(tag::kFieldPosition) - 'A'; }

void slaveUpdateMyFieldType() {
  const int position = letterIndex() + 1;  // A = 1
  const int type     = position == 1 ? kFirst : position >= value(tag::kEspCodeFields) ? kLast : kIntermediate;
  setWhenChanged(tag::kMyFieldType, type);
}

void slaveUpdateMinFR() {
  const int fieldCountClass = getFieldsFewMediumMany(value(tag::kEspCodeFields));
  setWhenChanged(tag::kMyFrMin, minimumFiringRatio(value(tag::kActModeResistivity), fieldCountClass, letterIndex()));
}

void slaveUpdateMyFR() {
  const int64_t scaled = static_cast<int64_t>(value(tag::kMyLimit)) * baseFiringRatio() + 500;
  const int ratio      = scaled > kOverflow ? kFullFiringRatio : static_cast<int>(scaled / 1000);
  setTag(tag::kMyFr, std::max(ratio, value(tag::kMyFrMin)));
}

void updateStatus() {
  bool followsUp    = false;
  bool followsDown  = false;
  const bool active = value(tag::kTron) != 0 && value(tag::kMeasurement) == 0 && value(tag::kTestMode) == 0 && miraOn();
  if (active) {
    const int own = value(tag::kMyFr);
    followsUp =
        koraOn() ? own < value(tag::kKoraOptimalFr) : own < value(tag::kActModeFiringRatio) && own < kFullFiringRatio;
    followsDown = value(tag::kMyFrMin) < own;
  }
  setTag(tag::kMyStatus, myStatusWord(value(tag::kProductCode), value(tag::kMyFieldType), value(tag::kCellPosition),
                                      followsUp, followsDown));
}

int note(bool timedOut) {
  if (!miraOn()) return kNoteMiraOff;
  if (value(tag::kTestMode) != 0) return kNoteTestMode;
  if (value(tag::kMeasurement) != 0) return kNoteMeasurement;
  if (timedOut) return kNoteTimedOut;
  return kNoteNone;
}

}  // namespace

bool timeoutMira(UnitRoleState& state) {
  if (value(tag::kLimitReceived) == 1) {
    setTag(tag::kLimitReceived, -1);
    state.cntMyLimitTimeout = kLimitTimeoutSeconds;
    return false;
  }
  if (state.cntMyLimitTimeout == 0) return true;
  return --state.cntMyLimitTimeout == 0;
}

void runUnitRole(UnitRoleState& state) {
  slaveUpdateMyFieldType();
  slaveUpdateMinFR();
  const bool timedOut = timeoutMira(state);
  if (timedOut || value(tag::kOpacCurrLim) == kFullFiringRatio) {
    setTag(tag::kMyFr, kFullFiringRatio);
  } else {
    slaveUpdateMyFR();
  }
  updateStatus();
  setTag(tag::kNotes, note(timedOut));
}

int updateFunFiringRatio(UnitRoleState& state) {
  const bool kora = koraOn();
  const bool mira = miraOn();
  if (mira && !state.lastMiraOn) setTag(tag::kMyFr, baseFiringRatio());
  state.lastMiraOn = mira;

  const int own     = value(tag::kMyFr);
  const int optimal = value(tag::kKoraOptimalFr);
  const int mode    = value(tag::kActModeFiringRatio);
  int ratio         = mode;
  int source        = kSourceMode;
  if (kora && value(tag::kKoraOptimizing) != 0) {
    ratio  = value(tag::kKoraTestFr);
    source = kSourceKoraOptimizing;
  } else if (kora && value(tag::kKoraReferenceRunning) != 0) {
    ratio  = value(tag::kKoraTestFr);
    source = kSourceKoraReference;
  } else if (kora && (!mira || own >= optimal)) {
    ratio  = optimal;
    source = kSourceKoraOptimal;
    if (mira) setTag(tag::kMyFr, optimal);
  } else if (mira && own < baseFiringRatio()) {
    const int minimum = value(tag::kMyFrMin);
    ratio             = own;
    if (minimum >= own) {
      ratio = minimum;
      setTag(tag::kMyFr, minimum);
    }
    source = kSourceMira;
  } else if (mira) {  // without KORA, at or above the mode's ratio
    setTag(tag::kMyFr, mode);
  }
  setTag(tag::kFunFiringRatio, ratio);
  setTag(tag::kFrSource, source);
  return ratio;
}

}  // namespace mira
