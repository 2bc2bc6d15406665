// The files scopegrab writes: opened under the image, closed when they go out of scope.
#pragma once

#include <cstdio>
#include <memory>
#include <string_view>

namespace scopegrab {

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr const char* kScopeWebFile   = "/tmp/scope.tmp";
constexpr const char* kControlWebFile = "/tmp/control.tmp";

// Opens a unit path for writing, replacing the file.
FilePtr openForWriting(std::string_view unitPath);

}  // namespace scopegrab
