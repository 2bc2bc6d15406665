#include "udplink.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "message.h"

namespace master {

UdpLink::~UdpLink() {
  if (socket_ >= 0) close(socket_);
}

bool UdpLink::open(int port) {
  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) {
    std::printf("cannot open socket ");
    return false;
  }
  const int on = 1;
  setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family      = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port        = htons(static_cast<uint16_t>(port));
  if (bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    std::printf("cannot bind port number %d \n", port);
    return false;
  }
  readOwnAddresses();
  return true;
}

void UdpLink::broadcast(std::string_view text, int port) {
  sockaddr_in address{};
  address.sin_family      = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  address.sin_port        = htons(static_cast<uint16_t>(port));
  if (sendto(socket_, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
    std::perror("sendto");
  }
}

bool UdpLink::receive(int timeoutMs, Datagram* datagram) {
  pollfd waiting{socket_, POLLIN, 0};
  const int ready = poll(&waiting, 1, timeoutMs);
  if (ready <= 0) return false;
  char buffer[kReceiveBufferSize];
  sockaddr_in source{};
  socklen_t sourceSize = sizeof source;
  // MSG_TRUNC reports the whole length, so that a longer message is known to be cut.
  const ssize_t length =
      recvfrom(socket_, buffer, sizeof buffer, MSG_TRUNC, reinterpret_cast<sockaddr*>(&source), &sourceSize);
  if (length < 0) return false;
  datagram->text.assign(buffer, std::min<size_t>(static_cast<size_t>(length), sizeof buffer));
  datagram->sourceAddress = source.sin_addr.s_addr;
  return true;
}

bool UdpLink::isOwnAddress(uint32_t address) {
  if (std::find(ownAddresses_.begin(), ownAddresses_.end(), address) != ownAddresses_.end()) return true;
  readOwnAddresses();
  return std::find(ownAddresses_.begin(), ownAddresses_.end(), address) != ownAddresses_.end();
}

void UdpLink::readOwnAddresses() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return;
  ownAddresses_.clear();
  primary_ = 0;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    const uint32_t address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
    ownAddresses_.push_back(address);
    if (primary_ == 0 && (entry->ifa_flags & IFF_LOOPBACK) == 0) primary_ = address;
  }
  freeifaddrs(list);
}

}  // namespace master
