#include "atomicfile/atomicfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace orvix {

namespace {

bool writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = write(fd, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    contents.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The rename itself is only durable once the directory entry is on the disk.
void syncDirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

bool writeFileAtomically(const std::string& realPath, std::string_view contents) {
  const std::string temporary = realPath + ".tmp" + std::to_string(getpid());
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = writeAll(fd, contents) && fsync(fd) == 0;
  const int savedErrno = errno;
  close(fd);
  if (!written || std::rename(temporary.c_str(), realPath.c_str()) != 0) {
    const int failure = written ? errno : savedErrno;
    unlink(temporary.c_str());
    errno = failure;
    return false;
  }
  syncDirectoryOf(realPath);
  return true;
}

}  // namespace orvix
