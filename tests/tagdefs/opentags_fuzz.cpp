// Arbitrary contents of the open tags file applied to a store with a few named tags.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "orxtags/internaltags.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace {

// An image root of this process with the open tags file's directory, and a store in
// process memory that holds a sorted name list.
struct FuzzUnit {
  FuzzUnit() {
    root = "/tmp/orvix-opentags-fuzz-" + std::to_string(getpid());
    std::filesystem::create_directories(root + "/var/lib/orvix");
    setenv("ORVIX_ROOT", root.c_str(), 1);
    shared_mem = store.get();
    const char* names[] = {"vxo_mode", "vxo_lock", "vxo_tron", "vxi_sumalarm"};
    int code = 0;
    for (int i = 0; i < 4; ++i) dbInitTag(i, 0, 0, 0, 0, names[i], "", -1, 1, -1, 0, 0, -1, &code);
    sortTagnames();
  }
  ~FuzzUnit() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::unique_ptr<shmem_t> store = std::make_unique<shmem_t>();
  std::string root;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzUnit unit;
  const std::string path = unit.root + "/var/lib/orvix/openTags.ini";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
  (void)quiet;
  openTags(false);
  return 0;
}
