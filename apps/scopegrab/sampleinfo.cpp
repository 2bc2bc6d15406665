#include "sampleinfo.h"

#include <algorithm>

#include "scopecapture/capture.h"

namespace scopegrab {
namespace {

// Half cycles at the start of a capture that may be cut by the trigger.
constexpr int kUnsettledHalfCycles            = 4;
constexpr uint32_t kIgnitionAboveTenthDegrees = 10;  // a pulse needs more than 1 degree

bool firing(uint32_t word) { return scope::fieldOf(word, scope::limiterword::kFiring) != 0; }
uint32_t phaseA(uint32_t word) { return scope::fieldOf(word, scope::limiterword::kPhaseA); }

bool badLimiter(uint32_t word) {
  const uint32_t code = scope::fieldOf(word, scope::limiterword::kLimiter);
  return code == 0 || code == 6 || code == 7 || code == 13;
}

}  // namespace

int sampleFrequencyHz(int sr) { return sr == 0 ? 0 : 9600 / sr; }
double sampleTimeUs(int sr) { return sr * 104.167; }

double samplesPerHalfPeriod(int sr, int lf) {
  if (sr <= 0 || lf <= 0) return 0;
  return 1000000.0 / (lf * 0.2) / sampleTimeUs(sr);
}

int samplesPerPulse(int sr, int lf, int fr) {
  if (fr <= 0) return 0;
  return static_cast<int>(samplesPerHalfPeriod(sr, lf) * (10000.0 / fr));
}

SampleAnalysis::SampleAnalysis(sampleInfo& info, int captureLength, int kvOffset)
    : info_(info), captureLength_(captureLength), kvOffset_(kvOffset) {}

void SampleAnalysis::timing(uint32_t word) {
  ++info_.samples;
  if (!timingStarted_) {
    timingStarted_  = true;
    lastTimingWord_ = word;
  }
  ++halfCycleLength_;
  if (phaseA(word) != phaseA(lastTimingWord_)) {
    ++info_.halfCycles;
    info_.fullCycles = info_.halfCycles / 2;
    if (info_.halfCycles > kUnsettledHalfCycles) {
      const int length = halfCycleLength_ - 1;  // this sample begins the next half cycle
      if (info_.halfCycles == kUnsettledHalfCycles + 1) shortestHalfCycle_ = longestHalfCycle_ = length;
      shortestHalfCycle_ = std::min(shortestHalfCycle_, length);
      longestHalfCycle_  = std::max(longestHalfCycle_, length);
      info_.maxDeviation = std::max(info_.maxDeviation, longestHalfCycle_ - shortestHalfCycle_);
      samplesInHalfCycles_ += length;
      const int measured    = info_.halfCycles - kUnsettledHalfCycles;
      info_.samplesPerCycle = samplesInHalfCycles_ * 20 / measured;
    }
    halfCycleLength_ = 1;
  }
  if (firing(word)) {
    if (!firing(lastTimingWord_) || info_.samples == 1) {
      ++info_.ignitions;
      info_.samplesAfterIgnition = 0;
    }
    ++info_.ignitionLength;
  }
  ++info_.samplesAfterIgnition;
  lastTimingWord_ = word;
}

void SampleAnalysis::pulses(int index, float voltageTenthKv, uint32_t word, uint32_t angleWord) {
  if (index <= 1) {
    std::fill(&info_.sumPulsePhase[0][0], &info_.sumPulsePhase[0][0] + 2 * kPulsePositions, 0.0f);
    std::fill(&info_.noOfPulsesInPos[0][0], &info_.noOfPulsesInPos[0][0] + 2 * kPulsePositions, 0);
    info_.noOfPulsesInSumPhase[0] = info_.noOfPulsesInSumPhase[1] = 0;
    info_.noOfPulsesInSum                                         = 0;
    info_.smallestPulseLength                                     = kPulsePositions;
    position_                                                     = -1;
    pulsesClosed_                                                 = false;
  }
  const uint32_t angle     = scope::fieldOf(angleWord, scope::angleword::kIgnitionAngle);
  const uint32_t lastAngle = scope::fieldOf(lastAngleWord_, scope::angleword::kIgnitionAngle);
  const bool starts = index > 0 && firing(word) && !firing(lastPulseWord_) && angle > kIgnitionAboveTenthDegrees &&
                      lastAngle > kIgnitionAboveTenthDegrees;
  if (starts && !pulsesClosed_) {
    const int wanted =
        std::min(samplesPerPulse(info_.sampleRate, info_.lineFrequency, info_.firingRatio), kPulsePositions);
    if (captureLength_ - index < wanted) {
      pulsesClosed_ = true;
    } else {
      if (position_ > 0) info_.smallestPulseLength = std::min(info_.smallestPulseLength, position_);
      phase_    = static_cast<int>(phaseA(word));
      position_ = 0;
      ++info_.noOfPulsesInSumPhase[phase_];
      ++info_.noOfPulsesInSum;
    }
  }
  if (pulsesClosed_) position_ = -1;
  if (position_ >= 0) {
    if (position_ < kPulsePositions) {
      info_.sumPulsePhase[phase_][position_] += (voltageTenthKv - kvOffset_ / 100.0f) / 10.0f;
      ++info_.noOfPulsesInPos[phase_][position_];
    }
    ++position_;
  }
  badMeasurement_ = badLimiter(word);
  lastPulseWord_  = word;
  lastAngleWord_  = angleWord;
}

float phaseMean(const sampleInfo& info, int phase, int position) {
  const int count = info.noOfPulsesInPos[phase][position];
  return count == 0 ? 0.0f : info.sumPulsePhase[phase][position] / static_cast<float>(count);
}

float averagedPulse(const sampleInfo& info, int position) {
  const bool a = info.noOfPulsesInPos[0][position] != 0;
  const bool b = info.noOfPulsesInPos[1][position] != 0;
  if (a && b) return phaseMean(info, 0, position) + phaseMean(info, 1, position);
  if (a) return 2.0f * phaseMean(info, 0, position);
  if (b) return 2.0f * phaseMean(info, 1, position);
  return 0.0f;
}

}  // namespace scopegrab
