// The CSV logger: the main process values, one line per interval, to standard output;
// its plan and its progress to standard error.
#pragma once

#include <cstdio>
#include <functional>

namespace monitor {

extern const char kLogHeader[];

// Writes one line: the unit's date and time from its clock tags, then the twenty values.
void writeLogLine(std::FILE* out);

// Logs lines + 1 lines, interval seconds apart; wait(ms) sleeps and says whether the stop
// word ended the log. Returns the exit status.
int runLogger(int lines, int interval, std::FILE* out, std::FILE* err, const std::function<bool(int)>& wait);

}  // namespace monitor
