// Any datagram: the decoder keeps to its record and the addressed range check holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // As received: at most the receive buffer.
  const size_t length     = size < master::kReceiveBufferSize ? size : master::kReceiveBufferSize;
  const master::Message m = master::decodeMsg(std::string_view(reinterpret_cast<const char*>(data), length));
  if (m.limitCount < 0 || m.limitCount > master::kMaxFields) __builtin_trap();
  if (std::strlen(m.tagName) >= master::kTagNameSize || std::strlen(m.timeText) >= master::kTimeTextSize)
    __builtin_trap();
  if (m.passwordsValid) {
    for (const auto& password : m.passwords) {
      if (password[0] == '\0' || std::strlen(password) >= master::kPasswordSize) __builtin_trap();
    }
  }
  if (master::addresses(m, 0)) __builtin_trap();
  return 0;
}
