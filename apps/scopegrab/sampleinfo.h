// The timing of a capture and the pulses of both half-wave phases, gathered sample by
// sample while the capture is written out.
#pragma once

#include <array>
#include <cstdint>

namespace scopegrab {

constexpr int kPulsePositions = 700;  // longest pulse averaged, samples

// Timing from the settings: sr divider, lf 0.1 Hz, fr 0.01 %.
int sampleFrequencyHz(int sr);  // 9600 / sr, 0 for sr 0
double sampleTimeUs(int sr);    // sr * 104.167
double samplesPerHalfPeriod(int sr, int lf);
int samplesPerPulse(int sr, int lf, int fr);  // truncated; 0 when a setting is 0

struct sampleInfo {
  int samplesAfterIgnition = 0;
  int samples              = 0;
  int halfCycles           = 0;
  int fullCycles           = 0;
  int ignitions            = 0;
  int ignitionLength       = 0;
  int samplesPerCycle      = 0;  // 0.1 samples
  int maxDeviation         = 0;  // samples between the shortest and longest half cycle
  int coronakVFound        = 0;
  int kVatCorona           = 0;
  int coronaTimesFound     = 0;
  int corona               = 0;
  int sampleRate           = 0;
  int lineFrequency        = 0;
  int firingRatio          = 0;
  float sumPulsePhase[2][kPulsePositions]{};  // kV summed per phase and position
  int noOfPulsesInPos[2][kPulsePositions]{};
  int noOfPulsesInSumPhase[2]{};
  int noOfPulsesInSum     = 0;
  int smallestPulseLength = kPulsePositions;
};

// Feeds one capture through the timing and the pulse averaging, sample by sample.
class SampleAnalysis {
 public:
  SampleAnalysis(sampleInfo& info, int captureLength, int kvOffset);
  // The sample-rate analysis of one limiter word.
  void timing(uint32_t limiterWord);
  // The pulse averaging of one sample: voltage in 0.1 kV, the ignition-angle word.
  void pulses(int index, float voltageTenthKv, uint32_t limiterWord, uint32_t angleWord);
  bool badMeasurement() const { return badMeasurement_; }

 private:
  sampleInfo& info_;
  int captureLength_;
  int kvOffset_;  // 0.001 kV
  // timing
  uint32_t lastTimingWord_ = 0;
  bool timingStarted_      = false;
  int halfCycleLength_     = 0;
  int shortestHalfCycle_   = 0;
  int longestHalfCycle_    = 0;
  int samplesInHalfCycles_ = 0;
  // pulses
  uint32_t lastPulseWord_ = 0;
  uint32_t lastAngleWord_ = 0;
  int phase_              = 0;
  int position_           = -1;  // -1: no pulse being taken
  bool pulsesClosed_      = false;
  bool badMeasurement_    = false;
};

// Mean of a phase at a position, 0 without pulses.
float phaseMean(const sampleInfo& info, int phase, int position);
// Twice the mean voltage at a position: the sum of the two phase means, or twice the one.
float averagedPulse(const sampleInfo& info, int position);

}  // namespace scopegrab
