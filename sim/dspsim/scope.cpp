#include "scope.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "scopecapture/capturefile.h"
#include "sharedmem/tagaccess.h"

namespace dspsim {
namespace {

namespace lw = scope::limiterword;

constexpr double kSampleTimeUs           = 104.167;  // per unit of the divider
constexpr double kLongestStepMs          = 0.02;     // integration step of the field
constexpr int kSettlingHalfCycles        = 40;       // before the record starts
constexpr int kSerialTransmissionFlag    = 1323;     // vxo_serialtransmisson
constexpr uint32_t kLargestField12       = 4095;
constexpr uint32_t kLargestAngle         = 1023;  // 0.1 degree in 10 bits
constexpr uint32_t kLargestDvdt          = 255;
constexpr int64_t kSerialBitsPerSecond   = 115200;  // the scope's serial line
constexpr int64_t kBitsPerByte           = 10;      // 8N1: start, eight data bits, stop
constexpr int64_t kSerialBytesPerCapture = 16500;   // a whole capture on that line

}  // namespace

bool halfCycleFires(int chargeRatio, long halfCycle) {
  if (chargeRatio <= 1) return true;
  const long position = halfCycle % chargeRatio;
  return chargeRatio % 2 == 1 ? position == 0 : position < 2;
}

int64_t captureDurationMs(int sampleRate) {
  return static_cast<int64_t>(scope::kMaxSamples * std::max(sampleRate, 1) * kSampleTimeUs / 1000.0);
}

int64_t transferDurationMs(int samples) {
  const int64_t bytes = kSerialBytesPerCapture * std::clamp(samples, 0, scope::kMaxSamples) / scope::kMaxSamples;
  return (bytes * kBitsPerByte * 1000 + kSerialBitsPerSecond - 1) / kSerialBitsPerSecond;
}

void recordCapture(const ScopeInputs& in, const ModelConstants& c, scope::Capture& capture) {
  const int divider         = std::max(in.sampleRate, 1);
  const double sampleMs     = divider * kSampleTimeUs / 1000.0;
  const double halfMs       = 1000.0 / (2.0 * c.lineFrequency / 10.0);
  const double conductionMs = halfMs * std::clamp(in.conductionPercent, 1.0, 100.0) / 100.0;
  // The half-sine whose charge over the conduction is the mean current over the half-cycle.
  const double peakMa        = in.pulseMa > 0 ? std::numbers::pi * in.pulseMa * halfMs / (2.0 * conductionMs) : 0.0;
  const double capacitanceNf = c.fieldCapacitance;
  const double turnsRatio    = in.ratings.secondaryVoltage * 1000.0 / in.ratings.lineVoltage;
  const double currentRatio  = in.ratings.primaryCurrent / (in.ratings.secondaryCurrent / 10000.0);
  const uint32_t angleTenths =
      std::min(static_cast<uint32_t>(std::lround(std::clamp(in.conductionPercent, 0.0, 100.0) * 18)), kLargestAngle);
  uint32_t setPointWord = scope::withField(
      0, scope::setpointword::kSetPoint, std::min(static_cast<uint32_t>(std::max(in.setPointMa, 0)), kLargestField12));
  setPointWord             = scope::withField(setPointWord, scope::setpointword::kReading,
                                              std::min(static_cast<uint32_t>(std::lround(in.pulseMa)), kLargestField12));
  const uint32_t angleWord = scope::withField(0, scope::angleword::kIgnitionAngle, angleTenths);

  // (current mA, firing) at a time since the start of the line's first half-cycle
  const auto pulseAt = [&](double tMs, bool& firing, long& halfCycle) {
    halfCycle             = static_cast<long>(tMs / halfMs);
    const double inHalf   = tMs - halfCycle * halfMs;
    const double startsAt = halfMs - conductionMs;
    firing                = in.pulseMa > 0 && halfCycleFires(in.chargeRatio, halfCycle) && inHalf >= startsAt;
    return firing ? peakMa * std::sin(std::numbers::pi * (inHalf - startsAt) / conductionMs) : 0.0;
  };

  const int steps       = std::max(static_cast<int>(std::ceil(sampleMs / kLongestStepMs)), 1);
  const double stepMs   = sampleMs / steps;
  const double settleMs = halfMs * (kSettlingHalfCycles + 2 * std::max(in.chargeRatio, 1));
  const double meanMa   = in.pulseMa * firingRatioFromChargeRatio(in.chargeRatio) / 10000.0;
  double kv             = in.pulseMa > 0 ? fieldVoltageKv(meanMa, c) : 0;
  long step             = 0;  // time is step * stepMs, free of accumulated rounding
  double t              = 0;
  bool firing           = false;
  long halfCycle        = 0;
  const auto advance    = [&](long count) {
    for (const long until = step + count; step < until;) {
      const double ma = pulseAt(t, firing, halfCycle);
      kv              = std::max(kv + (ma - coronaCurrentMa(kv, meanMa, c)) * stepMs / capacitanceNf, 0.0);
      t               = static_cast<double>(++step) * stepMs;
    }
  };
  advance(static_cast<long>(settleMs / stepMs) / steps * steps);
  capture.captureLength = scope::kMaxSamples;
  capture.sampleRate    = divider;
  capture.lineFrequency = c.lineFrequency;
  capture.firingRatio   = firingRatioFromChargeRatio(in.chargeRatio);
  for (int i = 0; i < scope::kMaxSamples; ++i) {
    const double ma                           = pulseAt(t, firing, halfCycle);
    const double sign                         = halfCycle % 2 == 0 ? 1.0 : -1.0;
    const double lineDeg                      = std::sin(std::numbers::pi * (t - halfCycle * halfMs) / halfMs);
    capture.CAPBuffers[scope::CH_MA].Value[i] = static_cast<float>(ma);
    capture.CAPBuffers[scope::CH_KV].Value[i] = static_cast<float>(kv);
    capture.CAPBuffers[scope::CH_A].Value[i]  = static_cast<float>(sign * ma / 1000.0 * currentRatio);
    capture.CAPBuffers[scope::CH_V].Value[i] =
        in.pulseMa > 0 ? static_cast<float>(sign * lineDeg * kv * 1000.0 / turnsRatio) : 0.0f;
    capture.CAPBuffers[scope::CH_AUX].Value[i] = 0.0f;
    uint32_t word = scope::withField(0, lw::kLimiter, static_cast<uint32_t>(std::clamp(in.limiter, 0, 31)));
    word          = scope::withField(word, lw::kPhaseA, halfCycle % 2 == 0 ? 1u : 0u);
    word          = scope::withField(word, lw::kFiring, firing ? 1u : 0u);
    word = scope::withField(word, lw::kDvdt, std::min(static_cast<uint32_t>(std::max(in.dvdt, 0)), kLargestDvdt));
    capture.limiterData[i]     = word;
    capture.maSetPointData[i]  = setPointWord;
    capture.firingAngleData[i] = angleWord;
    advance(steps);
  }
}

ScopeRecorder::ScopeRecorder() : capture_(std::make_unique<scope::Capture>()) {}

void ScopeRecorder::step(int64_t nowMs, DspRegisters& dsp, const ScopeInputs& inputs, const ModelConstants& c) {
  if (dsp[handle::kScopeTrigger] != 0) {
    dsp[handle::kScopeTrigger] = 0;
    dsp[handle::kScopeStatus]  = kScopeSampling;
    recordCapture(inputs, c, *capture_);
    sampledAtMs_     = nowMs + captureDurationMs(inputs.sampleRate);
    transferredAtMs_ = -1;
  }
  if (sampledAtMs_ >= 0 && nowMs >= sampledAtMs_) {
    sampledAtMs_     = -1;
    transferredAtMs_ = nowMs + transferDurationMs(capture_->captureLength);
    int error        = 0;
    dbSetValueByHandle(kSerialTransmissionFlag, 1, &error);
    dsp[handle::kScopeStatus] = kScopeTransferring;
  }
  if (transferredAtMs_ < 0 || nowMs < transferredAtMs_) return;
  transferredAtMs_ = -1;
  if (!scope::publishCapture(*capture_)) std::fprintf(stderr, "dspsim: the capture could not be handed over\n");
}

}  // namespace dspsim
