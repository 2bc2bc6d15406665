// Arbitrary file contents through the INI reader, then every lookup and a write-back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "inihandler/inihandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/orvix-ini-fuzz-" + std::to_string(getpid()) + ".ini";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  INIFile* ini = ini_create();
  std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
  (void)quiet;
  ini_read_file(ini, path.c_str());
  char value[kIniFieldSize];
  int number = 0;
  for (size_t i = 0; i < ini->size; ++i) {
    ini_get_string(ini, ini->data[i].key, value, sizeof value);
    ini_get_int(ini, ini->data[i].key, &number);
    ini_set_string(ini, ini->data[i].key, ini->data[i].value);
  }
  ini_write_file(ini, path.c_str());
  ini_destroy(ini);
  return 0;
}
