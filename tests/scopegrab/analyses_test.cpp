// The analyses on captures whose results are worked out by hand: timing, Q full and Q
// trunc, corona onset, the spectrum against the textbook sum, and the signal quality.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "decimaltext.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "scopegrab.h"
#include "scopetags.h"
#include "synthetic_capture.h"
#include "tags_by_name.h"
#include "temp_image.h"

namespace {

using namespace scopegrab;
using namespace orvix::testing::by_name;
using scopegrab::testing::fillCapture;
using scopegrab::testing::PulseTrain;

TEST(ScopegrabTags, HandlesNameTheirTags) {
  orvix::testing::PrivateStore store;
  tagstore::buildTagStore();
#define SCOPEGRAB_CHECK_HANDLE(name, handle)                  \
  {                                                           \
    int found = -1;                                           \
    int error = 0;                                            \
    EXPECT_TRUE(dbGetHandleByTagname(#name, &found, &error)); \
    EXPECT_EQ(found, handle) << #name;                        \
  }
  SCOPEGRAB_TAG_HANDLES(SCOPEGRAB_CHECK_HANDLE)
#undef SCOPEGRAB_CHECK_HANDLE
  for (int i = 0; i < tag::kHistoryDepth; ++i) {
    const std::string n = (i < 9 ? "0" : "") + std::to_string(i + 1);
    int found           = -1;
    int error           = 0;
    for (const auto& [kind, handles] : {
             std::pair{"qfull",  tag::kQFull },
             std::pair{"qtrunc", tag::kQTrunc},
             std::pair{"step",   tag::kStep  },
             std::pair{"time",   tag::kTime  },
             std::pair{"qcurr",  tag::kQCurr }
    }) {
      const std::string name = std::string("vxi_koralast") + kind + n;
      EXPECT_TRUE(dbGetHandleByTagname(name.c_str(), &found, &error)) << name;
      EXPECT_EQ(found, handles[i]) << name;
    }
  }
}

TEST(SampleTiming, FormulasAtTheStatedSettings) {
  EXPECT_NEAR(sampleTimeUs(8), 833.336, 1e-9);
  EXPECT_EQ(sampleFrequencyHz(8), 1200);
  EXPECT_EQ(sampleFrequencyHz(0), 0);
  EXPECT_EQ(samplesPerPulse(8, 500, 10000), 11);  // 11.99996 truncated
  EXPECT_EQ(samplesPerPulse(8, 500, 5000), 23);
  EXPECT_EQ(samplesPerPulse(8, 500, 0), 0);
}

TEST(DecimalText, TenthsTruncatedTowardZero) {
  EXPECT_STREQ(decimalText(0.5).c_str(), ".5");
  EXPECT_STREQ(decimalText(-0.5).c_str(), "-.5");
  EXPECT_STREQ(decimalText(0.0).c_str(), "0.00");
  EXPECT_STREQ(decimalText(0.09).c_str(), "0.00");
  EXPECT_STREQ(decimalText(-0.09).c_str(), "0.00");
  EXPECT_STREQ(decimalText(12.39).c_str(), "12.3");
  EXPECT_STREQ(decimalText(-12.39).c_str(), "-12.3");
  EXPECT_STREQ(decimalText(1.0).c_str(), "1.0");
  EXPECT_STREQ(decimalText(1e30).c_str(), "100000000000.0");
}

class AnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shmStructbZero();
    tagstore::buildTagStore();
    image_.path("/tmp/x");
    image_.path("/home/ftp/x");
    scope_ = std::make_unique<ScopeGrab>(Global{});
  }
  void run(int view, int sr, int fr, const PulseTrain& train) {
    set("vxo_scopeview2type", view);
    set("vxo_samplerate", sr);
    writeTag(tag::vxi_linefrequency, 500);
    writeTag(tag::vxi_firingratio, fr);
    fillCapture(scope_->capture(), train);
    scope_->SaveToFile(kFreshCapture);
  }
  orvix::testing::TempImage image_;
  orvix::testing::PrivateStore store_;
  std::unique_ptr<ScopeGrab> scope_;
};

// Every half cycle fires; the voltage falls by 1 kV per sample from 60 kV. With Vref 20 kV
// and 11 samples per pulse: Q full = sum over e = 0..10 of (40 - e)(60 - e) / 11 = 1935.
TEST_F(AnalysisTest, ChargeAverageOfFullFiring) {
  set("vxo_korausedcoronatime", 20);  // 23 samples at 833.336 us
  set("vxo_korausedvref", 200);
  run(kChargeView, 8, 10000, PulseTrain{.voltageKv = [](int p) { return 60.0f - p; }});
  EXPECT_EQ(readTag(internal::kBadMeasurement), 0);
  EXPECT_EQ(readTag(tag::vxo_scopegrabstatus), status::kDone);
  EXPECT_NEAR(value("vxi_koralastqfull01"), 1935 * 10 + 10000, 1);
  EXPECT_EQ(value("vxi_koralastqtrunc01"), 10000);
  const std::string curve = image_.readFile("/tmp/control.tmp");
  EXPECT_EQ(curve.substr(0, curve.find('\n')), "Sample,kV,Qfull,Qtrunc");
  EXPECT_EQ(std::count(curve.begin(), curve.end(), '\n'), 1 + 23);
  EXPECT_NE(curve.find("\n0.00,40.0,"), std::string::npos);
}

// A capture may carry any float: a sample that is no number gives no charge result and a
// signal quality of 0, never an undefined conversion.
TEST_F(AnalysisTest, SamplesThatAreNoNumberGiveNoResult) {
  set("vxo_korausedcoronatime", 20);
  set("vxi_koralastqfull01", 12345);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  run(kChargeView, 8, 10000, PulseTrain{.voltageKv = [&](int p) { return p == 3 ? nan : 60.0f - p; }});
  EXPECT_EQ(readTag(internal::kBadMeasurement), 1);
  EXPECT_EQ(value("vxi_koralastqfull01"), 12345);

  fillCapture(scope_->capture(), PulseTrain{.voltageKv = [](int) { return 60.0f; }});
  scope_->capture().CAPBuffers[scope::CH_V].Value[100] = std::numeric_limits<float>::infinity();
  set("vxo_scopeview2type", kSpectrumView);
  set("vxi_primaryvoltsq", 55);
  scope_->SaveToFile(kFreshCapture);
  EXPECT_EQ(value("vxi_primaryvoltsq"), 0);
}

// KORA at ratio 1:2 (every other half cycle, so every pulse in the same phase): pulses of
// 24 samples falling from 70 kV; full length 23 - 1, truncated (1269 = 10000) 11 - 1.
// Q full = sum e<22 (50 - e)(70 - e) / 22 = 2390.5, Q trunc = sum e<10 (...) / 10 = 2988.5.
// The history moves one place down.
TEST_F(AnalysisTest, ChargeAverageInKoraModeShiftsTheHistory) {
  set("vxo_actmodekora", 1);
  set("vxi_koratestfr", 5000);
  writeTag(internal::kTruncationRatio, 10000);
  set("vxo_korausedcoronatime", 20);
  set("vxo_korausedvref", 200);
  set("vxi_koralastqfull01", 12345);
  set("vxi_koralastqfull07", 777);
  run(kChargeView, 8, 5000, PulseTrain{.pulseEvery = 2, .voltageKv = [](int p) { return 70.0f - p; }});
  EXPECT_EQ(readTag(internal::kBadMeasurement), 0);
  EXPECT_NEAR(value("vxi_koralastqfull01"), 33905, 1);
  EXPECT_NEAR(value("vxi_koralastqtrunc01"), 39885, 1);
  EXPECT_EQ(value("vxi_koralaststep01"), 5000);
  EXPECT_EQ(value("vxi_koralastqfull02"), 12345);
  EXPECT_EQ(value("vxi_koralastqfull08"), 777);
  EXPECT_EQ(scope_->info().noOfPulsesInSumPhase[1], 0);
}

TEST_F(AnalysisTest, NoGoodChargeMeasurementStoresNothing) {
  set("vxo_korausedcoronatime", 20);
  set("vxi_koralastqfull01", 12345);
  // A spark limiter on the samples.
  run(kChargeView, 8, 10000, PulseTrain{.limiter = 6, .voltageKv = [](int p) { return 60.0f - p; }});
  EXPECT_EQ(readTag(internal::kBadMeasurement), 1);
  // Rapping during the capture.
  writeTag(tag::vxi_rapping, 1);
  run(kChargeView, 8, 10000, PulseTrain{.voltageKv = [](int p) { return 60.0f - p; }});
  EXPECT_EQ(readTag(internal::kBadMeasurement), 1);
  writeTag(tag::vxi_rapping, 0);
  // No firing at all: no pulses, no curve.
  std::remove(image_.path("/tmp/control.tmp").c_str());
  run(kChargeView, 8, 10000, PulseTrain{.lead = scope::kMaxSamples, .voltageKv = [](int) { return 0.0f; }});
  EXPECT_EQ(readTag(internal::kBadMeasurement), 1);
  EXPECT_EQ(value("vxi_koralastqfull01"), 12345);
  EXPECT_EQ(readTag(tag::vxo_scopegrabstatus), status::kDone);
}

// At 9600 Hz (sr 1) the ratio of the voltage 5 ms (47 samples) earlier to the present one
// is above 1.025 while the voltage still falls by 0.12 kV per sample, and the plateau of
// 40 kV from position 100 on brings it below: it passes 1.025 where 0.12 (100 + 47 - i) > 1,
// the last such i is 138, so the corona time is at 139 samples: 14.4 ms (104.167 us * 139)
// and 40.0 kV.
TEST_F(AnalysisTest, CoronaOnsetFromThePlateauOfTheDecay) {
  set("vxo_koracoronaratio", 1025);
  run(kCoronaView, 1, 2500, PulseTrain{.halfCycle = 96, .pulseEvery = 4, .lead = 10, .voltageKv = [](int p) {
                                         return p < 100 ? 40.0f + 0.12f * (100 - p) : 40.0f;
                                       }});
  EXPECT_EQ(value("vxi_korameasuredcoronatime"), 144);
  EXPECT_EQ(value("vxi_koracoronakv"), 400);
  EXPECT_EQ(readTag(internal::kBadMeasurement), 0);
  const std::string curve = image_.readFile("/tmp/control.tmp");
  EXPECT_EQ(curve.substr(0, curve.find('\n')), "Sample,coronaTime,kV");
  EXPECT_EQ(std::count(curve.begin(), curve.end(), '\n'), 1 + 383);
}

// 11 samples per pulse cannot hold two 5 ms spans: no corona; 500000000 / (500 * 10000) + 1.
TEST_F(AnalysisTest, NoCoronaFoundFallsBackToTheHalfPeriod) {
  run(kCoronaView, 8, 10000, PulseTrain{.voltageKv = [](int p) { return 60.0f - p; }});
  EXPECT_EQ(value("vxi_korameasuredcoronatime"), 101);
  EXPECT_EQ(value("vxi_koracoronakv"), 530);  // 5 * the largest of y[7..10] = 5 * 2 * 53 kV
}

// A smooth pulse, 80 - (p - 6)^2 / 4 kV: peak 80 kV at 6 samples, and at the corona index
// of 10 ms (11 samples of 833.336 us) 73.75 kV.
TEST_F(AnalysisTest, PulseViewFindsPeakAndCoronaVoltage) {
  set("vxo_korausedcoronatime", 10);
  run(kPulseView, 8, 5000, PulseTrain{.pulseEvery = 2, .voltageKv = [](int p) {
                                        return 80.0f - 0.25f * static_cast<float>((p - 6) * (p - 6));
                                      }});
  EXPECT_NEAR(value("vxi_peakvoltagefromscope"), 800, 1);
  EXPECT_NEAR(value("vxi_coronavalleyfromscope"), 737, 1);
  EXPECT_EQ(readTag(internal::kPulseViewCounter), 1);
  EXPECT_EQ(scope_->info().smallestPulseLength, 24);
}

TEST(Spectrum, PlannedTransformMatchesTheTextbookSum) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> sample(-100, 100);
  std::vector<float> samples(4096);
  for (float& s : samples) s = sample(random);
  auto fft = std::make_unique<FFT>();
  SpectrumTransform transform;
  transform.transform(samples.data(), 4096, *fft);
  ASSERT_EQ(fft->nn, 2048);
  const std::vector<std::complex<double>> expected = directDft(samples, +1);
  double largestError                              = 0;
  for (int k = 0; k < 2048; ++k) {
    largestError = std::max(largestError, std::abs(std::complex<double>(fft->data[2 * k], fft->data[2 * k + 1]) -
                                                   expected[static_cast<size_t>(k)]));
  }
  EXPECT_LT(largestError, 0.05);  // single precision over sums of about 2000 * 100

  // The classic forward routine has a positive exponent: exp(-2 pi i 5 j / N) lands in bin 5.
  for (int j = 0; j < 2048; ++j) {
    samples[2 * j]     = static_cast<float>(std::cos(-2 * std::numbers::pi * 5 * j / 2048));
    samples[2 * j + 1] = static_cast<float>(std::sin(-2 * std::numbers::pi * 5 * j / 2048));
  }
  transform.transform(samples.data(), 4096, *fft);
  EXPECT_NEAR(binMagnitude(*fft, 5), 2048, 0.1);
  EXPECT_NEAR(binMagnitude(*fft, 2048 - 5), 0, 0.1);
}

// At 9600 Hz the primary voltage of a clean 50 Hz line is all fundamental; the secondary
// voltage's quality counts its 100 Hz ripple and not a 50 Hz one.
TEST_F(AnalysisTest, SignalQualityCountsTheBandsOfEachChannel) {
  set("vxo_tron", 1);
  set("vxo_scopegrabmethod", 1);
  scope::Capture& c = scope_->capture();
  const auto wave = [](double hz, int i) { return static_cast<float>(std::sin(2 * std::numbers::pi * hz * i / 9600)); };
  fillCapture(c, PulseTrain{.voltageKv = [](int) { return 0.0f; }});
  for (int i = 0; i < scope::kMaxSamples; ++i) {
    c.CAPBuffers[scope::CH_V].Value[i]  = 400 * wave(50, i);
    c.CAPBuffers[scope::CH_KV].Value[i] = 60 + 5 * wave(100, i);
    c.CAPBuffers[scope::CH_MA].Value[i] = 500 + 100 * wave(50, i);
    c.CAPBuffers[scope::CH_A].Value[i]  = 10 * wave(150, i);
  }
  set("vxo_scopeview2type", kSpectrumView);
  set("vxo_samplerate", 1);
  writeTag(tag::vxi_linefrequency, 500);
  writeTag(tag::vxi_firingratio, 10000);
  scope_->SaveToFile(kFreshCapture);
  EXPECT_GT(value("vxi_primaryvoltsq"), 90);
  EXPECT_GT(value("vxi_secondaryvoltsq"), 90);
  EXPECT_LT(value("vxi_secondarycurrentsq"), 10);
  EXPECT_NEAR(value("vxi_primarycurrentsq"), 67, 6);  // the third harmonic counts two thirds
  const std::string curve = image_.readFile("/tmp/control.tmp");
  EXPECT_EQ(curve.substr(0, curve.find('\n')), "Hz,mA,kV,I,V");
  EXPECT_EQ(std::count(curve.begin(), curve.end(), '\n'), 1 + 1024);
  // Below full firing only the primary voltage is judged.
  writeTag(tag::vxi_firingratio, 5000);
  fillCapture(c, PulseTrain{.voltageKv = [](int) { return 60.0f; }});
  scope_->SaveToFile(kFreshCapture);
  EXPECT_EQ(value("vxi_secondaryvoltsq"), 0);
}

}  // namespace
