// The transfer of a capture from the signal processor to scopegrab: one file in the
// image, written whole by a rename and taken by a rename (docs/signal-processor-link.md).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "scopecapture/capture.h"

namespace scope {

constexpr const char* kCaptureFile      = "/tmp/dspcapture";
constexpr const char* kCaptureFileNew   = "/tmp/dspcapture.new";
constexpr const char* kCaptureFileTaken = "/tmp/dspcapture.taken";

constexpr size_t kCaptureHeaderSize = 16;  // bytes
constexpr size_t kCaptureRecordSize = 32;  // bytes per sample

enum class DecodeResult { kOk, kTooShort, kBadMagic, kTooManySamples, kSizeMismatch, kBadChecksum };
const char* describe(DecodeResult result);

std::string encodeCapture(const Capture& capture);
// Fills the capture only when the whole transfer is sound.
DecodeResult decodeCapture(std::span<const uint8_t> bytes, Capture& capture);

// The signal processor's side: the capture appears under kCaptureFile in one step.
bool publishCapture(const Capture& capture);

enum class TakeResult { kNone, kTaken, kRefused };
// scopegrab's side: takes the waiting capture, if any; a refused one is removed and
// problem says why.
TakeResult takeCapture(Capture& capture, std::string& problem);

}  // namespace scope
