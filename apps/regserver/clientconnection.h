// One client of the register server: its requests assembled from non-blocking reads and
// framed by the length in their header, its replies queued until the socket takes them.
#pragma once

#include <modbus/modbus.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace regserver {

class ClientConnection {
 public:
  // A reply queue longer than this belongs to a client that does not read its replies.
  static constexpr size_t kMaxQueuedBytes = 64 * 1024;  // bytes

  struct Request {
    enum class State { kIncomplete, kComplete, kMalformed };
    State state;
    std::span<const uint8_t> bytes;  // the whole frame, header included, when complete
  };

  // Takes over a connected socket and makes it non-blocking; address is the socket's
  // address word as accept gave it (first octet in the least significant byte).
  ClientConnection(int fd, uint32_t address);
  ~ClientConnection();
  ClientConnection(const ClientConnection&)            = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;

  int fd() const { return fd_; }
  uint32_t address() const { return address_; }

  // Reads what the socket holds, as far as the request buffer has room. False when the
  // peer closed the connection or the read failed.
  bool receive(int64_t nowMs);

  // The oldest request received, taken out of the buffer when it is complete; its bytes
  // stay valid until the next receive. Malformed: its header gives a length no request
  // can have, so no later request can be found in the stream either.
  Request takeRequest();
  // takeRequest has a complete or malformed request to give without reading.
  bool requestWaiting() const;

  // The monotonic time at which the part of a request received so far has waited gapMs
  // for its next byte; 0 while no part of a request waits.
  int64_t stallDeadlineMs(int gapMs) const;

  // Sends a reply; what the socket does not take at once waits behind the replies
  // already queued. False when the socket failed or the queue passed kMaxQueuedBytes.
  bool queueReply(std::span<const uint8_t> reply);
  // Sends queued replies as far as the socket takes them; false when the socket failed.
  bool sendQueued();
  bool hasQueuedReplies() const { return sentBytes_ < queued_.size(); }

 private:
  size_t bufferedBytes() const { return requestEnd_ - requestBegin_; }
  Request oldestRequest() const;

  int fd_;
  uint32_t address_;
  std::array<uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> requests_{};  // one request fits whole
  size_t requestBegin_ = 0;
  size_t requestEnd_   = 0;
  int64_t lastByteMs_  = 0;  // monotonic ms of the last bytes received
  std::vector<uint8_t> queued_;
  size_t sentBytes_ = 0;  // of queued_
};

}  // namespace regserver
