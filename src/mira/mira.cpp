#include "mira/mira.h"

#include "mira/distribution.h"
#include "mira/miratags.h"
#include "sharedmem/tagaccess.h"

namespace mira {

namespace {

constexpr int kFullShare = 10000;  // 0.01 %

int value(int handle) { return dbReadValueByHandle(handle); }

void setTag(int handle, int newValue) {
  int ignored = 0;
  dbSetValueByHandle(handle, newValue, &ignored);
}

void firstCall(MiraState& state, const char* iniPath) {
  getMiraDataFromIniFile(iniPath, state.mira);
  setTag(tag::kMainLimit, kFullShare);
  setTag(tag::kOpacCurr, kFullShare);
  getProfile(state.mira);
  displayProfileBars();
  state.firstdone = true;
}

void masterRole(MiraState& state) {
  const bool fullMinute = value(tag::kSecondsOfDay) % 60 == 0;
  takeOpacitySample();
  averageOpacity(state.opacity, fullMinute);
  if (value(tag::kMasterMira) == 0) {
    distributeMax();
    return;
  }
  const int highLimit = 100 * value(tag::kHighLimit);
  if (value(tag::kOpacAverage) >= highLimit || value(tag::kOpacMomentary) >= highLimit) {
    distributeMax();
  } else if (fullMinute && ++state.cntMinutesSinceApply >= value(tag::kSampleInterval)) {
    state.cntMinutesSinceApply = 1;
    getProfile(state.mira);
    distributeChange(calculateChange());
  }
  displayProfileBars();
}

}  // namespace

void MIRA(MiraState& state, const char* iniPath) {
  if (!state.firstdone) firstCall(state, iniPath);
  if (value(tag::kMaster) != 0 && value(tag::kOpacCalib) == 0) masterRole(state);
  runUnitRole(state.unit);
}

}  // namespace mira
