// Shell commands: formatted into bounded buffers, outside text quoted, run with the
// first output line and the exit status handed back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvix::platform {

constexpr size_t kShellCommandSize = 1024;  // longest command text with its terminator
constexpr size_t kShellLineSize = 100;      // first output line handed back, terminator included

// A command text that never outgrows its buffer. A format that does not fit leaves the
// command unusable, so a cut command can never run.
class ShellCommand {
 public:
  ShellCommand() = default;
  // printf-style; arguments that come from configuration, tags, the network or a user
  // must be passed through shellQuote() first.
  bool format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  bool fits() const { return fits_; }
  const char* text() const { return text_; }

 private:
  char text_[kShellCommandSize] = {};
  bool fits_ = false;
};

// One shell word that stands for exactly this text ('...' with embedded quotes escaped).
std::string shellQuote(std::string_view text);

// One shell word for a file operand: quoted, and a relative path that begins with "-" gets
// "./" in front, since some commands read "-" as standard input even after "--".
std::string shellQuoteFile(std::string_view path);

// Runs the command with the shell; its exit status, or -1 when it could not run, was
// killed by a signal or was unusable (prints why to standard error).
int runShellCommand(const ShellCommand& command);
int runShellCommand(const char* command);

// Runs the command through a pipe: the first output line (newline removed, at most
// lineSize - 1 characters) goes to line, the exit status (-1 as above) to exitStatus.
// False when the pipe could not be opened.
bool readShellCommand(const char* command, char* line, size_t lineSize, int* exitStatus);

}  // namespace orvix::platform

// The unit's shell reader: the command's first output line into pData (a buffer of
// kShellLineSize bytes, newline removed); true when the command exits with status 0.
bool exec_shell_command(const char* pCommand, char* pData);
