#include "platform/servicenotify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace orvix::platform {

bool notifyServiceReady() {
  const char* socketName = std::getenv("NOTIFY_SOCKET");
  if (socketName == nullptr || socketName[0] == '\0') return true;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const size_t length = std::strlen(socketName);
  if (length >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socketName, length);
  // A leading '@' names a socket in the abstract namespace, whose name starts with a NUL.
  if (address.sun_path[0] == '@') address.sun_path[0] = '\0';

  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  constexpr std::string_view kReady = "READY=1";
  const auto addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
  const bool sent = sendto(fd, kReady.data(), kReady.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                           addressLength) == static_cast<ssize_t>(kReady.size());
  close(fd);
  return sent;
}

}  // namespace orvix::platform
