#include "devicecommands.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace inspector {

namespace {
constexpr const char* kLedBrightness = "/sys/class/leds/Led D/brightness";
constexpr uint16_t kUnitMessagePort = 49200;  // the units' UDP message port
constexpr size_t kUnitMessageSize = 100;      // bytes of every datagram, message zero-padded
}  // namespace

int switchLed(OptionArguments args) {
  if (args.empty() || (std::strcmp(args[0], "1") != 0 && std::strcmp(args[0], "0") != 0)) {
    std::printf("-L requires 1 or 0\n");
    return kExitFailed;
  }
  const std::string path = orvix::platform::resolvePath(kLedBrightness);
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    std::printf("%s: %s\n", path.c_str(), std::strerror(errno));
    return kExitFailed;
  }
  const bool written = std::fputc(args[0][0], file) != EOF;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    std::printf("%s: %s\n", path.c_str(), std::strerror(errno));
    return kExitFailed;
  }
  return kExitOk;
}

// Sent to 0.0.0.0, which reaches this unit's own listeners; never broadcast.
int sendUnitMessage(OptionArguments args) {
  if (args.empty()) {
    std::printf("-U requires a message\n");
    return kExitFailed;
  }
  // A longer message is cut so that the datagram keeps its size and its terminator.
  char datagram[kUnitMessageSize] = {};
  std::strncpy(datagram, args[0], kUnitMessageSize - 1);
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) {
    std::perror("socket");
    return kExitFailed;
  }
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(kUnitMessagePort);
  destination.sin_addr.s_addr = htonl(INADDR_ANY);
  const ssize_t sent =
      sendto(fd, datagram, sizeof datagram, 0, reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
  if (sent < 0) {
    std::perror("sendto()");
    close(fd);
    return kExitFailed;
  }
  close(fd);
  return kExitOk;
}

}  // namespace inspector
