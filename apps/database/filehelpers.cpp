#include "filehelpers.h"

#include <cstdio>
#include <memory>

#include "platform/platform.h"

namespace {

constexpr size_t kCopyBlockSize = 4096;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<FILE, FileCloser>;

FilePointer openUnitFile(const char* filename, const char* mode) {
  return FilePointer(std::fopen(orvix::platform::resolvePath(filename).c_str(), mode));
}

}  // namespace

long getFileSize(const char* filename) {
  const FilePointer file = openUnitFile(filename, "rb");
  if (file == nullptr || std::fseek(file.get(), 0, SEEK_END) != 0) return -1;
  return std::ftell(file.get());
}

void copyFile(const char* source, const char* destination) {
  const FilePointer from = openUnitFile(source, "rb");
  if (from == nullptr) {
    std::printf("Failed to open the source file.\n");
    return;
  }
  const FilePointer to = openUnitFile(destination, "wb");
  if (to == nullptr) {
    std::printf("Failed to create the destination file.\n");
    return;
  }
  char block[kCopyBlockSize];
  size_t count = 0;
  while ((count = std::fread(block, 1, sizeof block, from.get())) > 0) {
    if (std::fwrite(block, 1, count, to.get()) != count) {
      std::printf("Failed to create the destination file.\n");
      return;
    }
  }
  std::printf("File copied successfully.\n");
}
