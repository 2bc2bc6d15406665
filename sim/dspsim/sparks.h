// Sparks: their rate as the peak voltage approaches spark-over, the recovery of the current
// after a spark, and the sparks-per-minute count.
#pragma once

#include <cstdint>
#include <deque>

#include "constants.h"

namespace dspsim {

// Sparks per minute at this peak voltage (0.1 kV): the rate at spark-over, times e for every
// sparkRateScale closer (and divided by e for every sparkRateScale below).
double sparkRatePerMinute(int peakVoltage, const ModelConstants& c);

// Controller slopes reported in vxi_activeslope.
enum Slope : int {
  kSlopeOff           = 0,
  kSlopeQuench        = 1,
  kSlopeFirstIgnition = 3,
  kSlopeA             = 4,
  kSlopeB             = 5,
  kSlopeC             = 6,  // the slow rise after a recovery, and steady operation
};

// The recovery settings the module sends, in their tag units.
struct RecoverySettings {
  int recoveryTime = 6000;  // 0.1 ms
  int currentStep  = 30;    // % of the pre-spark current dropped at the spark
  int risePercA    = 500;   // 0.1 % of the step regained during slope A
  int riseTimeA    = 30;    // % of the recovery time spent in slope A
  int quenchPulses = 2;     // half-cycles without firing
};

// The set point of the pulse current from a spark until the recovery ends: no firing during the
// quench, then back from (100 - step) % of the pre-spark current through slopes A and B to the
// pre-spark current less the setback.
class SparkRecovery {
 public:
  void start(int64_t nowMs, double preSparkMa, const RecoverySettings& settings, const ModelConstants& c);
  bool active(int64_t nowMs) const { return active_ && nowMs < endMs_; }
  bool quenching(int64_t nowMs) const { return active(nowMs) && nowMs < quenchEndMs_; }
  double setPointMa(int64_t nowMs) const;
  Slope slope(int64_t nowMs) const;
  double targetMa() const { return targetMa_; }  // where the recovery ends

 private:
  bool active_                = false;
  int64_t startMs_            = 0;
  int64_t quenchEndMs_        = 0;
  int64_t firstIgnitionEndMs_ = 0;
  int64_t slopeAEndMs_        = 0;
  int64_t endMs_              = 0;
  double startMa_             = 0;
  double slopeAMa_            = 0;
  double targetMa_            = 0;
};

// Sparks of the last minute, for vxi_spm.
class SparkWindow {
 public:
  void add(int64_t nowMs) { sparks_.push_back(nowMs); }
  int perMinute(int64_t nowMs);

 private:
  std::deque<int64_t> sparks_;
};

}  // namespace dspsim
