#include "scopecapture/capturefile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/platform.h"

namespace scope {
namespace {

constexpr char kMagic[4] = {'O', 'S', 'C', '1'};

void putU16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void putU32(std::string& out, uint32_t v) {
  putU16(out, v & 0xFFFF);
  putU16(out, v >> 16);
}
uint32_t getU16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
uint32_t getU32(const uint8_t* p) { return getU16(p) | getU16(p + 2) << 16; }

uint32_t floatBits(float f) {
  uint32_t bits = 0;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}
float bitsFloat(uint32_t bits) {
  float f = 0;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint32_t checksum(std::span<const uint8_t> payload) {
  uint32_t sum = 0;
  for (uint8_t byte : payload) sum += byte;
  return sum;
}

}  // namespace

const char* describe(DecodeResult result) {
  switch (result) {
    case DecodeResult::kOk:
      return "sound";
    case DecodeResult::kTooShort:
      return "shorter than its header";
    case DecodeResult::kBadMagic:
      return "not a capture";
    case DecodeResult::kTooManySamples:
      return "more than 4096 samples";
    case DecodeResult::kSizeMismatch:
      return "size does not match its number of samples";
    case DecodeResult::kBadChecksum:
      return "checksum wrong";
  }
  return "unknown";
}

std::string encodeCapture(const Capture& capture) {
  const int n = capture.captureLength < 0             ? 0
                : capture.captureLength > kMaxSamples ? kMaxSamples
                                                      : capture.captureLength;
  std::string payload;
  payload.reserve(static_cast<size_t>(n) * kCaptureRecordSize);
  for (int i = 0; i < n; ++i) {
    for (int ch = 0; ch < kAnalogueChannels; ++ch) putU32(payload, floatBits(capture.CAPBuffers[ch].Value[i]));
    putU32(payload, capture.limiterData[i]);
    putU32(payload, capture.maSetPointData[i]);
    putU32(payload, capture.firingAngleData[i]);
  }
  std::string out(kMagic, sizeof kMagic);
  putU16(out, static_cast<uint32_t>(n));
  putU16(out, static_cast<uint32_t>(capture.sampleRate));
  putU16(out, static_cast<uint32_t>(capture.lineFrequency));
  putU16(out, static_cast<uint32_t>(capture.firingRatio));
  putU32(out, checksum({reinterpret_cast<const uint8_t*>(payload.data()), payload.size()}));
  return out + payload;
}

DecodeResult decodeCapture(std::span<const uint8_t> bytes, Capture& capture) {
  if (bytes.size() < kCaptureHeaderSize) return DecodeResult::kTooShort;
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return DecodeResult::kBadMagic;
  const uint32_t n = getU16(bytes.data() + 4);
  if (n > kMaxSamples) return DecodeResult::kTooManySamples;
  if (bytes.size() != kCaptureHeaderSize + n * kCaptureRecordSize) return DecodeResult::kSizeMismatch;
  const std::span<const uint8_t> payload = bytes.subspan(kCaptureHeaderSize);
  if (checksum(payload) != getU32(bytes.data() + 12)) return DecodeResult::kBadChecksum;
  capture.captureLength = static_cast<int>(n);
  capture.sampleRate    = static_cast<int>(getU16(bytes.data() + 6));
  capture.lineFrequency = static_cast<int>(getU16(bytes.data() + 8));
  capture.firingRatio   = static_cast<int>(getU16(bytes.data() + 10));
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* record = payload.data() + i * kCaptureRecordSize;
    for (int ch = 0; ch < kAnalogueChannels; ++ch) capture.CAPBuffers[ch].Value[i] = bitsFloat(getU32(record + 4 * ch));
    capture.limiterData[i]     = getU32(record + 20);
    capture.maSetPointData[i]  = getU32(record + 24);
    capture.firingAngleData[i] = getU32(record + 28);
  }
  return DecodeResult::kOk;
}

bool publishCapture(const Capture& capture) {
  const std::string fresh = orvix::platform::resolvePath(kCaptureFileNew);
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    const std::string bytes = encodeCapture(capture);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) return false;
  }
  return std::rename(fresh.c_str(), orvix::platform::resolvePath(kCaptureFile).c_str()) == 0;
}

TakeResult takeCapture(Capture& capture, std::string& problem) {
  const std::string taken = orvix::platform::resolvePath(kCaptureFileTaken);
  if (std::rename(orvix::platform::resolvePath(kCaptureFile).c_str(), taken.c_str()) != 0) return TakeResult::kNone;
  std::ifstream in(taken, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  std::remove(taken.c_str());
  const DecodeResult result = decodeCapture({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, capture);
  if (result == DecodeResult::kOk) return TakeResult::kTaken;
  problem = describe(result);
  return TakeResult::kRefused;
}

}  // namespace scope
