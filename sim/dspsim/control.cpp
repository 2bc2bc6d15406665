#include "control.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

namespace dspsim {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Splits "word rest" at the first blank.
std::pair<std::string_view, std::string_view> firstWord(std::string_view text) {
  const auto blank = text.find_first_of(" \t");
  if (blank == std::string_view::npos) return {text, {}};
  return {text.substr(0, blank), trimmed(text.substr(blank))};
}

bool parseRequest(std::string_view line, Request& request, std::string& why) {
  const auto [verb, argument] = firstWord(line);
  if (verb == "raise") {
    request.kind  = RequestKind::kRaiseAlarm;
    request.alarm = findDspAlarm(argument);
    if (request.alarm == nullptr) why = "no alarm of the signal processor is called '" + std::string(argument) + "'";
    return request.alarm != nullptr;
  }
  if ((verb == "spark" || verb == "arc") && argument.empty()) {
    request.kind = verb == "spark" ? RequestKind::kSpark : RequestKind::kArc;
    return true;
  }
  if (verb == "heartbeat" && (argument == "stop" || argument == "run")) {
    request.kind = argument == "stop" ? RequestKind::kHeartbeatStop : RequestKind::kHeartbeatRun;
    return true;
  }
  if (verb == "aux") {
    request.kind = RequestKind::kAuxInput;
    const std::string digits(argument);
    char* end          = nullptr;
    const long current = std::strtol(digits.c_str(), &end, 10);
    const bool valid   = !digits.empty() && *end == '\0' && current >= 0 && current <= kAuxInputMost;
    request.auxInput   = static_cast<int>(current);
    if (!valid) {
      why = "the auxiliary input takes 0.." + std::to_string(kAuxInputMost) + " (0.1 mA), not '" + digits + "'";
    }
    return valid;
  }
  why = "not understood: '" + std::string(line) + "'";
  return false;
}

}  // namespace

std::vector<Request> parseControlText(std::string_view text, std::string& problems) {
  std::vector<Request> requests;
  int lineNumber = 0;
  while (!text.empty()) {
    const auto end              = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text                        = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    Request request{RequestKind::kSpark};
    std::string why;
    if (parseRequest(line, request, why)) {
      requests.push_back(request);
    } else {
      problems += "line " + std::to_string(lineNumber) + ": " + why + "\n";
    }
  }
  return requests;
}

std::vector<Request> takeControlFile(const char* unitPath, std::string& problems) {
  const std::string path  = orvix::platform::resolvePath(unitPath);
  const std::string taken = path + ".taken";
  if (std::rename(path.c_str(), taken.c_str()) != 0) return {};
  std::ifstream file(taken);
  std::stringstream contents;
  contents << file.rdbuf();
  std::remove(taken.c_str());
  return parseControlText(contents.str(), problems);
}

bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& problems) {
  for (int i = 1; i < argc; i += 2) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc || (option != "-c" && option != "-r")) {
      problems += "Usage: dspsim [-c <constants file>] [-r <alarm tag name>]...\n";
      return false;
    }
    if (option == "-c") {
      line.constantsPath = argv[i + 1];
      continue;
    }
    const DspAlarm* alarm = findDspAlarm(argv[i + 1]);
    if (alarm == nullptr) {
      problems += std::string("no alarm of the signal processor is called '") + argv[i + 1] + "'\n";
      return false;
    }
    line.requests.push_back({RequestKind::kRaiseAlarm, alarm});
  }
  return true;
}

}  // namespace dspsim
