// Fuzz target: the control file text and the model constants file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "constants.h"
#include "control.h"
#include "inihandler/inihandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string problems;
  dspsim::parseControlText(text, problems);

  const int fd = memfd_create("dspsim-ini", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    INIFile* ini           = ini_create();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (ini != nullptr && ini_read_file(ini, path.c_str()) == 1) dspsim::applyConstants(ini, problems);
    ini_destroy(ini);
  }
  close(fd);
  return 0;
}
