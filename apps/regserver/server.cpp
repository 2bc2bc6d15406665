#include "server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "requestgate.h"

namespace regserver {

namespace {
constexpr int kSendTimeoutMs = 100;  // a client that never reads its replies is dropped
constexpr int kAcceptPauseMs = 100;  // breathing time when descriptors ran out

const char* dotted(uint32_t address) {
  in_addr in{};
  in.s_addr = address;
  return inet_ntoa(in);
}

// The second log line of a request by function code; reads of coils, discrete inputs
// and holding registers have none, every other function is logged as "Default:".
struct RequestLabel {
  int function;
  const char* label;
};
constexpr RequestLabel kRequestLabels[] = {
    {MODBUS_FC_READ_COILS,               nullptr},
    {MODBUS_FC_READ_DISCRETE_INPUTS,     nullptr},
    {MODBUS_FC_READ_HOLDING_REGISTERS,   nullptr},
    {MODBUS_FC_READ_INPUT_REGISTERS,     "Read inp reg:"},
    {MODBUS_FC_WRITE_SINGLE_COIL,        "Write bit:"},
    {MODBUS_FC_WRITE_SINGLE_REGISTER,    "Write register:"},
    {MODBUS_FC_WRITE_MULTIPLE_COILS,     "Write mult bit:"},
    {MODBUS_FC_WRITE_MULTIPLE_REGISTERS, "Write mult reg:"},
};

const char* requestLabel(int function) {
  for (const RequestLabel& entry : kRequestLabels) {
    if (entry.function == function) return entry.label;
  }
  return "Default:";
}
}  // namespace

Server::Server(modbus_t* ctx, RegisterImage& image, Synchroniser& synchroniser, int listeningSocket, int maxClients,
               FILE* requestLog)
    : ctx_(ctx),
      image_(image),
      synchroniser_(synchroniser),
      listeningSocket_(listeningSocket),
      maxClients_(std::min(maxClients, FD_SETSIZE - 16)),
      requestLog_(requestLog),
      highestFd_(listeningSocket) {
  FD_ZERO(&watched_);
  if (listeningSocket_ >= 0) FD_SET(listeningSocket_, &watched_);
}

bool Server::serveOnce(int waitMs) {
  synchroniser_.update();
  fd_set ready = watched_;
  if (acceptPausedUntilMs_ != 0) {
    if (orvix::platform::monotonicMs() < acceptPausedUntilMs_) {
      FD_CLR(listeningSocket_, &ready);
    } else {
      acceptPausedUntilMs_ = 0;
    }
  }
  timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
  const int count = select(highestFd_ + 1, &ready, nullptr, nullptr, &wait);
  if (count < 0) {
    if (errno == EINTR) return true;  // a signal, such as a configuration reload
    perror("Server select() failure.");
    return false;
  }
  for (int fd = 0; fd <= highestFd_; ++fd) {
    if (!FD_ISSET(fd, &ready)) continue;
    if (fd == listeningSocket_) {
      acceptClient();
    } else {
      serveClient(fd);
    }
  }
  std::fflush(requestLog_);  // the round's request lines in one write
  return true;
}

void Server::acceptClient() {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const int fd     = accept(listeningSocket_, reinterpret_cast<sockaddr*>(&address), &length);
  if (fd < 0) {
    perror("Server accept() error");
    if (errno == EMFILE || errno == ENFILE) acceptPausedUntilMs_ = orvix::platform::monotonicMs() + kAcceptPauseMs;
    return;
  }
  // select cannot watch descriptors at or above FD_SETSIZE: such a client, or one over
  // the limit, is turned away at once instead of corrupting the descriptor set.
  if (fd >= FD_SETSIZE || noOfClients_ >= maxClients_) {
    std::fprintf(requestLog_, "Connection from %s refused: %d clients connected, limit %d\n",
                 dotted(address.sin_addr.s_addr), noOfClients_, maxClients_);
    close(fd);
    return;
  }
  addClient(fd, address.sin_addr.s_addr);
}

void Server::addClient(int fd, uint32_t address) {
  const timeval sendTimeout{0, kSendTimeoutMs * 1000};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
  FD_SET(fd, &watched_);
  highestFd_                              = std::max(highestFd_, fd);
  clientAddress_[static_cast<size_t>(fd)] = address;
  ++noOfClients_;
}

void Server::dropClient(int fd) {
  close(fd);
  FD_CLR(fd, &watched_);
  --noOfClients_;
  while (highestFd_ > listeningSocket_ && !FD_ISSET(highestFd_, &watched_)) --highestFd_;
}

void Server::serveClient(int fd) {
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH] = {};
  modbus_set_socket(ctx_, fd);
  const int length = modbus_receive(ctx_, query);
  if (length == -1) {
    dropClient(fd);
  } else if (length > 0) {
    handleRequest(fd, query, length);
  }
}

void Server::logRequest(const char* label, int headerLength, int unit, int function, int address) {
  std::fprintf(requestLog_, "DEBUG: %s:%d:%s(): %s Offset %d, Slave %d, function %d, address %d\n", __FILE_NAME__,
               __LINE__, "main", label, headerLength, unit, function, address);
}

void Server::handleRequest(int fd, const uint8_t* query, int length) {
  const int h        = modbus_get_header_length(ctx_);
  const int unit     = query[h - 1];
  const int function = query[h];
  const int address  = (query[h + 1] << 8) | query[h + 2];
  logRequest("Read registe:r", h, unit, function, address);
  if (const char* label = requestLabel(function); label != nullptr) {
    char text[64];
    if (function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS) {
      std::snprintf(text, sizeof text, "%s Rc: %d", label, length);  // with the request length
      label = text;
    }
    logRequest(label, h, unit, function, address);
  }

  int replied            = 0;
  const RequestKind kind = classifyFunction(function);
  if (kind == RequestKind::kUnsupported) {
    replied = modbus_reply_exception(ctx_, query, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
  } else if (kind == RequestKind::kWrite &&
             !passesLockGate(function, address, clientAddress_[static_cast<size_t>(fd)])) {
    replied = modbus_reply_exception(ctx_, query, MODBUS_EXCEPTION_SLAVE_OR_SERVER_BUSY);
    std::fprintf(requestLog_, "DEBUG: %s:%d:%s(): Blocked modbus requ from %s\n", __FILE_NAME__, __LINE__, "main",
                 dotted(clientAddress_[static_cast<size_t>(fd)]));
  } else {
    replied = modbus_reply(ctx_, query, length, image_.mapping());
  }
  if (replied == -1) dropClient(fd);  // the reply could not be sent
}

}  // namespace regserver
