#pragma once
// One unit found by the scan: the fields of its scan reply and, once fetched, its summary page.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace discovery {

// A NUL-terminated text of fixed capacity (terminator included); longer values are cut.
template <std::size_t Capacity>
class FixedText {
 public:
  void assign(std::string_view value) {
    const std::size_t length = std::min(value.size(), Capacity - 1);
    std::memcpy(text_.data(), value.data(), length);
    text_[length] = '\0';
  }
  const char* c_str() const { return text_.data(); }
  std::string_view view() const { return text_.data(); }

 private:
  std::array<char, Capacity> text_{};
};

// The fields a scan reply fills.
enum class ReplyField { hostName, ipAddress, gateway, subnetMask, macAddress, dhcpState, moduleVersion };

struct Node {
  std::unique_ptr<Node> next;
  FixedText<13> hostName;
  FixedText<16> ipAddress;
  FixedText<16> gateway;
  FixedText<16> subnetMask;
  FixedText<18> macAddress;
  FixedText<4> dhcpState;
  FixedText<10> moduleVersion;
  std::optional<std::string> summaryPage;  // written only by the node's fetch thread
  bool taken = false;                      // counted against the node limit

  void setReplyField(ReplyField field, std::string_view value);
  std::string_view replyField(ReplyField field) const;
};

}  // namespace discovery
