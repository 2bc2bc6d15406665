// Flat key=value configuration files: read into memory, looked up, changed, written back.
#pragma once

#include <cstddef>

constexpr size_t kIniFieldSize = 100;  // 99 characters and the terminator
constexpr int kIniLineSize = 200;      // 199 characters and the terminator

struct INIKeyValue {
  char key[kIniFieldSize];
  char value[kIniFieldSize];
};

struct INIFile {
  INIKeyValue* data;  // entries in file order
  size_t size;
};

INIFile* ini_create();
void ini_destroy(INIFile* ini);
// 1 when the whole file was read; entries before a malformed line stay in the object.
int ini_read_file(INIFile* ini, const char* filename);
// Replaces the file in one step, so a power cut leaves the old or the new file.
int ini_write_file(INIFile* ini, const char* filename);
int ini_get_string(INIFile* ini, const char* key, char* value, size_t value_len);
int ini_get_int(INIFile* ini, const char* key, int* value);
int ini_set_string(INIFile* ini, const char* key, const char* value);
int ini_set_int(INIFile* ini, const char* key, int value);
int file_exists(const char* filename);
void trim_whitespace(char* str);
