// A temporary unit image: a fresh directory set as ORVIX_ROOT for the test's lifetime.
#pragma once

#include <string>
#include <string_view>

namespace orvix::testing {

class TempImage {
 public:
  TempImage();
  ~TempImage();
  TempImage(const TempImage&) = delete;
  TempImage& operator=(const TempImage&) = delete;

  const std::string& root() const { return root_; }
  // The real path of a unit path inside this image; parent directories are created.
  std::string path(std::string_view unitPath) const;
  void writeFile(std::string_view unitPath, std::string_view contents) const;
  std::string readFile(std::string_view unitPath) const;

 private:
  std::string root_;
  std::string previousRoot_;
  bool hadRoot_ = false;
};

}  // namespace orvix::testing
