// A capture as it arrives from the signal processor: any bytes are either refused whole
// or taken exactly as sent, and a taken capture with any sample values goes through every
// analysis. Half of the inputs are given a sound frame (size, magic, checksum) so that the
// analyses see arbitrary samples, not only refusals.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "scopecapture/capturefile.h"
#include "scopegrab.h"
#include "scopegrab_fuzz_fixture.h"
#include "scopetags.h"

namespace {

// Sets the header fields a sound frame needs, keeping the settings the input chose.
std::string framed(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.size() < scope::kCaptureHeaderSize) bytes.resize(scope::kCaptureHeaderSize, '\0');
  size_t samples = (bytes.size() - scope::kCaptureHeaderSize) / scope::kCaptureRecordSize;
  if (samples > scope::kMaxSamples) samples = scope::kMaxSamples;
  bytes.resize(scope::kCaptureHeaderSize + samples * scope::kCaptureRecordSize);
  std::memcpy(bytes.data(), "OSC1", 4);
  bytes[4]     = static_cast<char>(samples & 0xFF);
  bytes[5]     = static_cast<char>(samples >> 8);
  uint32_t sum = 0;
  for (size_t i = scope::kCaptureHeaderSize; i < bytes.size(); ++i) sum += static_cast<uint8_t>(bytes[i]);
  for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<char>(sum >> (8 * i));
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopegrab;
  if (size < 2) return 0;
  auto& scope          = fuzzing::Fixture::instance().scope();
  const uint8_t choice = data[0];
  const std::string bytes =
      (choice & 1) ? framed(data + 2, size - 2) : std::string(reinterpret_cast<const char*>(data) + 2, size - 2);
  writeTag(tag::vxo_scopeview2type, (choice >> 1) % 7);
  writeTag(tag::vxo_samplerate, data[1] % 17);
  writeTag(tag::vxi_tronstatus, choice >> 7);

  const auto decoded =
      scope::decodeCapture({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, scope.capture());
  if (decoded == scope::DecodeResult::kOk && scope::encodeCapture(scope.capture()) != bytes) __builtin_trap();
  if ((choice & 1) && decoded != scope::DecodeResult::kOk) __builtin_trap();

  std::ofstream(orvix::platform::resolvePath(scope::kCaptureFile), std::ios::binary | std::ios::trunc) << bytes;
  std::string problem;
  const auto taken = scope::takeCapture(scope.capture(), problem);
  if ((taken == scope::TakeResult::kTaken) != (decoded == scope::DecodeResult::kOk)) __builtin_trap();
  if (orvix::platform::fileExists(scope::kCaptureFile) || orvix::platform::fileExists(scope::kCaptureFileTaken))
    __builtin_trap();
  if (taken == scope::TakeResult::kTaken) {
    scope.SaveToFile(kFreshCapture);
    if (readTag(tag::vxo_scopegrabstatus) != status::kDone || scope.capture().captureLength != 0) __builtin_trap();
  }
  return 0;
}
