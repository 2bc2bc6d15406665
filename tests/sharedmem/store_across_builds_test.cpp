// The tag store is a binary interface between programs of one unit, whichever build made
// them: a store the native build wrote must read the same in this build (the unit's
// 64-bit ARM target under emulation, or the native build itself).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "orxtags/internaltags.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "sharedmem/tagaccess.h"
#include "temp_image.h"

namespace {

using orvix::testing::PrivateStore;
using orvix::testing::TempImage;

// Rows of the definition table: handle, name, unit, exponent, min, max, default, CAN address.
struct DefinedTag {
  const char* name;
  const char* unit;
  int exponent;
  int min;
  int max;
  int defaultValue;
  int canAddress;
};
// name                       unit  exp min  max    def    CAN
constexpr DefinedTag kTellingRows[] = {
    {"vxi_firingratio",        "%",  -2, 0,  0,     0,     71 },
    {"vxo_mode",               "",   0,  0,  5,     0,     -1 },
    {"vxi_mastertagversion",   "",   0,  0,  65535, 27,    123},
    {"vxo_actmodefiringratio", "%",  -2, 50, 10000, 10000, -1 },
    {"vxo_actmodevoltpeaklim", "kV", 0,  0,  999,   15,    130},
    {"vxo_korausedvref",       "kV", -1, 30, 1000,  200,   -1 },
    {"vxo_ao1",                "mA", 0,  0,  65535, 4,     165},
};

TEST(StoreAcrossBuilds, StoreOfTheNativeBuildReadsTheSame) {
  TempImage image;
  PrivateStore nativeStore;
  PrivateStore ownStore;
  ASSERT_NE(nativeStore.block(), nullptr);
  ASSERT_NE(ownStore.block(), nullptr);

  // The native build's fixture program builds the store the way database starts it.
  setenv("ORVIX_ROOT", image.root().c_str(), 1);
  setenv("ORVIX_SHM_KEY", std::to_string(nativeStore.key()).c_str(), 1);
  const std::string command = std::string("'") + ORVIX_NATIVE_STORE_FIXTURE + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  // This build builds its own the same way.
  shared_mem = ownStore.block();
  tagstore::buildTagStore();
  openTags(true);

  const auto* native     = reinterpret_cast<const unsigned char*>(nativeStore.block());
  const auto* own        = reinterpret_cast<const unsigned char*>(ownStore.block());
  size_t firstDifference = 0;
  while (firstDifference < sizeof(shmem_t) && native[firstDifference] == own[firstDifference]) ++firstDifference;
  EXPECT_EQ(firstDifference, sizeof(shmem_t)) << "the stores differ first at byte offset " << firstDifference;

  // Read by name through this build's library, the native store holds the table's rows.
  shared_mem = nativeStore.block();
  for (const DefinedTag& row : kTellingRows) {
    objectType tag{};
    int error = 0;
    ASSERT_TRUE(dbGetObjectByTagName(row.name, &tag, &error)) << row.name << " error " << error;
    EXPECT_STREQ(tag.tag.unit, row.unit) << row.name;
    EXPECT_EQ(tag.cExponent, row.exponent) << row.name;
    EXPECT_EQ(tag.iMin, row.min) << row.name;
    EXPECT_EQ(tag.iMax, row.max) << row.name;
    EXPECT_EQ(tag.iDefault, row.defaultValue) << row.name;
    EXPECT_EQ(tag.iValue, row.defaultValue) << row.name;
    EXPECT_EQ(tag.canbus.address, row.canAddress) << row.name;
  }
  unsetenv("ORVIX_SHM_KEY");
}

}  // namespace
