#include "onsetfit.h"

#include <cmath>

namespace measurement {

std::optional<double> coronaOnsetKv(std::span<const ViPoint> points) {
  double n = 0, sumX = 0, sumY = 0, sumXX = 0, sumXY = 0;
  for (const ViPoint& p : points) {
    if (p.currentMa <= 0) continue;  // no corona current: not on the line
    const double x = std::sqrt(p.currentMa);
    n += 1;
    sumX += x;
    sumY += p.voltageKv;
    sumXX += x * x;
    sumXY += x * p.voltageKv;
  }
  const double spread = n * sumXX - sumX * sumX;
  if (n < 2 || spread <= 1e-9 * n * sumXX) return std::nullopt;
  const double slope = (n * sumXY - sumX * sumY) / spread;
  if (slope <= 0) return std::nullopt;
  return (sumY - slope * sumX) / n;
}

}  // namespace measurement
