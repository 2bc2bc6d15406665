// What the monitor does to the terminal, and how it gives it back: colours are reset and
// the cursor stands on a fresh line when the program ends or is interrupted.
#pragma once

#include <cstdio>
#include <string>

namespace monitor {

inline constexpr const char* kClearScreen = "\33[2J\33[f";
inline constexpr const char* kGreen       = "\33[32m";
inline constexpr const char* kColourReset = "\33[0m";

// Resets the terminal on normal exit and on SIGINT, SIGTERM, SIGHUP and SIGQUIT.
void restoreTerminalOnExit();

// Starts a redraw: clears the screen and puts the cursor home.
void beginRedraw(std::FILE* out);

// The number right-aligned in width characters; one that does not fit is shown as a
// run of '#' so that the columns to its right stay where they are.
std::string fitted(long long value, int width);
// A raw tag value shown with its exponent (-1 tenths, -2 hundredths), fitted the same way.
std::string fittedScaled(long long raw, int exponent, int width);

}  // namespace monitor
