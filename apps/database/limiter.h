// The functional current limiter: the limit the signal processor holds the secondary
// current to, ramped up towards its target in five speed bands and dropped at once.
#pragma once

struct LimiterState {
  int currlimTarget = 0;  // mA, the target current limit
  int lastCurrlim = 0;    // mA, the effective (ramped) limit
  int raiseState = 0;     // ramp band of the previous pass, 0..4
  int rest = 0;           // remainder of the last ramp division, carried to the next pass
};

// Every pass, after the T/R file update and before the run command handling.
void functionalLimiter(LimiterState& state);

// Codes of vxi_funlimiter written here.
constexpr int kFunLimiterOff = 0;
constexpr int kFunLimiterRapping = 7;
constexpr int kFunLimiterCurrentLimit = 9;
constexpr int kFunLimiterKora = 10;
constexpr int kFunLimiterRamping = 12;
