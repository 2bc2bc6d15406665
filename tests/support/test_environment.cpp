// Compiled into every GoogleTest program: the build's program folder and the source
// tree, for tests that start programs or lay out a unit image, also when the test
// program is run by hand.
#include <cstdlib>

namespace {
const bool kEnvironmentSet = [] {
  setenv("ORVIX_BUILD_BIN", ORVIX_TEST_BUILD_BIN, 0);
  setenv("ORVIX_SOURCE_DIR", ORVIX_TEST_SOURCE_DIR, 0);
  return true;
}();
}  // namespace
