#include "platform/platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace orvix::platform {

namespace {
std::string_view imageRoot() {
  const char* root = std::getenv("ORVIX_ROOT");
  if (root == nullptr) return {};
  std::string_view view(root);
  while (view.size() > 1 && view.back() == '/') view.remove_suffix(1);
  return view == "/" ? std::string_view{} : view;
}
}  // namespace

std::string resolvePath(std::string_view unitPath) {
  const std::string_view root = imageRoot();
  if (root.empty() || unitPath.empty() || unitPath.front() != '/') return std::string(unitPath);
  // A path that already lies in the image stays as it is, so resolving twice is harmless.
  if (unitPath.substr(0, root.size()) == root &&
      (unitPath.size() == root.size() || unitPath[root.size()] == '/')) {
    return std::string(unitPath);
  }
  std::string resolved(root);
  resolved += unitPath;
  return resolved;
}

key_t shmKey() {
  const char* text = std::getenv("ORVIX_SHM_KEY");
  if (text == nullptr || *text == '\0') return kUnitShmKey;
  char* end = nullptr;
  errno = 0;
  const long key = std::strtol(text, &end, 10);
  // key -1 is IPC_PRIVATE's neighbour and means "no key" to the attach functions.
  if (errno != 0 || *end != '\0' || key <= 0 || key > INT_MAX) return kUnitShmKey;
  return static_cast<key_t>(key);
}

bool fileExists(std::string_view unitPath) {
  return access(resolvePath(unitPath).c_str(), F_OK) == 0;
}

bool touchFile(std::string_view unitPath) {
  const int fd = open(resolvePath(unitPath).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool removeFile(std::string_view unitPath) {
  return unlink(resolvePath(unitPath).c_str()) == 0 || errno == ENOENT;
}

int64_t monotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace orvix::platform
