#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio_ext.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "requestframe.h"
#include "requestgate.h"

namespace regserver {

namespace {
constexpr int kAcceptPauseMs = 100;  // breathing time when descriptors ran out
// A request whose next byte is later than this is given up, and its client with it, as
// libmodbus's default byte time-out does; waiting for it holds up no other client.
constexpr int kRequestByteGapMs = 500;
// Request lines reach the log at most this late: written in batches, a busy server spends
// its time on requests rather than on writes to the log file.
constexpr int kLogFlushMs = 100;

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
      replies_(ctx),
      listeningSocket_(listeningSocket),
      maxClients_(std::min(maxClients, FD_SETSIZE - 16)),
      requestLog_(requestLog),
      highestFd_(listeningSocket) {
  FD_ZERO(&watched_);
  if (listeningSocket_ >= 0) {
    fcntl(listeningSocket_, F_SETFL, fcntl(listeningSocket_, F_GETFL) | O_NONBLOCK);
    FD_SET(listeningSocket_, &watched_);
  }
}

bool Server::serveOnce(int waitMs) {
  synchroniser_.update();
  fd_set readable = watched_;
  fd_set writable;
  FD_ZERO(&writable);
  for (int fd = 0; fd <= highestFd_; ++fd) {
    if (clientAt(fd) != nullptr && clientAt(fd)->hasQueuedReplies()) FD_SET(fd, &writable);
  }
  if (acceptPausedUntilMs_ != 0) {
    if (orvix::platform::monotonicMs() < acceptPausedUntilMs_) {
      FD_CLR(listeningSocket_, &readable);
    } else {
      acceptPausedUntilMs_ = 0;
    }
  }
  const int limitMs = waitLimitMs(waitMs, orvix::platform::monotonicMs());
  timeval wait{limitMs / 1000, (limitMs % 1000) * 1000};
  const int count = select(highestFd_ + 1, &readable, &writable, nullptr, &wait);
  if (count < 0) {
    if (errno == EINTR) return true;  // a signal, such as a configuration reload
    perror("Server select() failure.");
    return false;
  }
  const int64_t readyMs = orvix::platform::monotonicMs();
  for (int fd = 0; fd <= highestFd_; ++fd) {
    if (fd == listeningSocket_) {
      if (FD_ISSET(fd, &readable)) acceptClient();
      continue;
    }
    if (FD_ISSET(fd, &writable) && !clientAt(fd)->sendQueued()) {
      dropClient(fd);
      continue;
    }
    if (FD_ISSET(fd, &readable) || (clientAt(fd) != nullptr && clientAt(fd)->requestWaiting())) serveClient(fd);
  }
  // Stalled as select found them: a client whose bytes arrived while the round ran is not.
  dropStalledClients(readyMs);
  if (readyMs >= lastLogFlushMs_ + kLogFlushMs && __fpending(requestLog_) > 0) {
    std::fflush(requestLog_);
    lastLogFlushMs_ = readyMs;
  }
  return true;
}

int Server::waitLimitMs(int waitMs, int64_t nowMs) const {
  int64_t limitMs = waitMs;
  if (__fpending(requestLog_) > 0) limitMs = std::clamp<int64_t>(lastLogFlushMs_ + kLogFlushMs - nowMs, 0, limitMs);
  for (int fd = 0; fd <= highestFd_; ++fd) {
    const ClientConnection* client = clientAt(fd);
    if (client == nullptr) continue;
    if (client->requestWaiting()) return 0;  // its turn comes in the next round
    if (const int64_t deadline = client->stallDeadlineMs(kRequestByteGapMs); deadline != 0) {
      limitMs = std::min(limitMs, std::max<int64_t>(deadline - nowMs + 1, 0));
    }
  }
  return static_cast<int>(limitMs);
}

void Server::dropStalledClients(int64_t nowMs) {
  for (int fd = 0; fd <= highestFd_; ++fd) {
    const ClientConnection* client = clientAt(fd);
    if (client == nullptr) continue;
    const int64_t deadline = client->stallDeadlineMs(kRequestByteGapMs);
    if (deadline != 0 && nowMs > deadline) dropClient(fd);
  }
}

void Server::acceptClient() {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const int fd     = accept(listeningSocket_, reinterpret_cast<sockaddr*>(&address), &length);
  if (fd < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return;  // the peer gave up before we accepted
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
  clients_[static_cast<size_t>(fd)] = std::make_unique<ClientConnection>(fd, address);
  FD_SET(fd, &watched_);
  highestFd_ = std::max(highestFd_, fd);
  ++noOfClients_;
}

void Server::dropClient(int fd) {
  clients_[static_cast<size_t>(fd)].reset();  // closes the socket
  FD_CLR(fd, &watched_);
  --noOfClients_;
  while (highestFd_ > listeningSocket_ && !FD_ISSET(highestFd_, &watched_)) --highestFd_;
}

void Server::serveClient(int fd) {
  ClientConnection& client = *clientAt(fd);
  // One request per client and round: a client that sends many at once waits its turn.
  if (!client.requestWaiting() && !client.receive(orvix::platform::monotonicMs())) {
    dropClient(fd);
    return;
  }
  const ClientConnection::Request request = client.takeRequest();
  if (request.state == ClientConnection::Request::State::kIncomplete) return;
  // A length no request can have leaves no way to find the next one in the stream.
  if (request.state == ClientConnection::Request::State::kMalformed || !answer(client, request.bytes)) dropClient(fd);
}

// False when the client must be dropped: the request is shorter than its function
// needs, or its reply can neither be sent nor queued.
bool Server::answer(ClientConnection& client, std::span<const uint8_t> frame) {
  const int length = requestLength(frame);
  if (length == -1) return false;
  // libmodbus sees the request alone, as it would have read it from the stream.
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH] = {};
  std::copy_n(frame.begin(), length, query);
  if (handleRequest(client, query, length) == -1) return false;
  return client.queueReply(replies_.take());
}

void Server::logRequest(const char* label, int headerLength, int unit, int function, int address) {
  std::fprintf(requestLog_, "DEBUG: %s:%d:%s(): %s Offset %d, Slave %d, function %d, address %d\n", __FILE_NAME__,
               __LINE__, "main", label, headerLength, unit, function, address);
}

// Logs the request and has libmodbus answer it: its result, -1 when the reply failed.
int Server::handleRequest(const ClientConnection& client, const uint8_t* query, int length) {
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

  const RequestKind kind = classifyFunction(function);
  if (kind == RequestKind::kUnsupported) {
    return modbus_reply_exception(ctx_, query, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
  }
  if (kind == RequestKind::kWrite && !passesLockGate(function, address, client.address())) {
    std::fprintf(requestLog_, "DEBUG: %s:%d:%s(): Blocked modbus requ from %s\n", __FILE_NAME__, __LINE__, "main",
                 dotted(client.address()));
    return modbus_reply_exception(ctx_, query, MODBUS_EXCEPTION_SLAVE_OR_SERVER_BUSY);
  }
  return modbus_reply(ctx_, query, length, image_.mapping());
}

}  // namespace regserver
