// Arbitrary alarm log and alarm log setup files read the way the daemon reads them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "alarmhistory.h"
#include "errorlog.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace {

// An image root of this process and a store in process memory with a few named tags.
struct FuzzUnit {
  FuzzUnit() {
    root = "/tmp/orvix-alarmlog-fuzz-" + std::to_string(getpid());
    std::filesystem::create_directories(root + "/home/ftp");
    std::filesystem::create_directories(root + "/var/lib/orvix");
    setenv("ORVIX_ROOT", root.c_str(), 1);
    shared_mem          = store.get();
    const char* names[] = {"vxi_sumalarm", "vxi_alwtemphighw", "vxi_alttemphight", "vxi_alwcheckoilw"};
    int code            = 0;
    for (int i = 0; i < 4; ++i) dbInitTag(i, 0, 0, 0, 0, names[i], "", -1, 1, -1, 0, 0, -1, &code);
    sortTagnames();
    history.setFiles({"/home/ftp/alarmlog", "/home/root/orvix/store/", "/var/lib/orvix/alarmLogSetup.ini"});
  }
  ~FuzzUnit() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::unique_ptr<shmem_t> store = std::make_unique<shmem_t>();
  std::string root;
  AlarmHistory history;
};

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzUnit unit;
  std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
  (void)quiet;
  writeFile(unit.root + "/home/ftp/alarmlog", data, size);
  writeFile(unit.root + "/var/lib/orvix/alarmLogSetup.ini", data, size);
  unit.history.loadErrorHistory();
  unit.history.updateErrorStatistics();
  unit.history.updateAlarmLogVars();

  // The same bytes as one line for the line parsers.
  const std::string line(reinterpret_cast<const char*>(data), size);
  alarmlog::error entry{};
  alarmlog::parseErrorLine(line.c_str(), &entry);
  char first[alarmlog::kSetupNameSize];
  char second[alarmlog::kSetupNameSize];
  alarmlog::getStrings(line.c_str(), first, second);
  alarmlog::getAlarmHandle(line.c_str());
  return 0;
}
