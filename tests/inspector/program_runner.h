// Runs build/bin programs from a test: to completion with their output, or in the
// background with their output read as it comes. Only processes started here are ever
// signalled, by their process id.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orvix::testing {

// The path of a program in the build's bin directory (ORVIX_BUILD_BIN).
std::string buildProgram(const std::string& name);

struct ProgramResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string output;   // standard output
};

// Runs the program with the arguments and waits for it (killed after the time-out).
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout = std::chrono::seconds(20));

class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::vector<std::string>& args);
  ~BackgroundProgram();  // kills the program if it still runs
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  // Reads output until it holds the text or the time-out passes; the output so far.
  std::string waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
  // Waits for the program to end; its exit status, or -1 when it had to be killed.
  int waitForExit(std::chrono::milliseconds timeout);
  pid_t pid() const { return pid_; }

 private:
  void readAvailable(int waitMs);
  pid_t pid_ = -1;
  int outputFd_ = -1;
  std::string output_;
};

}  // namespace orvix::testing
