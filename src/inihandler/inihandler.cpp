#include "inihandler/inihandler.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

void copyField(char (&field)[kIniFieldSize], const char* text) { std::snprintf(field, sizeof field, "%s", text); }

INIKeyValue* findEntry(INIFile* ini, const char* key) {
  for (size_t i = 0; i < ini->size; ++i) {
    if (std::strcmp(ini->data[i].key, key) == 0) return &ini->data[i];
  }
  return nullptr;
}

bool appendEntry(INIFile* ini, const char* key, const char* value) {
  auto* grown = static_cast<INIKeyValue*>(std::realloc(ini->data, (ini->size + 1) * sizeof(INIKeyValue)));
  if (grown == nullptr) return false;
  ini->data = grown;
  copyField(ini->data[ini->size].key, key);
  copyField(ini->data[ini->size].value, value);
  ++ini->size;
  return true;
}

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }
bool isTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Trimming leaves vertical tabs and form feeds; a line of nothing else is still blank.
bool isBlank(const char* line) {
  for (; *line != '\0'; ++line) {
    if (std::isspace(static_cast<unsigned char>(*line)) == 0) return false;
  }
  return true;
}

}  // namespace

INIFile* ini_create() {
  auto* ini = static_cast<INIFile*>(std::malloc(sizeof(INIFile)));
  if (ini == nullptr) return nullptr;
  ini->data = nullptr;
  ini->size = 0;
  return ini;
}

void ini_destroy(INIFile* ini) {
  if (ini == nullptr) return;
  std::free(ini->data);
  std::free(ini);
}

void trim_whitespace(char* str) {
  char* start = str;
  while (isBlankOrTab(*start)) ++start;
  size_t length = std::strlen(start);
  while (length > 0 && isTrailingSpace(start[length - 1])) --length;
  std::memmove(str, start, length);
  str[length] = '\0';
}

int ini_read_file(INIFile* ini, const char* filename) {
  FILE* file = std::fopen(orvix::platform::resolvePath(filename).c_str(), "r");
  if (file == nullptr) {
    std::printf("Error opening file: %s\n", filename);
    return 0;
  }
  char line[kIniLineSize];
  int lineNumber = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    trim_whitespace(line);
    ++lineNumber;
    if (isBlank(line) || line[0] == '#') continue;
    char* equals = std::strchr(line, '=');
    if (equals == nullptr || equals[1] == '\0') {
      std::printf("Invalid line format at line %d.\n", lineNumber);
      std::fclose(file);
      return 0;
    }
    *equals = '\0';
    char* key = line;
    char* value = equals + 1;
    trim_whitespace(key);
    trim_whitespace(value);
    if (key[0] == '\0') continue;
    if (!appendEntry(ini, key, value)) {
      std::fclose(file);
      return 0;
    }
  }
  std::fclose(file);
  return 1;
}

int ini_write_file(INIFile* ini, const char* filename) {
  const std::string path = orvix::platform::resolvePath(filename);
  const std::string temporary = path + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) return 0;
  bool written = true;
  for (size_t i = 0; i < ini->size; ++i) {
    written = std::fprintf(file, "%s = %s\n", ini->data[i].key, ini->data[i].value) >= 0 && written;
  }
  written = std::fflush(file) == 0 && fsync(fileno(file)) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return 0;
  }
  return 1;
}

int ini_get_string(INIFile* ini, const char* key, char* value, size_t value_len) {
  const INIKeyValue* entry = findEntry(ini, key);
  if (entry == nullptr) return 0;
  if (value_len > 0) std::snprintf(value, value_len, "%s", entry->value);
  return 1;
}

int ini_get_int(INIFile* ini, const char* key, int* value) {
  const INIKeyValue* entry = findEntry(ini, key);
  if (entry == nullptr) return 0;
  const long number = std::strtol(entry->value, nullptr, 10);
  *value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
  return 1;
}

int ini_set_string(INIFile* ini, const char* key, const char* value) {
  INIKeyValue* entry = findEntry(ini, key);
  if (entry != nullptr) {
    copyField(entry->value, value);
    return 1;
  }
  return appendEntry(ini, key, value) ? 1 : 0;
}

int ini_set_int(INIFile* ini, const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return ini_set_string(ini, key, text);
}

int file_exists(const char* filename) {
  return access(orvix::platform::resolvePath(filename).c_str(), F_OK) == 0 ? 1 : 0;
}
