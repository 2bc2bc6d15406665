#include "derived.h"

#include "controlmath.h"
#include "energisationtags.h"

using namespace etag;

namespace {
constexpr int kAuxCurrentMost = 259;       // mA
constexpr int kDefaultCollectorArea = 1000; // m², when the field code gives no spacing
constexpr int kFullFiringRatio = 10000;    // 0.01 %
}  // namespace

void setCurrDens(CurrentDensitySamples& state) {
  const int area = readTag(kCollectorArea);
  if (area > 0) {
    state.samples[state.p] = static_cast<short>((readTag(kSecCurrPulse) * 1000 + area / 2) / area);
    state.p = (state.p + 1) % 3;
    writeTag(kSecCurrDens, median3(state.samples.data()));
  } else {
    writeTag(kSecCurrDens, 0);
  }
  const int limit = readTag(kActModeCurrLim);
  if (area > 0 && (readTag(kViMinCurrDens) * area + 500) / 1000 > limit) {
    writeTag(kViMinCurrDens, limit * 1000 / area);
  }
}

void viMin(ViMinState& state) {
  const int area = readTag(kCollectorArea);
  const int current = readTag(kViMinimumCurrent);
  if (current == state.lastMinimumCurrent) {
    writeTag(kViMinimumCurrent, (readTag(kViMinCurrDens) * area + 500) / 1000);
  } else if (area > 0) {
    writeTag(kViMinCurrDens, (current * 1000 + area / 2) / area);
  } else {
    writeTag(kViMinCurrDens, (area / 2 + current * 1000) / 1000);
  }
  state.lastMinimumCurrent = readTag(kViMinimumCurrent);
}

void calculateImpedance() {
  const int current = readTag(kSecCurrAvg);
  writeTag(kSecAvgImpedance, current > 0 ? readTag(kSecVoltAvg) * 1000 / (current + 1) : 0);
}

void collectorArea() {
  if (readTag(kCollectorArea) != 0) return;
  const int spacing = 25 * readTag(kEspCodeSpacing) + 175;  // mm between the plates
  int area = kDefaultCollectorArea;
  if (spacing >= 1) {
    area = ((readTag(kEspCodeWidth) + 1) / 2) * readTag(kEspCodeFieldLength) * ((readTag(kEspCodeHeight) + 1) / 2) /
           125 / spacing;
  }
  writeTag(kCollectorArea, area);
}

void setAuxCurr() {
  if (readTag(kAuxCurrMethod) == 0) {
    writeTag(kAuxCurr, readTag(kTestAuxInp1));
  } else {
    writeTag(kAuxCurr, constrain(readTag(kAuxCurrIncoming), kAuxCurrentMost, 0));
  }
}

int firingRatioToCR(int firingRatio) {
  int chargeRatio = 1;
  if (firingRatio >= 1 && firingRatio <= kFullFiringRatio) {
    int halfWaves = 100000 / firingRatio;  // 0.1 half waves per firing
    if (halfWaves % 10 > 5) halfWaves += 5;
    const int whole = halfWaves / 10;
    chargeRatio = whole % 2 == 1 ? whole : 2 * whole;
  }
  writeTag(kFakeCr, chargeRatio);
  return chargeRatio;
}
