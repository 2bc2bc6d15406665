// Tags read and set by name in tests; a name the store does not know fails the test.
#pragma once

#include <gtest/gtest.h>

#include "sharedmem/tagaccess.h"

namespace orvix::testing::by_name {

inline int value(const char* name) {
  int result = 0;
  int error  = 0;
  EXPECT_TRUE(dbGetValueByTagname(name, &result, &error)) << name << " error " << error;
  return result;
}

inline void set(const char* name, int newValue) {
  int error = 0;
  ASSERT_TRUE(dbSetValueByTagName(name, newValue, &error)) << name << " error " << error;
}

}  // namespace orvix::testing::by_name
