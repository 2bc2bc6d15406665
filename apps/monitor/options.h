// The command line: one option word picks the screen; the logger takes a line count and
// an interval after it.
#pragma once

namespace monitor {

enum class Screen { kBasic, kLogger, kSpark, kRapping, kActivity, kCanBus, kLimiter, kMira, kDebug, kExtended };

struct Options {
  Screen screen   = Screen::kBasic;
  int logLines    = 1200;  // lines after the first
  int logInterval = 3;     // seconds between lines
};

Options parseOptions(int argc, const char* const* argv);

}  // namespace monitor
