// One 4096-sample capture of the simulated T/R set (charge ratio 7, 500 mA) through
// scopegrab: the whole processing per view type, every analysis in a row, and the spectrum
// of the four channels against the textbook sum and against the library planned and run
// on its own. "mflops" is FFTW's own measure, 5 N log2 N per transform over the time.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analyses.h"
#include "orxtags/storebuilder.h"
#include "sampleinfo.h"
#include "scope.h"
#include "scopegrab.h"
#include "scopetags.h"
#include "sharedmem/shmem.h"
#include "spectrum.h"

namespace {

using namespace scopegrab;

constexpr int kDivider       = 2;     // 4800 Hz
constexpr int kLineFrequency = 500;   // 0.1 Hz
constexpr int kChargeRatio   = 7;     // one half-cycle of seven fires
constexpr int kFiringRatio   = 1428;  // 0.01 %
constexpr int kPoints        = scope::kMaxSamples / 2;

// A private store and image for the run, removed when the benchmarks end; the analyses'
// console lines go to /dev/null.
class Bench {
 public:
  static Bench& instance() {
    static Bench bench;
    return bench;
  }
  ScopeGrab& scope() { return *scope_; }
  const scope::Capture& capture() const { return *capture_; }
  void load() { scope_->capture() = *capture_; }

 private:
  Bench() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    char pattern[] = "/tmp/scopegrab-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    root_ = pattern;
    setenv("ORVIX_ROOT", root_.c_str(), 1);
    std::filesystem::create_directories(root_ + "/tmp");
    std::filesystem::create_directories(root_ + "/home/ftp");
    key_       = 0x0F000000 + (getpid() & 0xFFFF);
    shared_mem = attach_memory_block(key_, sizeof(shmem_t));
    if (shared_mem == nullptr) std::abort();
    tagstore::buildTagStore();
    writeTag(tag::vxo_samplerate, kDivider);
    writeTag(tag::vxi_linefrequency, kLineFrequency);
    writeTag(tag::vxi_firingratio, kFiringRatio);
    writeTag(tag::vxo_actmodefiringratio, kFiringRatio);
    writeTag(tag::vxi_tronstatus, 1);

    capture_ = std::make_unique<scope::Capture>();
    dspsim::ScopeInputs in;
    in.pulseMa           = 500;
    in.chargeRatio       = kChargeRatio;
    in.conductionPercent = 40;
    in.limiter           = 9;
    in.sampleRate        = kDivider;
    dspsim::recordCapture(in, dspsim::ModelConstants{}, *capture_);
    scope_ = std::make_unique<ScopeGrab>(Global{});
  }
  ~Bench() {
    destroy_memory_block(key_);
    std::filesystem::remove_all(root_);
  }
  std::string root_;
  key_t key_ = 0;
  std::unique_ptr<scope::Capture> capture_;
  std::unique_ptr<ScopeGrab> scope_;
};

struct Spectra {
  SpectrumTransform transform;
  FFT ffts[4];
};

double fftwMflops(int transforms) { return 5.0 * kPoints * std::log2(kPoints) * transforms / 1e6; }

// The processing of one fresh capture: data log, web files and the view's analysis.
void BM_SaveToFile(benchmark::State& state) {
  Bench& b = Bench::instance();
  writeTag(tag::vxo_scopeview2type, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    b.load();
    state.ResumeTiming();
    b.scope().SaveToFile(kFreshCapture);
  }
}
BENCHMARK(BM_SaveToFile)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

// Every analysis of one capture in a row, from the sample timing and pulse averaging on,
// without the data log.
void BM_EveryAnalysis(benchmark::State& state) {
  Bench& b                = Bench::instance();
  const scope::Capture& c = b.capture();
  const CaptureSettings s = {kDivider, kLineFrequency, kFiringRatio};
  auto info               = std::make_unique<sampleInfo>();
  auto spectra            = std::make_unique<Spectra>();
  for (auto _ : state) {
    *info = sampleInfo{};
    SampleAnalysis samples(*info, c.captureLength, 0);
    for (int i = 0; i < c.captureLength; ++i) {
      samples.timing(c.limiterData[i]);
      samples.pulses(i, c.CAPBuffers[scope::CH_KV].Value[i] * 10.0f, c.limiterData[i], c.firingAngleData[i]);
    }
    spectrumAndQuality(c, s, true, spectra->transform, spectra->ffts);
    sparkRecord(c);
    chargeAverage(*info, s, false);
    coronaOnset(*info, s);
    pulseView(*info, s);
    phasePulse(*info, s);
    benchmark::DoNotOptimize(info->noOfPulsesInSum);
  }
}
BENCHMARK(BM_EveryAnalysis)->Unit(benchmark::kMillisecond);

// The spectra of the four channels as scopegrab takes them.
void BM_SpectrumFourChannels(benchmark::State& state) {
  const scope::Capture& c = Bench::instance().capture();
  SpectrumTransform transform;
  auto fft = std::make_unique<FFT>();
  for (auto _ : state) {
    for (int ch = 0; ch < 4; ++ch) transform.transform(c.CAPBuffers[ch].Value, scope::kMaxSamples, *fft);
    benchmark::DoNotOptimize(fft->data[2]);
  }
  state.counters["mflops"] = benchmark::Counter(fftwMflops(4), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SpectrumFourChannels)->Unit(benchmark::kMicrosecond);

// The library on its own: a measured plan, out of place between its own aligned buffers,
// executed on the four channels without scopegrab's copies.
void BM_LibraryOwnFourChannels(benchmark::State& state) {
  const scope::Capture& c = Bench::instance().capture();
  fftwf_complex* in[4];
  for (int ch = 0; ch < 4; ++ch) in[ch] = fftwf_alloc_complex(kPoints);
  fftwf_complex* out    = fftwf_alloc_complex(kPoints);
  const fftwf_plan plan = fftwf_plan_dft_1d(kPoints, in[0], out, FFTW_BACKWARD, FFTW_MEASURE);
  for (int ch = 0; ch < 4; ++ch) std::memcpy(in[ch], c.CAPBuffers[ch].Value, sizeof(fftwf_complex) * kPoints);
  for (auto _ : state) {
    for (int ch = 0; ch < 4; ++ch) fftwf_execute_dft(plan, in[ch], out);
    benchmark::DoNotOptimize(out[1][0]);
  }
  state.counters["mflops"] = benchmark::Counter(fftwMflops(4), benchmark::Counter::kIsIterationInvariantRate);
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  for (fftwf_complex* buffer : in) fftwf_free(buffer);
}
BENCHMARK(BM_LibraryOwnFourChannels)->Unit(benchmark::kMicrosecond);

// The textbook sum over the same points; "deviation" is the largest distance of a planned
// bin from the sum's, relative to the sum's largest bin, over the four channels.
void BM_DirectDftFourChannels(benchmark::State& state) {
  const scope::Capture& c = Bench::instance().capture();
  std::vector<std::complex<double>> bins[4];
  for (auto _ : state) {
    for (int ch = 0; ch < 4; ++ch) {
      bins[ch] = directDft({c.CAPBuffers[ch].Value, scope::kMaxSamples}, 1);
      benchmark::DoNotOptimize(bins[ch].data());
    }
  }
  SpectrumTransform transform;
  auto fft         = std::make_unique<FFT>();
  double deviation = 0;
  for (int ch = 0; ch < 4; ++ch) {
    transform.transform(c.CAPBuffers[ch].Value, scope::kMaxSamples, *fft);
    double largest = 0, farthest = 0;
    for (int k = 0; k < kPoints; ++k) {
      largest = std::max(largest, std::abs(bins[ch][k]));
      farthest =
          std::max(farthest, std::abs(bins[ch][k] - std::complex<double>(fft->data[2 * k], fft->data[2 * k + 1])));
    }
    deviation = std::max(deviation, farthest / largest);
  }
  state.counters["deviation"] = deviation;
  state.counters["mflops"]    = benchmark::Counter(fftwMflops(4), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DirectDftFourChannels)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

// The analyses talk on standard output, which the run silences: the results go to a copy
// of the original standard output.
int main(int argc, char** argv) {
  const int console = dup(STDOUT_FILENO);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Bench::instance();
  std::ofstream out("/dev/fd/" + std::to_string(console));
  benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
  reporter.SetOutputStream(&out);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
