#include "program_runner.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace orvix::testing {

namespace {

using Clock = std::chrono::steady_clock;

pid_t spawnWithOutputPipe(const std::string& program, const std::vector<std::string>& args, int* outputFd) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    throw std::runtime_error("cannot start " + program);
  }
  *outputFd = fds[0];
  return pid;
}

int exitStatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

std::string buildProgram(const std::string& name) {
  const char* bin = std::getenv("ORVIX_BUILD_BIN");
  return std::string(bin != nullptr ? bin : "build/bin") + "/" + name;
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout) {
  BackgroundProgram running(program, args);
  ProgramResult result;
  result.exitStatus = running.waitForExit(timeout);
  result.output = running.waitForOutput("", std::chrono::milliseconds(0));
  return result;
}

BackgroundProgram::BackgroundProgram(const std::string& program, const std::vector<std::string>& args) {
  pid_ = spawnWithOutputPipe(program, args, &outputFd_);
}

BackgroundProgram::~BackgroundProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (outputFd_ >= 0) close(outputFd_);
}

void BackgroundProgram::readAvailable(int waitMs) {
  if (outputFd_ < 0) return;
  pollfd fd = {outputFd_, POLLIN, 0};
  if (poll(&fd, 1, waitMs) <= 0) return;
  char buffer[4096];
  const ssize_t count = read(outputFd_, buffer, sizeof buffer);
  if (count > 0) {
    output_.append(buffer, static_cast<size_t>(count));
  } else {
    close(outputFd_);
    outputFd_ = -1;
  }
}

std::string BackgroundProgram::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  do {
    if (!text.empty() && output_.find(text) != std::string::npos) break;
    readAvailable(10);
  } while (Clock::now() < deadline);
  // Whatever is already in the pipe belongs to the output too.
  for (int drained = 0; drained < 1000 && outputFd_ >= 0; ++drained) {
    const size_t before = output_.size();
    readAvailable(0);
    if (output_.size() == before) break;
  }
  return output_;
}

int BackgroundProgram::waitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  int status = 0;
  while (pid_ > 0) {
    // Keep the pipe drained so that a program with much output never blocks on it.
    readAvailable(5);
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return exitStatusOf(status);
    }
    if (Clock::now() >= deadline) break;
  }
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  return -1;
}

}  // namespace orvix::testing
