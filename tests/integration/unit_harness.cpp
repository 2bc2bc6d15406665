#include "unit_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "sharedmem/modesettings.h"
#include "sharedmem/tagaccess.h"

namespace orvix::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& outputFile) {
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    execvp(arguments[0], arguments.data());
    _exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

int ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!reaped_) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

void ChildProcess::signal(int number) const {
  if (!reaped_) kill(pid_, number);
}

UnitHarness::UnitHarness() {
  const std::string layOut = std::string(std::getenv("ORVIX_SOURCE_DIR")) + "/unit/lay-out-image " + image_.root() +
                             " " + bin() + " >/dev/null";
  if (std::system(layOut.c_str()) != 0) ADD_FAILURE() << "cannot lay out " << image_.root();
  // The children inherit the image, the store key and the stand-ins first on PATH.
  setenv("ORVIX_SHM_KEY", std::to_string(store_.key()).c_str(), 1);
  const std::string path = image_.root() + "/bin:" + bin() + ":" + std::getenv("PATH");
  setenv("PATH", path.c_str(), 1);
}

std::string UnitHarness::bin() { return std::getenv("ORVIX_BUILD_BIN"); }

std::unique_ptr<ChildProcess> UnitHarness::startDatabase(const std::vector<std::string>& arguments) {
  databaseLogStart_ = log("database").size();
  std::vector<std::string> argv = {bin() + "/database"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return startProgram(argv, "database");
}

std::unique_ptr<ChildProcess> UnitHarness::startProgram(const std::vector<std::string>& argv,
                                                        const std::string& logName) {
  return std::make_unique<ChildProcess>(argv, image_.path("/var/log/" + logName + ".log"));
}

bool UnitHarness::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool UnitHarness::waitUntilRunning(std::chrono::milliseconds timeout) {
  const auto savedOnce = [this] {
    return log("database").find("SAVESTTINGS CALLED", databaseLogStart_) != std::string::npos &&
           tagValue("vxo_saveset") == 0;
  };
  if (!waitFor([&] { return dbIsSorted() && savedOnce(); }, timeout)) return false;
  // The loop's first passes may still adjust stored settings (limits that follow the
  // ratios); save until a whole second goes by without an unsaved change.
  const auto unsaved = [] {
    for (int handle = 0; handle < kNoOfHandles; ++handle) {
      if (dbParameterSaveStatus(handle) == kChangedSinceSave) return true;
    }
    return false;
  };
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    if (!unsaved()) return true;
    writeTag("vxo_saveset", 1);
    waitFor([] { return tagValue("vxo_saveset") == 0; }, std::chrono::seconds(2));
    waitFor([&] { return !unsaved(); }, std::chrono::seconds(2));
  }
  return false;
}

int tagValue(const char* name) {
  int value = 0;
  int code = 0;
  return dbGetValueByTagname(name, &value, &code) ? value : -987654;
}

int tagSaveValue(const char* name) {
  int value = 0;
  return dbGetSaveValueByTagName(name, &value, nullptr) ? value : -987654;
}

void writeTag(const char* name, int value) {
  int code = 0;
  if (!dbSetValueByTagName(name, value, &code)) ADD_FAILURE() << name << " refused " << value << " code " << code;
}

}  // namespace orvix::testing
