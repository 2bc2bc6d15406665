#include "scan.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "scan_reply.h"

namespace discovery {
namespace {

constexpr const char* kBroadcastAddress = "255.255.255.255";
constexpr std::uint16_t kScanPort = 3250;         // units' network modules listen here
constexpr std::uint16_t kLocalPort = 49210;       // preferred; any free port otherwise
constexpr char kScanRequest[] = "Module Scan";    // sent with its terminating NUL
constexpr std::size_t kMaxReplyBytes = 999;
constexpr std::chrono::seconds kCollectWindow{1};  // from the first wait, never renewed

class UdpSocket {
 public:
  UdpSocket() : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {}
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  ~UdpSocket() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int fd() const { return fd_; }
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool bindToPort(int fd, std::uint16_t port) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  return bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool sendScanRequest(UdpSocket& socket) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(kScanPort);
  if (inet_pton(AF_INET, kBroadcastAddress, &target.sin_addr) != 1) {
    std::fprintf(stderr, "unknown host '%s' \n", kBroadcastAddress);
    return false;
  }
  if (socket.fd() < 0) {
    std::fprintf(stderr, "cannot open socket \n");
    return false;
  }
  const int enable = 1;
  if (setsockopt(socket.fd(), SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) != 0) {
    std::fprintf(stderr, "Could not set broadcast flag");
    return false;
  }
  if (!bindToPort(socket.fd(), kLocalPort) && !bindToPort(socket.fd(), 0)) {
    std::fprintf(stderr, "cannot bind port\n");
    return false;
  }
  if (sendto(socket.fd(), kScanRequest, sizeof kScanRequest, 0, reinterpret_cast<const sockaddr*>(&target),
             sizeof target) != static_cast<ssize_t>(sizeof kScanRequest)) {
    std::fprintf(stderr, "cannot send to port\n");
    return false;
  }
  return true;
}

enum class WaitResult { ready, windowClosed, failed };

WaitResult waitForReply(int fd, std::chrono::steady_clock::time_point windowEnd) {
  for (;;) {
    const auto remaining =
        std::chrono::duration_cast<std::chrono::microseconds>(windowEnd - std::chrono::steady_clock::now());
    if (remaining.count() <= 0) {
      return WaitResult::windowClosed;
    }
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(remaining.count() / 1000000);
    timeout.tv_usec = static_cast<suseconds_t>(remaining.count() % 1000000);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    const int ready = select(fd + 1, &readable, nullptr, nullptr, &timeout);
    if (ready > 0) {
      return WaitResult::ready;
    }
    if (ready == 0) {
      return WaitResult::windowClosed;
    }
    if (errno != EINTR) {
      return WaitResult::failed;
    }
  }
}

enum class ReplyResult { handled, outOfMemory };

ReplyResult takeReply(int fd, NodeList& nodes, const std::function<void(Node&)>& onNewNode) {
  char reply[kMaxReplyBytes + 1];
  sockaddr_in sender{};
  socklen_t senderLength = sizeof sender;
  const ssize_t received =
      recvfrom(fd, reply, kMaxReplyBytes, 0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
  if (received < 0) {
    std::fprintf(stderr, "cannot receive data \n");
    return ReplyResult::handled;
  }
  reply[received] = '\0';
  char senderText[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &sender.sin_addr, senderText, sizeof senderText);
  syslog(LOG_INFO, "from %s:UDP%u : %s \n", senderText, static_cast<unsigned>(ntohs(sender.sin_port)), reply);

  std::unique_ptr<Node> node(new (std::nothrow) Node{});
  if (!node) {
    std::fprintf(stderr, "cannot allocate memory for node\n");
    return ReplyResult::outOfMemory;
  }
  if (!parseScanReply(reply, *node)) {
    std::fprintf(stderr, "Got unparsable response: %s\n", reply);
    return ReplyResult::handled;
  }
  if (Node* added = nodes.insert(std::move(node))) {
    onNewNode(*added);
  }
  return ReplyResult::handled;
}

}  // namespace

bool scanNodes(NodeList& nodes, const std::function<void(Node&)>& onNewNode) {
  UdpSocket socket;
  if (!sendScanRequest(socket)) {
    return false;
  }
  const auto windowEnd = std::chrono::steady_clock::now() + kCollectWindow;
  for (;;) {
    const WaitResult wait = waitForReply(socket.fd(), windowEnd);
    if (wait == WaitResult::windowClosed) {
      break;
    }
    if (wait == WaitResult::failed) {
      std::fprintf(stderr, "select call failed\n");
      return false;
    }
    if (takeReply(socket.fd(), nodes, onNewNode) == ReplyResult::outOfMemory) {
      return false;
    }
  }
  if (!socket.close()) {
    std::fprintf(stderr, "could not close socket\n");
  }
  return true;
}

}  // namespace discovery
