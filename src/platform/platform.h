// The one place that knows the host: where the unit's files are, which store key to use,
// how shell commands run, flag files and monotonic time.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvix::platform {

// An absolute unit path taken under $ORVIX_ROOT when that is set ("/tmp/x" becomes
// "$ORVIX_ROOT/tmp/x"); relative paths and an unset root are returned unchanged.
std::string resolvePath(std::string_view unitPath);

constexpr key_t kUnitShmKey = 333;

// The key of the tag store: $ORVIX_SHM_KEY (decimal) when set and valid, else 333.
key_t shmKey();

// Flag files that carry state across restarts (paths are unit paths).
bool fileExists(std::string_view unitPath);
bool touchFile(std::string_view unitPath);
bool removeFile(std::string_view unitPath);

// Milliseconds of a clock that never jumps with the wall clock.
int64_t monotonicMs();

}  // namespace orvix::platform
