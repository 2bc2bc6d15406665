#include "clientconnection.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "requestframe.h"

namespace regserver {

namespace {
// Requests and replies are a few hundred bytes, one at a time: small kernel buffers are
// ample, and bound what a client that floods or does not read holds of the unit's memory.
constexpr int kSocketBufferBytes = 16 * 1024;  // bytes each way; the kernel doubles it

bool wouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }
}  // namespace

ClientConnection::ClientConnection(int fd, uint32_t address) : fd_(fd), address_(address) {
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &kSocketBufferBytes, sizeof kSocketBufferBytes);
  setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kSocketBufferBytes, sizeof kSocketBufferBytes);
}

ClientConnection::~ClientConnection() { close(fd_); }

bool ClientConnection::receive(int64_t nowMs) {
  if (requestBegin_ > 0) {
    std::memmove(requests_.data(), requests_.data() + requestBegin_, bufferedBytes());
    requestEnd_ -= requestBegin_;
    requestBegin_ = 0;
  }
  // A full buffer holds a complete request, which is taken before the next read.
  if (requestEnd_ == requests_.size()) return true;
  const ssize_t got = recv(fd_, requests_.data() + requestEnd_, requests_.size() - requestEnd_, 0);
  if (got == 0) return false;
  if (got < 0) return wouldBlock();
  requestEnd_ += static_cast<size_t>(got);
  lastByteMs_ = nowMs;
  return true;
}

ClientConnection::Request ClientConnection::oldestRequest() const {
  if (bufferedBytes() < kLengthFieldEnd) return {Request::State::kIncomplete, {}};
  const uint8_t* start = requests_.data() + requestBegin_;
  const int length     = frameLength(start);
  if (length == -1) return {Request::State::kMalformed, {}};
  const std::span<const uint8_t> frame(start, static_cast<size_t>(length));
  if (bufferedBytes() < frame.size()) return {Request::State::kIncomplete, {}};
  return {Request::State::kComplete, frame};
}

ClientConnection::Request ClientConnection::takeRequest() {
  const Request request = oldestRequest();
  if (request.state == Request::State::kComplete) requestBegin_ += request.bytes.size();
  return request;
}

bool ClientConnection::requestWaiting() const { return oldestRequest().state != Request::State::kIncomplete; }

int64_t ClientConnection::stallDeadlineMs(int gapMs) const {
  return bufferedBytes() == 0 || requestWaiting() ? 0 : lastByteMs_ + gapMs;
}

bool ClientConnection::queueReply(std::span<const uint8_t> reply) {
  if (!hasQueuedReplies()) {
    const ssize_t sent = send(fd_, reply.data(), reply.size(), MSG_NOSIGNAL);
    if (sent < 0 && !wouldBlock()) return false;
    if (sent > 0) reply = reply.subspan(static_cast<size_t>(sent));
  }
  queued_.insert(queued_.end(), reply.begin(), reply.end());
  return queued_.size() - sentBytes_ <= kMaxQueuedBytes;
}

bool ClientConnection::sendQueued() {
  if (!hasQueuedReplies()) return true;
  const ssize_t sent = send(fd_, queued_.data() + sentBytes_, queued_.size() - sentBytes_, MSG_NOSIGNAL);
  if (sent < 0) return wouldBlock();
  sentBytes_ += static_cast<size_t>(sent);
  if (sentBytes_ == queued_.size()) {
    queued_.clear();
    sentBytes_ = 0;
  } else if (sentBytes_ >= kMaxQueuedBytes) {  // a slow reader never empties the queue
    queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(sentBytes_));
    sentBytes_ = 0;
  }
  return true;
}

}  // namespace regserver
