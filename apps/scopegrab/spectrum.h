// The spectrum of a channel and its signal quality: the n samples taken as n/2 complex
// points (consecutive real/imaginary pairs) and transformed with a positive exponent, as
// the classic in-place radix-2 routine does in its forward direction.
#pragma once

#include <complex>
#include <span>
#include <vector>

#include "scopecapture/capture.h"

namespace scopegrab {

struct FFT {
  float data[scope::kMaxSamples];  // n/2 complex points, real and imaginary interleaved
  int nn                   = 0;    // complex points
  int isign                = 1;    // sign of the exponent
  int fundamentalFrequency = 0;    // bin
  double powerInff         = 0;
  double totalPower        = 0;
  int signalStrength       = 0;  // %
  float fr                 = 0;  // samples used / sample frequency (s)
};

// Plans a transform once per size and reuses it for every channel and capture.
class SpectrumTransform {
 public:
  SpectrumTransform() = default;
  ~SpectrumTransform();
  SpectrumTransform(const SpectrumTransform&)            = delete;
  SpectrumTransform& operator=(const SpectrumTransform&) = delete;

  // Transforms the first n samples (n even, at most 4096) into fft.data.
  void transform(const float* samples, int n, FFT& fft);

 private:
  void* plan_    = nullptr;  // fftwf_plan for points_
  float* buffer_ = nullptr;  // fftwf_complex[points_]
  int points_    = 0;
};

// The textbook sum, for checking the planned transform.
std::vector<std::complex<double>> directDft(std::span<const float> interleaved, int sign);

inline float binMagnitude(const FFT& fft, int bin) {
  const float re = fft.data[2 * bin];
  const float im = fft.data[2 * bin + 1];
  return std::sqrt(re * re + im * im);
}

// The bin above 1 with the largest magnitude among bins 0 .. bins-1 (0 when there is none).
int fundamentalBin(const FFT& fft, int bins);

// Share of the power in the bands around up to three centres (bins), in %, over bins
// 3 .. bins-1; d = samples used / sample frequency selects the band widths.
int signalStrength(const FFT& fft, int bins, double d, std::span<const double> centres);

}  // namespace scopegrab
