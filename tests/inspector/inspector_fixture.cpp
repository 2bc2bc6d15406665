#include "inspector_fixture.h"

#include <cstdlib>
#include <sstream>

#include "orxtags/storebuilder.h"
#include "sharedmem/tagaccess.h"

namespace orvix::testing {

void InspectorTest::SetUp() {
  ASSERT_NE(store_.block(), nullptr);
  setenv("ORVIX_SHM_KEY", std::to_string(store_.key()).c_str(), 1);
  tagstore::buildTagStore();
}

void InspectorTest::TearDown() { unsetenv("ORVIX_SHM_KEY"); }

int InspectorTest::handleOf(const char* name) {
  int handle = -1;
  int code = 0;
  EXPECT_TRUE(dbGetHandleByTagname(name, &handle, &code)) << name;
  return handle;
}

int InspectorTest::valueOf(int handle) {
  int value = 0;
  int code = 0;
  EXPECT_TRUE(dbGetValueByHandle(handle, &value, &code)) << handle;
  return value;
}

void InspectorTest::setRaw(int handle, int value) { shared_mem->parameter.iValue[handle] = value; }

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string withoutColours(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\x1b[") == 0) {
      const size_t end = text.find('m', i);
      if (end != std::string::npos) {
        i = end;
        continue;
      }
    }
    plain += text[i];
  }
  return plain;
}

}  // namespace orvix::testing
