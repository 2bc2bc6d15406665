// libmodbus sends each reply to the socket of its context. Pointed at one end of a local
// socket pair, it never writes to a client socket, where a client that does not read
// would hold up the loop: the reply is taken from the other end into that client's
// queue. One pair serves every client, since requests are answered one at a time and
// each reply is taken before the next request.
#pragma once

#include <modbus/modbus.h>

#include <array>
#include <cstdint>
#include <span>

namespace regserver {

class ReplyCapture {
 public:
  // Points the context at the pair, and makes the pause libmodbus takes before it
  // flushes after a refused request the least it allows: there is nothing to flush.
  explicit ReplyCapture(modbus_t* ctx);
  ~ReplyCapture();
  ReplyCapture(const ReplyCapture&)            = delete;
  ReplyCapture& operator=(const ReplyCapture&) = delete;

  bool valid() const { return libraryEnd_ >= 0; }

  // The reply libmodbus sent since the last call; empty when it sent none.
  std::span<const uint8_t> take();

 private:
  int libraryEnd_ = -1;  // the context's socket
  int serverEnd_  = -1;
  std::array<uint8_t, 2 * MODBUS_TCP_MAX_ADU_LENGTH> reply_{};
};

}  // namespace regserver
