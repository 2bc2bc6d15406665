#include "scan_reply.h"

namespace discovery {
namespace {

struct ReplyKey {
  std::string_view key;
  ReplyField field;
};

// key in the reply          node field it fills
constexpr ReplyKey kReplyKeys[] = {
    {"IP = ",                ReplyField::ipAddress},
    {"HN = ",                ReplyField::hostName},
    {"MAC = ",               ReplyField::macAddress},
    {"DHCP = ",              ReplyField::dhcpState},
    {"SN = ",                ReplyField::subnetMask},
    {"GW = ",                ReplyField::gateway},
    {"Module version = ",    ReplyField::moduleVersion},
};

constexpr std::string_view kIpKey = "IP = ";

}  // namespace

bool parseScanReply(std::string_view reply, Node& node) {
  if (reply.find(kIpKey) == std::string_view::npos) {
    return false;
  }
  for (const ReplyKey& row : kReplyKeys) {
    const std::size_t keyAt = reply.find(row.key);
    if (keyAt == std::string_view::npos) {
      continue;
    }
    std::string_view value = reply.substr(keyAt + row.key.size());
    value = value.substr(0, value.find_first_of(";\n"));
    node.setReplyField(row.field, value);
  }
  return true;
}

}  // namespace discovery
