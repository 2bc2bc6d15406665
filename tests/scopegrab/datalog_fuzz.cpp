// An external data log as an operator might upload it: any bytes are read as far as they
// make sense and then processed under any view type, settings and T/R state.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string_view>

#include "platform/platform.h"
#include "scopegrab.h"
#include "scopegrab_fuzz_fixture.h"
#include "scopetags.h"

namespace {

// Samples a data log holds by an independent count: the non-blank lines after the line
// holding "[Data]", at most a whole capture.
int samplesInLog(std::string_view text) {
  const size_t marker = text.find("[Data]");
  if (marker == std::string_view::npos) return 0;
  size_t position = text.find('\n', marker);
  int samples     = 0;
  while (position != std::string_view::npos) {
    const size_t next = text.find('\n', position + 1);
    const std::string_view line =
        text.substr(position + 1, next == std::string_view::npos ? next : next - position - 1);
    if (!line.empty() && line != "\r") ++samples;
    position = next;
  }
  return samples < scope::kMaxSamples ? samples : scope::kMaxSamples;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopegrab;
  if (size < 3) return 0;
  auto& scope = fuzzing::Fixture::instance().scope();
  writeTag(tag::vxo_scopeview2type, data[0] % 7);
  writeTag(tag::vxi_tronstatus, data[1] & 1);
  writeTag(tag::vxi_linefrequency, 400 + data[1]);
  const std::string_view log(reinterpret_cast<const char*>(data) + 2, size - 2);

  const int expected = samplesInLog(log);
  if (parseDataLog(log, scope.capture()) != expected) __builtin_trap();

  std::ofstream(orvix::platform::resolvePath(kExternalDataLog), std::ios::binary | std::ios::trunc) << log;
  scope.LoadFile(false);
  if (orvix::platform::fileExists(kExternalDataLog)) __builtin_trap();
  if (readTag(tag::vxo_scopegrabstatus) != status::kDone || scope.capture().captureLength != 0) __builtin_trap();
  return 0;
}
