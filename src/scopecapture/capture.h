// One scope capture of the signal processor: eight channels sampled together, the
// analogue ones as floats and three packed words per sample.
#pragma once

#include <array>
#include <cstdint>

namespace scope {

constexpr int kMaxSamples = 4096;

// Channels in the order of the capture and of the data log.
enum Channel : int {
  CH_MA          = 0,  // secondary current, mA
  CH_KV          = 1,  // secondary voltage, kV
  CH_A           = 2,  // primary current, A
  CH_V           = 3,  // primary voltage, V
  CH_AUX         = 4,  // auxiliary input
  CH_LIMITER     = 5,
  CH_MASETPOINT  = 6,
  CH_FIRINGANGLE = 7,
  NADC_CHANNELS  = 8,
};
constexpr int kAnalogueChannels = 5;

struct structADCCaptureBuffer {
  float Value[kMaxSamples];
};

struct Capture {
  structADCCaptureBuffer CAPBuffers[kAnalogueChannels];
  uint32_t limiterData[kMaxSamples + 1];      // Limiter32tag per sample
  uint32_t maSetPointData[kMaxSamples + 1];   // mASetPoint32tag per sample
  uint32_t firingAngleData[kMaxSamples + 1];  // Igniton32tag per sample
  int captureLength = 0;                      // samples held
  // The settings the samples were taken with.
  int sampleRate    = 0;  // divider: 9600 / sampleRate Hz
  int lineFrequency = 0;  // 0.1 Hz
  int firingRatio   = 0;  // 0.01 %
};

// A field of a packed word: its lowest bit and its width in bits.
struct BitField {
  int shift;
  int width;
};

constexpr uint32_t fieldOf(uint32_t word, BitField f) { return (word >> f.shift) & ((1u << f.width) - 1u); }
constexpr uint32_t withField(uint32_t word, BitField f, uint32_t value) {
  const uint32_t mask = ((1u << f.width) - 1u) << f.shift;
  return (word & ~mask) | ((value << f.shift) & mask);
}

// clang-format off
// Limiter32tag        lowest bit  width
namespace limiterword {
constexpr BitField kSparkDouble   {3,   1};
constexpr BitField kSparkType     {4,   2};
constexpr BitField kSparkLocation {6,   7};
constexpr BitField kFiring        {13,  1};  // a thyristor conducts
constexpr BitField kPhaseA        {14,  1};  // alternates every half period of the line
constexpr BitField kDvdt          {15,  8};  // kV/ms
constexpr BitField kSparkRecovery {23,  4};
constexpr BitField kLimiter       {27,  5};  // limiter code
}  // namespace limiterword
// mASetPoint32tag
namespace setpointword {
constexpr BitField kReading       {8,   12};  // mA
constexpr BitField kSetPoint      {20,  12};  // mA
}  // namespace setpointword
// Igniton32tag
namespace angleword {
constexpr BitField kIgnitionAngle {22,  10};  // 0.1 degree
}  // namespace angleword
// clang-format on

}  // namespace scope
