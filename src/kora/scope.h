// Preparing, starting and reading back the captures that the scope program makes for
// KORA; the two programs meet only through tags.
#pragma once

#include "kora/kora.h"

namespace kora {

// Full charge of step s at the current of step s + 1: -1 for the last step (nothing
// prepared), 1 when steps s and s + 1 share a current density (the capture then gives
// the truncated charge of s too), else 0.
int QFullValueScopeSetup(const KORA& kora, int s);
// Truncated charge of step s at its own current: 0 for step 1 (nothing prepared), else 1.
int QTruncValueScopeSetup(const KORA& kora, int s);
// Corona time at a low ratio; from the third failure on with a lowered ratio and current.
int CoronaTimeValueScopeSetup(const KORA& kora, int failCount);
// Full charge at step 1 with p % of the mode current limit.
int currentOptimizationScopeSetup(int PercentageOfMaxCurrent);

// Called once per pass until it returns true: the prepared capture has started (or has
// already been taken up and finished).
bool ScopeStart(ScopeProtocol& scope);
// True from the third consecutive pass on which the capture is finished and valid.
bool isScopeReady(ScopeProtocol& scope);

}  // namespace kora
