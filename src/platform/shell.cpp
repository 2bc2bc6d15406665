#include "platform/shell.h"

#include <sys/wait.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvix::platform {

namespace {
int exitStatusOf(int waitStatus) {
  if (waitStatus == -1 || !WIFEXITED(waitStatus)) return -1;
  return WEXITSTATUS(waitStatus);
}
}  // namespace

bool ShellCommand::format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int needed = std::vsnprintf(text_, sizeof text_, fmt, args);
  va_end(args);
  fits_ = needed >= 0 && static_cast<size_t>(needed) < sizeof text_;
  if (!fits_) text_[0] = '\0';
  return fits_;
}

std::string shellQuote(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string shellQuoteFile(std::string_view path) {
  if (!path.empty() && path.front() == '-') return shellQuote("./" + std::string(path));
  return shellQuote(path);
}

int runShellCommand(const ShellCommand& command) {
  if (!command.fits()) {
    std::fprintf(stderr, "Shell command refused: does not fit %zu bytes\n", kShellCommandSize);
    return -1;
  }
  return runShellCommand(command.text());
}

int runShellCommand(const char* command) {
  std::fflush(nullptr);  // output already written must not be repeated by the child
  return exitStatusOf(std::system(command));
}

bool readShellCommand(const char* command, char* line, size_t lineSize, int* exitStatus) {
  if (lineSize > 0) line[0] = '\0';
  *exitStatus = -1;
  std::fflush(nullptr);
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) return false;
  if (lineSize > 0 && std::fgets(line, static_cast<int>(lineSize), pipe) != nullptr) {
    line[std::strcspn(line, "\n")] = '\0';
  }
  // Drain the rest so that the command never dies of a broken pipe.
  char discard[256];
  while (std::fgets(discard, sizeof discard, pipe) != nullptr) {
  }
  *exitStatus = exitStatusOf(pclose(pipe));
  return true;
}

}  // namespace orvix::platform

bool exec_shell_command(const char* pCommand, char* pData) {
  int exitStatus = -1;
  if (!orvix::platform::readShellCommand(pCommand, pData, orvix::platform::kShellLineSize, &exitStatus)) {
    std::fprintf(stderr, "Could not open pipe for output\n");
    return false;
  }
  return exitStatus == 0;
}
