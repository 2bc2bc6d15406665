// A database daemon in-process: the store its start-up builds, in an image of its own
// with the helper stand-ins on PATH, on a clock the test sets.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "daemon.h"
#include "private_store.h"
#include "temp_image.h"

namespace orvix::testing {

class DaemonTest : public StoreTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The local time the daemon sees from now on.
  static void setClock(int hour, int minute, int second);
  static int tag(int handle);
  static void setTag(int handle, int value);  // as another program would: unchecked
  std::string recordedHostCommands() const;

  TempImage image_;
  Daemon daemon_;

 private:
  std::string previousPath_;
};

}  // namespace orvix::testing
