// What the spark statistics, the limiter and the mode handling remember between passes;
// the daemon owns one, and nothing of it is saved.
#pragma once

#include "derived.h"
#include "limiter.h"
#include "modes.h"
#include "sparkrecovery.h"
#include "sparks.h"
#include "sparktexts.h"
#include "tron.h"

struct EnergisationState {
  SparkStatistics sparks = makeSparkStatistics();
  RecoveryTimeRotation recoveryRotation;
  SpmPrefixState spmPrefix;
  LimiterState limiter;
  CurrentDensitySamples currentDensity;
  ViMinState viMin;
  ModeState modes;
  TronState tron;
};
