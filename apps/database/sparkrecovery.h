// Spark recovery: recovery times entered as a spark rate, and the recovery curve that the
// web front end draws (group vxg_sparkrecovcurve).
#pragma once

// Which recovery-time setting the next pass checks.
struct RecoveryTimeRotation {
  int next = 0;
};

// Every pass, one setting per pass: a recovery time entered as a rate becomes a time.
void handleSPMtoSparcRecovery(RecoveryTimeRotation& rotation);
// The recovery time, in 0.1 ms, that a setting value stands for.
int recoveryTimeFromRate(int setting);
// Once per second.
void sparkRecoveryCurve();
