#include "orxtags/handles.h"

#include <gtest/gtest.h>

#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"

namespace {

// Every shared handle belongs to the tag it is named after, in the store the unit builds.
TEST(SharedHandles, NameTheirTags) {
  orvix::testing::PrivateStore store;
  tagstore::buildTagStore();
  const struct {
    const char* name;
    int handle;
  } shared[] = {
#define ORVIX_TAG_ROW(name, handle) {#name, handle},
      ORVIX_SHARED_TAG_HANDLES(ORVIX_TAG_ROW)
#undef ORVIX_TAG_ROW
  };
  for (const auto& entry : shared) {
    int handle = -1;
    int code = 0;
    EXPECT_TRUE(dbGetHandleByTagname(entry.name, &handle, &code)) << entry.name;
    EXPECT_EQ(handle, entry.handle) << entry.name;
  }
}

}  // namespace
