#include "spectrum.h"

#include <fftw3.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "saturate.h"

namespace scopegrab {
namespace {

// Band limits around a centre c (bins): low = lowFactor c + offset, high = highFactor c + offset.
struct Band {
  double lowFactor;
  double highFactor;
  double offset;
};

// clang-format off
// Widths by frequency resolution d: below 1, below 2, otherwise; centres f1, f2, f3.
struct BandRow {
  double dBelow;
  Band bands[3];
};
constexpr BandRow kBandTable[] = {
    // d below   f1                   f2                   f3
    {1.0,        {{0.86, 1.19, 0},    {0.90, 1.15, 0},     {0.87, 1.11, 0.03}}},
    {2.0,        {{0.90, 1.10, 0},    {0.92, 1.06, 0},     {0.92, 1.06, 0}}},
    {INFINITY,   {{0.95, 1.05, 0},    {0.96, 1.03, 0},     {0.96, 1.03, 0}}},
};
constexpr double kBandWeight[3] = {1.0, 0.67, 0.33};  // share of a bin's power counted per centre
// clang-format on

constexpr double kMagnitudeScale = 50.0;
constexpr int kFirstQualityBin   = 3;

}  // namespace

SpectrumTransform::~SpectrumTransform() {
  if (plan_ != nullptr) fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
  fftwf_free(buffer_);
}

void SpectrumTransform::transform(const float* samples, int n, FFT& fft) {
  const int points = n / 2;
  fft.nn           = points;
  fft.isign        = 1;
  if (points <= 0) return;
  if (points != points_) {
    if (plan_ != nullptr) fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
    fftwf_free(buffer_);
    buffer_  = static_cast<float*>(fftwf_malloc(sizeof(fftwf_complex) * static_cast<size_t>(points)));
    auto* io = reinterpret_cast<fftwf_complex*>(buffer_);
    // FFTW_BACKWARD is the positive exponent of the classic forward routine.
    plan_   = fftwf_plan_dft_1d(points, io, io, FFTW_BACKWARD, FFTW_ESTIMATE);
    points_ = points;
  }
  std::memcpy(buffer_, samples, sizeof(float) * 2 * static_cast<size_t>(points));
  fftwf_execute(static_cast<fftwf_plan>(plan_));
  std::memcpy(fft.data, buffer_, sizeof(float) * 2 * static_cast<size_t>(points));
}

std::vector<std::complex<double>> directDft(std::span<const float> interleaved, int sign) {
  const size_t points = interleaved.size() / 2;
  std::vector<std::complex<double>> out(points);
  for (size_t k = 0; k < points; ++k) {
    std::complex<double> sum = 0;
    for (size_t j = 0; j < points; ++j) {
      const double angle = sign * 2.0 * std::numbers::pi * static_cast<double>((j * k) % points) / points;
      sum += std::complex<double>(interleaved[2 * j], interleaved[2 * j + 1]) * std::polar(1.0, angle);
    }
    out[k] = sum;
  }
  return out;
}

int fundamentalBin(const FFT& fft, int bins) {
  int best        = 0;
  float bestValue = -1;
  for (int bin = 2; bin < bins; ++bin) {
    const float m = binMagnitude(fft, bin);
    if (m > bestValue) {
      bestValue = m;
      best      = bin;
    }
  }
  return best;
}

int signalStrength(const FFT& fft, int bins, double d, std::span<const double> centres) {
  const BandRow* row = kBandTable;
  while (!(d < row->dBelow)) ++row;
  double total  = 1.0;
  double inBand = 0.0;
  for (int bin = kFirstQualityBin; bin < bins; ++bin) {
    const double scaled = binMagnitude(fft, bin) / kMagnitudeScale;
    const double power  = scaled * scaled;
    total += power;
    for (size_t c = 0; c < centres.size() && c < 3; ++c) {
      const Band& band  = row->bands[c];
      const double low  = band.lowFactor * centres[c] + band.offset;
      const double high = band.highFactor * centres[c] + band.offset;
      if (bin > low && bin < high) inBand += kBandWeight[c] * power;
    }
  }
  return saturatedInt(100.0 * inBand / total);
}

}  // namespace scopegrab
