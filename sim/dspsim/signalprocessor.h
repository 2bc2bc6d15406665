// The simulated signal processor: run state, heartbeat, alarms, the current regulation of the
// T/R set with its spark recovery, and the measurements, all on its register copy.
#pragma once

#include <cstdint>
#include <random>

#include "constants.h"
#include "control.h"
#include "dspalarms.h"
#include "field.h"
#include "registers.h"
#include "scope.h"
#include "sparks.h"

namespace dspsim {

class SignalProcessor {
 public:
  SignalProcessor(const ModelConstants& constants, DspRegisters& dsp);

  void handle(const Request& request);
  // One measurement set at this time (monotonic ms); the registers the bridge exchanges next.
  void step(int64_t nowMs);

 private:
  void runState(int64_t nowMs);
  void heartbeat(int64_t nowMs);
  void reportRapping();
  bool rappingLimit() const;
  void regulate(int64_t nowMs, double elapsedMs);
  void spark(int64_t nowMs, int peakVoltage, Slope slope, bool arc);
  void publish(int64_t nowMs, const Measurements& m, LimiterCode limiter, Slope slope);
  TrRatings ratings() const;
  RecoverySettings recoverySettings(bool arc) const;
  ScopeInputs scopeInputs() const;

  ModelConstants c_;
  DspRegisters& dsp_;
  AlarmControl alarms_;
  SparkRecovery recovery_;
  SparkWindow sparkWindow_;
  ScopeRecorder scope_;
  std::mt19937 random_;
  int64_t lastStepMs_         = -1;
  int64_t tronRequestedMs_    = -1;  // when the run command was seen, -1 while off
  int64_t heartbeatChangedMs_ = 0;
  bool heartbeatStopped_      = false;
  bool sparkRequested_        = false;
  bool arcRequested_          = false;
  bool lastWasArc_            = false;  // the last spark burnt on as an arc
  bool risingAfterSpark_      = false;  // slope C: back up to the limit at vxi_riseslopec
  double setPointMa_          = 0;
  double pulseMa_             = 0;
};

}  // namespace dspsim
