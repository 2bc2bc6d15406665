#include "watch.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>

#include "arguments.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace inspector {

namespace {

constexpr useconds_t kPollIntervalUs = 400;        // between two reads of the value
constexpr unsigned kPauseWhileOutsideSeconds = 1;  // after each line of "-o" and "-u"

// Local date and time as "Mon Dec  7 23:21:54 2026\n".
const char* timeText(char (&buffer)[64]) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y\n", &local) == 0) buffer[0] = '\0';
  return buffer;
}

// The function's count or threshold, the default when none was given.
std::optional<int> numberArgument(const TagCall& call, int fallback) {
  if (call.extra == nullptr) return fallback;
  const std::optional<int> number = parseDecimal(call.extra);
  if (!number) std::printf("argument not a number\n");
  return number;
}

// The watched tag must hold a tag; afterwards its value is read directly, so that a
// watch survives the store being rebuilt underneath it.
bool watchable(const TagCall& call) {
  int value = 0;
  int code = 0;
  if (dbGetValueByHandle(call.handle, &value, &code)) return true;
  std::printf("ERROR: %d\n", code);
  return false;
}

int currentValue(int handle) { return shared_mem->parameter.iValue[handle]; }

int byteOf(int value, int byte) { return static_cast<int>((static_cast<uint32_t>(value) >> (8 * byte)) & 0xFF); }

void printChange(const TagCall& call, int oldValue, int newValue) {
  char time[64];
  std::printf("%s %d -> %d %s", call.tagText, oldValue, newValue, timeText(time));
}

void printChangedBytes(const TagCall& call, int oldValue, int newValue) {
  char time[64];
  std::printf("--- %s ----\n", call.tagText);
  std::printf("Byte:0 %d -> %d\n", byteOf(oldValue, 0), byteOf(newValue, 0));
  std::printf("Byte:1 %d -> %d\n", byteOf(oldValue, 1), byteOf(newValue, 1));
  std::printf("Byte:2 %d -> %d\n", byteOf(oldValue, 2), byteOf(newValue, 2));
  std::printf("Byte:3 %d -> %d %s", byteOf(oldValue, 3), byteOf(newValue, 3), timeText(time));
}

int watchCountedChanges(const TagCall& call, void (*print)(const TagCall&, int, int)) {
  const std::optional<int> count = numberArgument(call, 1);
  if (!count) return kExitFailed;
  if (!watchable(call)) return kExitFailed;
  int previous = currentValue(call.handle);
  for (int changes = 0; changes < *count;) {
    usleep(kPollIntervalUs);
    const int value = currentValue(call.handle);
    if (value == previous) continue;
    print(call, previous, value);
    std::fflush(stdout);
    previous = value;
    ++changes;
  }
  return kExitOk;
}

[[noreturn]] void watchOutside(const TagCall& call, int threshold, bool above) {
  for (;;) {
    const int value = currentValue(call.handle);
    if (above ? value > threshold : value < threshold) {
      char time[64];
      std::printf("%s %d %s", call.tagText, value, timeText(time));
      std::fflush(stdout);
      sleep(kPauseWhileOutsideSeconds);
    } else {
      usleep(kPollIntervalUs);
    }
  }
}

int watchThreshold(const TagCall& call, bool above) {
  const std::optional<int> threshold = numberArgument(call, 1);
  if (!threshold) return kExitFailed;
  if (!watchable(call)) return kExitFailed;
  watchOutside(call, *threshold, above);
}

}  // namespace

int watchChanges(const TagCall& call) { return watchCountedChanges(call, printChange); }
int watchChangedBytes(const TagCall& call) { return watchCountedChanges(call, printChangedBytes); }
int watchAbove(const TagCall& call) { return watchThreshold(call, true); }
int watchBelow(const TagCall& call) { return watchThreshold(call, false); }

}  // namespace inspector
