// Captures built sample by sample for the tests: pulses of a known voltage shape that
// start every `pulseEvery` half cycles of a line whose half cycle is `halfCycle` samples.
#pragma once

#include <functional>

#include "scopecapture/capture.h"

namespace scopegrab::testing {

struct PulseTrain {
  int halfCycle  = 12;  // samples per half cycle of the line
  int pulseEvery = 1;   // half cycles from one firing to the next
  int lead       = 6;   // samples before the first firing
  int length     = scope::kMaxSamples;
  int limiter    = 9;                            // limiter code of every sample
  std::function<float(int position)> voltageKv;  // at a position within the pulse
};

inline void fillCapture(scope::Capture& c, const PulseTrain& t) {
  namespace lw    = scope::limiterword;
  c.captureLength = t.length;
  for (int i = 0; i < t.length; ++i) {
    const int sinceLead = i - t.lead;
    const int halfCycle = sinceLead < 0 ? -1 : sinceLead / t.halfCycle;
    const int position  = sinceLead < 0 ? -1 : sinceLead % (t.halfCycle * t.pulseEvery);
    const bool firing   = position >= 0 && position < 4;
    uint32_t word       = scope::withField(0, lw::kLimiter, static_cast<uint32_t>(t.limiter));
    word             = scope::withField(word, lw::kPhaseA, halfCycle < 0 ? 0u : static_cast<uint32_t>(halfCycle & 1));
    word             = scope::withField(word, lw::kFiring, firing ? 1 : 0);
    c.limiterData[i] = word;
    c.firingAngleData[i]                = scope::withField(0, scope::angleword::kIgnitionAngle, 900);
    c.maSetPointData[i]                 = scope::withField(0, scope::setpointword::kSetPoint, 500);
    c.CAPBuffers[scope::CH_KV].Value[i] = position < 0 ? 0.0f : t.voltageKv(position);
    c.CAPBuffers[scope::CH_MA].Value[i] = firing ? 1000.0f : 0.0f;
    c.CAPBuffers[scope::CH_A].Value[i]  = firing ? 50.0f : 0.0f;
    c.CAPBuffers[scope::CH_V].Value[i]  = 0.0f;
  }
}

}  // namespace scopegrab::testing
