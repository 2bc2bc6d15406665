#include "terminal.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>

namespace monitor {

namespace {

constexpr char kRestore[] = "\33[0m\n";

void writeRestore() {
  std::fflush(stdout);
  // write() is safe in a signal handler; stdio is not.
  (void)!::write(STDOUT_FILENO, kRestore, sizeof kRestore - 1);
}

void onSignal(int signalNumber) {
  writeRestore();
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

std::string fitText(const std::string& text, int width) {
  if (static_cast<int>(text.size()) > width) return std::string(static_cast<size_t>(width), '#');
  return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
}

}  // namespace

void restoreTerminalOnExit() {
  std::atexit(writeRestore);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signalNumber, onSignal);
}

void beginRedraw(std::FILE* out) { std::fputs(kClearScreen, out); }

std::string fitted(long long value, int width) { return fitText(std::to_string(value), width); }

std::string fittedScaled(long long raw, int exponent, int width) {
  if (exponent >= 0) {
    for (int i = 0; i < exponent; ++i) raw *= 10;
    return fitted(raw, width);
  }
  long long divisor = 1;
  for (int i = 0; i < -exponent; ++i) divisor *= 10;
  const long long magnitude = raw < 0 ? -raw : raw;
  std::string fraction      = std::to_string(magnitude % divisor);
  fraction.insert(0, static_cast<size_t>(-exponent) - fraction.size(), '0');
  return fitText((raw < 0 ? "-" : "") + std::to_string(magnitude / divisor) + "." + fraction, width);
}

}  // namespace monitor
