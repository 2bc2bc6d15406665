// A unit under test: a temporary image laid out like a unit's file system with the
// helpers on PATH, a store of its own that this test process attaches too, and the
// programs it starts, each ended by its pid when the test ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "private_store.h"
#include "temp_image.h"

namespace orvix::testing {

// A program started by the test; killed (SIGKILL) and reaped when dropped.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& outputFile);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Waits up to the time-out for the exit; the exit status, or -1 (still running or
  // ended by a signal).
  int waitForExit(std::chrono::milliseconds timeout);
  void signal(int number) const;

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

class UnitHarness {
 public:
  UnitHarness();

  const TempImage& image() const { return image_; }
  key_t key() const { return store_.key(); }
  static std::string bin();

  // database -c /var/lib/orvix/orvix.ini, output appended to var/log/database.log.
  std::unique_ptr<ChildProcess> startDatabase(const std::vector<std::string>& arguments = {"-c", "/var/lib/orvix/orvix.ini"});
  std::unique_ptr<ChildProcess> startProgram(const std::vector<std::string>& argv, const std::string& logName);
  std::string log(const std::string& program) const { return image_.readFile("/var/log/" + program + ".log"); }

  // Polls until the condition holds; false after the time-out.
  static bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  // Until the daemon has built and sorted the store, loaded the settings and saved once.
  bool waitUntilRunning(std::chrono::milliseconds timeout = std::chrono::seconds(20));

 private:
  PrivateStore store_;
  TempImage image_;
  size_t databaseLogStart_ = 0;  // where the log of the last database started begins
};

int tagValue(const char* name);
int tagSaveValue(const char* name);
void writeTag(const char* name, int value);  // checked, as a program of the unit writes

}  // namespace orvix::testing
