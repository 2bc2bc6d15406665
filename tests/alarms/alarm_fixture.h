// A store built as the daemon's start-up builds it, in an image of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "private_store.h"
#include "temp_image.h"

namespace orvix::testing {

class AlarmStoreTest : public StoreTest {
 protected:
  void SetUp() override;

  static int tag(int handle);
  static void setTag(int handle, int value);  // as another program would: unchecked
  // The lines of a file of the image, without their newlines.
  std::vector<std::string> linesOf(const std::string& unitPath) const;

  TempImage image_;
};

}  // namespace orvix::testing
