// A store built as the database builds it at start-up, with tags read and written by
// name as the unit's other programs and operators do.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"

namespace orvix::testing {

class EnergisationTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }

  static int handle(const char* name) {
    int found = -1;
    int errCode = 0;
    EXPECT_TRUE(dbGetHandleByTagname(name, &found, &errCode)) << name;
    return found;
  }
  static int get(const char* name) { return dbReadValueByHandle(handle(name)); }
  // A checked write, as the register server makes it; a refused value fails the test.
  static void set(const char* name, int value) {
    int errCode = 0;
    EXPECT_TRUE(dbSetValueByHandle(handle(name), value, &errCode)) << name << " = " << value << ": " << errCode;
  }
  static int internal(int handle) { return dbReadValueByHandle(handle); }
  static void setInternal(int handle, int value) {
    int errCode = 0;
    EXPECT_TRUE(dbSetValueByHandle(handle, value, &errCode)) << handle;
  }
  static std::string text(const char* name) {
    char* value = nullptr;
    int errCode = 0;
    return dbGetModbusTextByTagName(name, &value, &errCode) ? std::string(value) : std::string("<unreadable>");
  }
};

}  // namespace orvix::testing
