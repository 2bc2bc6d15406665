#include "limiter.h"

#include <cstdio>

#include "energisationtags.h"

using namespace etag;

namespace {

constexpr int kNoRappingTarget = 10000;  // P: no rapping target applies
constexpr int kNoPcr = -1;               // vxi_pcr, vxi_schedulerpcrresult: no value

// Ramp bands by the effective limit's share of the target: each pass adds
// (slope + rest) / divisor. A remainder carried into the next band is rescaled to its
// divisor.
struct RampBand {
  int belowPercent;  // band holds limits below this rounded share of the target, %
  int divisor;
};
// clang-format off
// band  below %  divisor
constexpr RampBand kRampBands[] = {
    {4,       66},   // 0
    {15,      23},   // 1
    {85,      14},   // 2
    {96,      23},   // 3
    {100,     66},   // 4: up to the target
};
// clang-format on
constexpr int kNoOfRampBands = sizeof kRampBands / sizeof kRampBands[0];

// vxo_riseslopecsetting codes and the slopes they stand for.
struct RiseSlopeCode {
  int code;
  int slope;
};
constexpr RiseSlopeCode kRiseSlopeCodes[] = {{0, 100}, {1, 500}, {2, 1000}};
constexpr int kLeastRiseSlope = 5;          // bands 0..3
constexpr int kLeastRiseSlopeLastBand = 3;  // band 4

int rappingTarget(LimiterState& state) {
  const int scheduled = readTag(kSchedulerResult) == 1 ? readTag(kSchedulerPcrResult) : kNoPcr;
  const int pcr = readTag(kPcr);
  int target = kNoRappingTarget;
  if (readTag(kRappingWithOptimisation) == 1 && readTag(kActModeKora) == 1) {
    const int most = readTag(kKoraMaxPcr);
    if (scheduled != kNoPcr || pcr != kNoPcr) {
      target = scheduled != kNoPcr ? scheduled : pcr;
      if (target > most) target = most;
    } else {
      target = most > kNoRappingTarget - 1 ? kNoRappingTarget : most;
    }
  } else if (scheduled != kNoPcr) {
    target = scheduled;
  } else if (pcr != kNoPcr) {
    target = pcr;
  }
  if (target != kNoRappingTarget) {
    if (target != state.currlimTarget) {
      writeTag(kTrendTrigger, 1);
      state.currlimTarget = target;
      writeTag(kFunLimiter, kFunLimiterRapping);
    } else if (target == state.lastCurrlim) {
      writeTag(kFunLimiter, kFunLimiterRapping);
    }
  }
  return target;
}

void takeTarget(LimiterState& state, int target) {
  if (target == state.currlimTarget) return;
  writeTag(kTrendTrigger, 1);
  state.currlimTarget = target;
}

void takeNormalTarget(LimiterState& state) {
  if (readTag(kActModeKora) == 1) {
    takeTarget(state, readTag(kKoraCurrentLimit));
    writeTag(kFunLimiter, kFunLimiterKora);
    return;
  }
  const int limit = readTag(kActModeCurrLim);
  if (limit != state.currlimTarget) {
    takeTarget(state, limit);
    std::printf("currlimTarget %d\n", state.currlimTarget);
  }
  writeTag(kFunLimiter, kFunLimiterCurrentLimit);
}

void settleRiseSlope() {
  int slope = readTag(kRiseSlopeCSetting);
  for (const RiseSlopeCode& code : kRiseSlopeCodes) {
    if (slope == code.code) {
      slope = code.slope;
      writeTag(kRiseSlopeCSetting, slope);
      break;
    }
  }
  writeTag(kRiseSlopeC, slope);
}

int bandOf(int limit, int target) {
  int band = 0;
  while (band < kNoOfRampBands - 1 && limit >= (target * kRampBands[band].belowPercent + 50) / 100) ++band;
  return band;
}

void rampUp(LimiterState& state, int slope, int target) {
  const int band = bandOf(state.lastCurrlim, target);
  const int divisor = kRampBands[band].divisor;
  if (band > 0) {
    if (state.raiseState == band - 1) {
      const int below = kRampBands[band - 1].divisor;
      state.rest = (state.rest * divisor + below / 2) / below;
    } else if (state.raiseState != band) {
      state.rest = 0;
    }
  }
  state.lastCurrlim += (slope + state.rest) / divisor;
  state.rest = (state.rest + slope % divisor) % divisor;
  state.raiseState = band;
  const int least = band < kNoOfRampBands - 1 ? kLeastRiseSlope : kLeastRiseSlopeLastBand;
  const int riseSlope = (slope * 1428 + 1000) / 1000;
  writeTag(kRiseSlopeC, riseSlope > least ? riseSlope : least);
  writeTag(kFunLimiter, kFunLimiterRamping);
}

void ramp(LimiterState& state) {
  const int slope = readTag(kPulseCurrentSlope);
  const int target = state.currlimTarget;
  if (slope < 1) {
    state.lastCurrlim = target;
  } else if (state.lastCurrlim >= target) {
    state.raiseState = state.rest = 0;
    settleRiseSlope();
  } else {
    rampUp(state, slope, target);
  }
  if (target < state.lastCurrlim) {
    state.lastCurrlim = target;
    state.raiseState = state.rest = 0;
  }
}

void setIdleCurrent(const LimiterState& state) {
  if (readTag(kKoraOptimizing) != 0 || readTag(kIdleCurrentBlock) != 0) {
    writeTag(kFunIdleCurrent, 0);
    return;
  }
  const int idle = (readTag(kActModeIdleCurrent) * state.lastCurrlim + 500) / 1000;
  const int most = readTag(kMaxIdleCurrent);
  writeTag(kFunIdleCurrent, idle > most ? most : (idle > 0 ? idle : 0));
}

}  // namespace

void functionalLimiter(LimiterState& state) {
  const int tron = readTag(kTron);
  const int rapping = readTag(kRapping);
  int target = 0;  // the rapping target P
  if (tron == 0) {
    writeTag(kFunCurrLimit, 0);
    writeTag(kFunLimiter, kFunLimiterOff);
    state.lastCurrlim = state.raiseState = state.rest = 0;
  } else if (rapping == 1) {
    target = rappingTarget(state);
  }
  if (tron == 1 && (rapping == 0 || (rapping == 1 && target == kNoRappingTarget))) takeNormalTarget(state);
  if (readTag(kViProgress) >= 0) writeTag(kViLimitedBy, readTag(kLimiter));
  // No ramp while the set is off: the limit stays 0 and vxi_funlimiter keeps saying "off",
  // and the next start ramps from 0 through every band.
  if (tron == 0) return;

  ramp(state);
  if (readTag(kPcr) == kNoPcr || rapping != 1) {
    const int limit = readTag(kActModeCurrLim);
    if (state.lastCurrlim > limit) state.lastCurrlim = limit;
    if (state.lastCurrlim < 0) state.lastCurrlim = 0;
  }
  writeTag(kFunCurrLimit, state.lastCurrlim);
  setIdleCurrent(state);
}
