// The scope of the simulated signal processor: a capture follows the field's charge
// balance and corona law, and the trigger is answered through the status.
#include "scope.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "orxtags/storebuilder.h"
#include "platform/platform.h"
#include "private_store.h"
#include "scopecapture/capturefile.h"
#include "sharedmem/tagaccess.h"
#include "temp_image.h"

namespace dspsim {
namespace {

const ModelConstants kDefaults;

ScopeInputs running(int chargeRatio, int sampleRate) {
  ScopeInputs in;
  in.pulseMa           = 500;
  in.chargeRatio       = chargeRatio;
  in.conductionPercent = 40;
  in.limiter           = 9;
  in.sampleRate        = sampleRate;
  return in;
}

// 1 of 7 half-cycles fires: the mean secondary current is a seventh of the pulse current,
// the firings come every 70 ms, and between them the voltage decays as the corona law says
// (dU/dt = -k (U - U0)^2 / C, kV/ms with mA and nF), never below the onset voltage.
TEST(ScopeCapture, FollowsTheChargeBalanceAndTheCoronaLaw) {
  auto capture = std::make_unique<scope::Capture>();
  recordCapture(running(7, 5), kDefaults, *capture);
  ASSERT_EQ(capture->captureLength, scope::kMaxSamples);
  const double sampleMs  = 5 * 0.104167;
  double meanMa          = 0;
  int firings            = 0;
  int phaseChanges       = 0;
  double worstDecayError = 0;
  for (int i = 1; i < scope::kMaxSamples; ++i) {
    meanMa += capture->CAPBuffers[scope::CH_MA].Value[i];
    const uint32_t word = capture->limiterData[i], last = capture->limiterData[i - 1];
    const bool firing = scope::fieldOf(word, scope::limiterword::kFiring) != 0;
    if (firing && scope::fieldOf(last, scope::limiterword::kFiring) == 0) ++firings;
    if (scope::fieldOf(word, scope::limiterword::kPhaseA) != scope::fieldOf(last, scope::limiterword::kPhaseA))
      ++phaseChanges;
    const double u = capture->CAPBuffers[scope::CH_KV].Value[i - 1];
    EXPECT_GE(capture->CAPBuffers[scope::CH_KV].Value[i], 30.0f - 1e-3f) << i;
    if (!firing && scope::fieldOf(last, scope::limiterword::kFiring) == 0 && u > 32) {
      const double slope    = (capture->CAPBuffers[scope::CH_KV].Value[i] - u) / sampleMs;
      const double expected = -0.556 * (u - 30) * (u - 30) / 120;
      worstDecayError       = std::max(worstDecayError, std::abs(slope - expected) / std::abs(expected));
    }
  }
  meanMa /= scope::kMaxSamples - 1;
  EXPECT_NEAR(meanMa, 500.0 / 7, 500.0 / 7 * 0.05);
  const double captureMs = scope::kMaxSamples * sampleMs;
  EXPECT_NEAR(firings, captureMs / 70, 1.5);
  EXPECT_NEAR(phaseChanges, captureMs / 10, 1.5);
  EXPECT_LT(worstDecayError, 0.15);  // a sample is long against the fastest decay
}

TEST(ScopeCapture, TriggerIsTakenUpAndTheCaptureHandedOver) {
  orvix::testing::TempImage image;
  image.path("/tmp/x");
  orvix::testing::PrivateStore store;
  tagstore::buildTagStore();
  DspRegisters dsp;
  ScopeRecorder recorder;
  dsp[handle::kScopeTrigger] = 1;
  recorder.step(1000, dsp, running(1, 1), kDefaults);
  EXPECT_EQ(dsp[handle::kScopeTrigger], 0);
  EXPECT_EQ(dsp[handle::kScopeStatus], kScopeSampling);
  // 4096 samples at 9600 Hz take 426 ms.
  recorder.step(1000 + 420, dsp, running(1, 1), kDefaults);
  EXPECT_EQ(dsp[handle::kScopeStatus], kScopeSampling);
  EXPECT_FALSE(orvix::platform::fileExists(scope::kCaptureFile));
  recorder.step(1000 + 430, dsp, running(1, 1), kDefaults);
  EXPECT_EQ(dsp[handle::kScopeStatus], kScopeTransferring);
  EXPECT_EQ(dbReadValueByHandle(1323), 1);
  // 16500 bytes at 115200 bit/s, ten bits a byte, take 1433 ms on the line.
  recorder.step(1000 + 430 + 1425, dsp, running(1, 1), kDefaults);
  EXPECT_FALSE(orvix::platform::fileExists(scope::kCaptureFile));
  recorder.step(1000 + 430 + 1440, dsp, running(1, 1), kDefaults);
  auto taken = std::make_unique<scope::Capture>();
  std::string problem;
  ASSERT_EQ(scope::takeCapture(*taken, problem), scope::TakeResult::kTaken);
  EXPECT_EQ(taken->sampleRate, 1);
  EXPECT_EQ(taken->firingRatio, 10000);
  // Nothing more without a new trigger.
  recorder.step(3000, dsp, running(1, 1), kDefaults);
  EXPECT_FALSE(orvix::platform::fileExists(scope::kCaptureFile));
}

}  // namespace
}  // namespace dspsim
