#include "sparks.h"

#include <algorithm>
#include <cmath>

namespace dspsim {

double sparkRatePerMinute(int peakVoltage, const ModelConstants& c) {
  if (peakVoltage <= 0) return 0.0;
  const double closeness = static_cast<double>(peakVoltage - c.sparkoverVoltage) / c.sparkRateScale;
  return c.sparkRateAtSparkover * std::exp(std::min(closeness, 20.0));
}

void SparkRecovery::start(int64_t nowMs, double preSparkMa, const RecoverySettings& s, const ModelConstants& c) {
  const double halfPeriodMs = 1000.0 / (2.0 * c.lineFrequency / 10.0);
  const double recoveryMs   = std::max(s.recoveryTime, 0) / 10.0;
  const double step         = std::clamp(s.currentStep, 0, 100) / 100.0;
  active_                   = true;
  startMs_                  = nowMs;
  quenchEndMs_              = nowMs + std::llround(std::max(s.quenchPulses, 0) * halfPeriodMs);
  firstIgnitionEndMs_       = quenchEndMs_ + std::llround(halfPeriodMs);
  slopeAEndMs_              = quenchEndMs_ + std::llround(recoveryMs * std::clamp(s.riseTimeA, 0, 100) / 100.0);
  endMs_                    = quenchEndMs_ + std::llround(recoveryMs);
  startMa_                  = preSparkMa * (1.0 - step);
  slopeAMa_                 = startMa_ + preSparkMa * step * std::clamp(s.risePercA, 0, 1000) / 1000.0;
  targetMa_                 = preSparkMa * (1.0 - c.sparkSetback / 1000.0);
  slopeAMa_                 = std::min(slopeAMa_, targetMa_);
  startMa_                  = std::min(startMa_, slopeAMa_);
}

double SparkRecovery::setPointMa(int64_t nowMs) const {
  if (!active(nowMs)) return targetMa_;
  if (nowMs < quenchEndMs_) return 0.0;
  const auto along = [nowMs](int64_t from, int64_t to, double a, double b) {
    return to <= from ? b : a + (b - a) * static_cast<double>(nowMs - from) / static_cast<double>(to - from);
  };
  if (nowMs < slopeAEndMs_) return along(quenchEndMs_, slopeAEndMs_, startMa_, slopeAMa_);
  return along(slopeAEndMs_, endMs_, slopeAMa_, targetMa_);
}

Slope SparkRecovery::slope(int64_t nowMs) const {
  if (!active(nowMs)) return kSlopeC;
  if (nowMs < quenchEndMs_) return kSlopeQuench;
  if (nowMs < firstIgnitionEndMs_) return kSlopeFirstIgnition;
  return nowMs < slopeAEndMs_ ? kSlopeA : kSlopeB;
}

int SparkWindow::perMinute(int64_t nowMs) {
  while (!sparks_.empty() && sparks_.front() <= nowMs - 60000) sparks_.pop_front();
  return static_cast<int>(std::min<size_t>(sparks_.size(), 65535));
}

}  // namespace dspsim
