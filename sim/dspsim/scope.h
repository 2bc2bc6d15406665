// The scope of the signal processor: takes up a trigger, samples the T/R set as it runs
// at that moment, and after the time the samples take hands the capture to scopegrab.
#pragma once

#include <cstdint>
#include <memory>

#include "constants.h"
#include "field.h"
#include "registers.h"
#include "scopecapture/capture.h"

namespace dspsim {

// The operating point the capture shows.
struct ScopeInputs {
  double pulseMa           = 0;  // mean current of a firing half-cycle
  int chargeRatio          = 1;  // 1 of n half-cycles fires (2 of n when n is even)
  double conductionPercent = 0;  // share of a firing half-cycle in which the thyristors conduct
  int limiter              = 0;  // limiter code
  int sampleRate           = 1;  // divider: 9600 / divider Hz
  int setPointMa           = 0;
  int dvdt                 = 0;  // kV/ms
  TrRatings ratings;
};

// Whether half-cycle k fires at this charge ratio: one of n when n is odd, the first two of
// n when it is even, every one for 0 and 1.
bool halfCycleFires(int chargeRatio, long halfCycle);

// Sample by sample: the thyristors conduct a half-sine pulse at the end of each firing
// half-cycle, the field charges by it and discharges through its corona current between
// pulses. The record starts after the field has settled.
void recordCapture(const ScopeInputs& inputs, const ModelConstants& c, scope::Capture& capture);

// Milliseconds the samples of one capture take at this divider.
int64_t captureDurationMs(int sampleRate);
// Milliseconds a capture of this many samples takes on the serial line to the module.
int64_t transferDurationMs(int samples);

class ScopeRecorder {
 public:
  ScopeRecorder();
  // One measurement set: a trigger is taken up, a capture sampled is sent, a capture sent
  // is handed over.
  void step(int64_t nowMs, DspRegisters& dsp, const ScopeInputs& inputs, const ModelConstants& c);

 private:
  std::unique_ptr<scope::Capture> capture_;
  int64_t sampledAtMs_     = -1;  // end of the sampling; -1 while none is being taken
  int64_t transferredAtMs_ = -1;  // end of the transfer; -1 while none is being sent
};

}  // namespace dspsim
