// The transfer of a capture: what one side writes the other reads, and a transfer that
// is cut, changed or oversized is refused whole.
#include "scopecapture/capturefile.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/platform.h"
#include "temp_image.h"

namespace {

using namespace scope;

std::unique_ptr<Capture> sampleCapture(int n) {
  auto c           = std::make_unique<Capture>();
  c->captureLength = n;
  c->sampleRate    = 8;
  c->lineFrequency = 500;
  c->firingRatio   = 3333;
  for (int i = 0; i < n; ++i) {
    for (int ch = 0; ch < kAnalogueChannels; ++ch) c->CAPBuffers[ch].Value[i] = static_cast<float>(i * 10 + ch) / 3;
    c->limiterData[i]     = 0x80000000u | static_cast<uint32_t>(i);
    c->maSetPointData[i]  = static_cast<uint32_t>(i) << 8;
    c->firingAngleData[i] = static_cast<uint32_t>(i) << 22;
  }
  return c;
}

std::span<const uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(CaptureTransfer, RoundTripAndRefusals) {
  const auto sent   = sampleCapture(kMaxSamples);
  std::string bytes = encodeCapture(*sent);
  ASSERT_EQ(bytes.size(), kCaptureHeaderSize + kMaxSamples * kCaptureRecordSize);
  auto received = std::make_unique<Capture>();
  ASSERT_EQ(decodeCapture(bytesOf(bytes), *received), DecodeResult::kOk);
  EXPECT_EQ(received->captureLength, kMaxSamples);
  EXPECT_EQ(received->firingRatio, 3333);
  EXPECT_EQ(received->sampleRate, 8);
  EXPECT_EQ(received->lineFrequency, 500);
  EXPECT_FLOAT_EQ(received->CAPBuffers[CH_AUX].Value[4095], sent->CAPBuffers[CH_AUX].Value[4095]);
  EXPECT_EQ(received->limiterData[4095], sent->limiterData[4095]);
  EXPECT_EQ(received->firingAngleData[17], 17u << 22);

  auto untouched = sampleCapture(1);
  EXPECT_EQ(decodeCapture(bytesOf(bytes.substr(0, 10)), *untouched), DecodeResult::kTooShort);
  EXPECT_EQ(decodeCapture(bytesOf(bytes.substr(0, bytes.size() - 1)), *untouched), DecodeResult::kSizeMismatch);
  std::string changed = bytes;
  changed[1000] ^= 0x40;
  EXPECT_EQ(decodeCapture(bytesOf(changed), *untouched), DecodeResult::kBadChecksum);
  std::string oversized = bytes;
  oversized[4]          = static_cast<char>(0x01);  // 4097 samples
  oversized[5]          = static_cast<char>(0x10);
  EXPECT_EQ(decodeCapture(bytesOf(oversized), *untouched), DecodeResult::kTooManySamples);
  EXPECT_EQ(decodeCapture(bytesOf("XSC1" + bytes.substr(4)), *untouched), DecodeResult::kBadMagic);
  EXPECT_EQ(untouched->captureLength, 1);
}

TEST(CaptureTransfer, ACaptureIsTakenOnce) {
  orvix::testing::TempImage image;
  image.path("/tmp/x");
  auto received = std::make_unique<Capture>();
  std::string problem;
  EXPECT_EQ(takeCapture(*received, problem), TakeResult::kNone);
  ASSERT_TRUE(publishCapture(*sampleCapture(100)));
  EXPECT_EQ(takeCapture(*received, problem), TakeResult::kTaken);
  EXPECT_EQ(received->captureLength, 100);
  EXPECT_EQ(takeCapture(*received, problem), TakeResult::kNone);

  image.writeFile(kCaptureFile, encodeCapture(*sampleCapture(100)).substr(0, 500));  // cut short
  EXPECT_EQ(takeCapture(*received, problem), TakeResult::kRefused);
  EXPECT_EQ(problem, "size does not match its number of samples");
  EXPECT_FALSE(orvix::platform::fileExists(kCaptureFile));
  EXPECT_FALSE(orvix::platform::fileExists(kCaptureFileTaken));
}

}  // namespace
