// The average-current search at step 1: lower the current in 3 % steps until the full
// charge stops growing.
#include <cstdio>

#include "kora/kora.h"
#include "kora/koratags.h"
#include "kora/scope.h"
#include "kora/tagio.h"

namespace kora {

namespace {

constexpr int kListing      = 99;
constexpr int kDoneState    = 98;  // step-search state that ends the run
constexpr int kLastNextTest = 15;  // measurements after which one more is still made

int percentageOf(int measurement) { return measurement == 0 ? 100 : 97 - 3 * measurement; }

void setUpAndStart(KoraState& state, int percentage) {
  KORA& k = state.shared;
  currentOptimizationScopeSetup(percentage);
  k.QMeasureFailCnt = 0;
  if (ScopeStart(state.scope)) {
    k.currentOptimizationState = 1;
    std::printf("Scope started ");
    k.qCalculationTimeout = kQCalculationTimeout;
  } else {
    k.currentOptimizationState = 0;
    std::printf("S0 kora.currentOptimization %d \n", k.currentOptimization);
  }
}

void evaluate(KoraState& state) {
  KORA& k     = state.shared;
  const int n = state.NoOfMeasurements;
  if (n < 2) {
    k.currentOptimizationState = 0;
    std::printf("S2 measure again %d \n", n);
    return;
  }
  const auto& q        = state.currentOptimizationQMeasurements;
  const int32_t last   = q[static_cast<size_t>(n - 1)];
  const int32_t before = q[static_cast<size_t>(n - 2)];
  std::printf("S2 Evaluate! %d < %d \n", last, before);
  if (last < before) {
    std::printf("S2 optimal current found step %d current %d -- %d", n - 2, 100 - 3 * n, 98 - 3 * n);
    k.optimalAverageCurrent    = static_cast<int16_t>(n == 2 ? 100 : 103 - 3 * n);
    k.currentOptimizationState = kListing;
  } else if (n <= kLastNextTest) {
    std::printf("S2 test next current ");
    k.currentOptimizationState = 0;
  } else {
    std::printf("S2.2 optimal current found step %d current %d -- %d", n - 2, 100 - 3 * n, 98 - 3 * n);
    k.optimalAverageCurrent    = static_cast<int16_t>(103 - 3 * n);
    k.currentOptimizationState = kListing;
  }
}

void printMeasurements(KoraState& state) {
  std::printf("S99 measurement:current:Q");
  for (int i = 0; i < state.NoOfMeasurements; ++i) {
    std::printf(" %d : %d : %d\n", i, 100 - 3 * i, state.currentOptimizationQMeasurements[static_cast<size_t>(i)]);
  }
  std::printf("S99 measurement:current:Q");
}

}  // namespace

void KORAcurrentOptimization(KoraState& state) {
  KORA& k = state.shared;
  if (k.optimationFail) k.currentOptimizationState = kListing;
  switch (k.currentOptimizationState) {
    case -1:
      k.currentOptimizationState = 0;
      k.optimalAverageCurrent    = 100;
      state.currentOptimizationQMeasurements.fill(0);
      state.NoOfMeasurements = 0;
      k.currentOptimization  = 100;
      setUpAndStart(state, 100);
      break;
    case 0:
      k.currentOptimization = static_cast<int16_t>(percentageOf(state.NoOfMeasurements));
      setUpAndStart(state, k.currentOptimization);
      break;
    case 1:
      k.optimationDone = false;
      if (isScopeReady(state.scope)) {
        if (state.NoOfMeasurements < kCurrentOptimizationMeasurements) {
          state.currentOptimizationQMeasurements[static_cast<size_t>(state.NoOfMeasurements)] = value(tag::kLastQFull);
          ++state.NoOfMeasurements;
        }
        k.currentOptimizationState = 2;
        std::printf("S1 Q complete %d \n", state.NoOfMeasurements);
      } else if (--k.qCalculationTimeout <= 0) {
        k.currentOptimizationState = 0;
        ++k.QMeasureFailCnt;
        std::printf("S1 scope Timout %d %d\n", k.Optimising, k.QMeasureFailCnt);
      }
      break;
    case 2:
      k.optimationDone = false;
      evaluate(state);
      break;
    case kListing:
      printMeasurements(state);
      k.Optimising               = kDoneState;
      k.currentOptimizationState = -1;
      break;
    default:
      break;
  }
}

}  // namespace kora
