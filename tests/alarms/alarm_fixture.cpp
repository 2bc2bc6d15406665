#include "alarm_fixture.h"

#include <sstream>

#include "orxtags/storebuilder.h"
#include "sharedmem/tagaccess.h"

namespace orvix::testing {

void AlarmStoreTest::SetUp() {
  StoreTest::SetUp();
  tagstore::buildTagStore();
}

int AlarmStoreTest::tag(int handle) { return dbReadValueByHandle(handle); }

void AlarmStoreTest::setTag(int handle, int value) { shared_mem->parameter.iValue[handle] = value; }

std::vector<std::string> AlarmStoreTest::linesOf(const std::string& unitPath) const {
  std::istringstream contents(image_.readFile(unitPath));
  std::vector<std::string> lines;
  for (std::string line; std::getline(contents, line);) lines.push_back(line);
  return lines;
}

}  // namespace orvix::testing
