#include "temp_image.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvix::testing {

TempImage::TempImage() {
  const char* previous = std::getenv("ORVIX_ROOT");
  hadRoot_ = previous != nullptr;
  if (hadRoot_) previousRoot_ = previous;
  std::string pattern = (std::filesystem::temp_directory_path() / "orvix-image-XXXXXX").string();
  root_ = mkdtemp(pattern.data());
  setenv("ORVIX_ROOT", root_.c_str(), 1);
}

TempImage::~TempImage() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
  if (hadRoot_) {
    setenv("ORVIX_ROOT", previousRoot_.c_str(), 1);
  } else {
    unsetenv("ORVIX_ROOT");
  }
}

std::string TempImage::path(std::string_view unitPath) const {
  const std::filesystem::path full = root_ + std::string(unitPath);
  std::filesystem::create_directories(full.parent_path());
  return full.string();
}

void TempImage::writeFile(std::string_view unitPath, std::string_view contents) const {
  std::ofstream(path(unitPath), std::ios::binary) << contents;
}

std::string TempImage::readFile(std::string_view unitPath) const {
  std::ifstream file(path(unitPath), std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

}  // namespace orvix::testing
