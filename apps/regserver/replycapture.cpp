#include "replycapture.h"

#include <sys/socket.h>
#include <unistd.h>

namespace regserver {

namespace {
constexpr uint32_t kLeastTimeoutUs = 1;  // libmodbus refuses zero
}  // namespace

ReplyCapture::ReplyCapture(modbus_t* ctx) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
  libraryEnd_ = pair[0];
  serverEnd_  = pair[1];
  modbus_set_socket(ctx, libraryEnd_);
  modbus_set_response_timeout(ctx, 0, kLeastTimeoutUs);
}

ReplyCapture::~ReplyCapture() {
  if (!valid()) return;
  close(libraryEnd_);
  close(serverEnd_);
}

std::span<const uint8_t> ReplyCapture::take() {
  const ssize_t got = recv(serverEnd_, reply_.data(), reply_.size(), MSG_DONTWAIT);
  return {reply_.data(), got > 0 ? static_cast<size_t>(got) : 0};
}

}  // namespace regserver
