// Requests to the simulated signal processor: from its command line and from the control
// file of the image, which it takes and removes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "constants.h"
#include "dspalarms.h"

namespace dspsim {

enum class RequestKind { kRaiseAlarm, kSpark, kArc, kHeartbeatStop, kHeartbeatRun, kAuxInput };

constexpr int kAuxInputMost = 250;  // 0.1 mA: the auxiliary input reads 0 .. 25 mA

struct Request {
  RequestKind kind;
  const DspAlarm* alarm = nullptr;  // for kRaiseAlarm
  int auxInput          = 0;        // for kAuxInput: 0.1 mA
};

// One request per line: "raise <alarm tag name>", "spark", "arc", "heartbeat stop", "heartbeat run",
// "aux <0.1 mA>";
// blank lines and lines starting with '#' are skipped. A line that is not understood adds
// "line <n>: <why>" to problems and is skipped.
std::vector<Request> parseControlText(std::string_view text, std::string& problems);

constexpr const char* kControlFilePath = "/var/lib/orvix/dspsim.ctl";

// Takes the control file (a unit path) by renaming it, so that a writer that renames its own
// file into place never loses a request; empty when there is none.
std::vector<Request> takeControlFile(const char* unitPath, std::string& problems);

struct CommandLine {
  std::string constantsPath = kDefaultConstantsPath;
  std::vector<Request> requests;
};

// dspsim [-c <constants file>] [-r <alarm tag name>]...
// False with the reason in problems for anything else.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& problems);

}  // namespace dspsim
