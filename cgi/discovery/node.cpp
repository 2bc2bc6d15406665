#include "node.h"

namespace discovery {

void Node::setReplyField(ReplyField field, std::string_view value) {
  switch (field) {
    case ReplyField::hostName:      hostName.assign(value);      break;
    case ReplyField::ipAddress:     ipAddress.assign(value);     break;
    case ReplyField::gateway:       gateway.assign(value);       break;
    case ReplyField::subnetMask:    subnetMask.assign(value);    break;
    case ReplyField::macAddress:    macAddress.assign(value);    break;
    case ReplyField::dhcpState:     dhcpState.assign(value);     break;
    case ReplyField::moduleVersion: moduleVersion.assign(value); break;
  }
}

std::string_view Node::replyField(ReplyField field) const {
  switch (field) {
    case ReplyField::hostName:      return hostName.view();
    case ReplyField::ipAddress:     return ipAddress.view();
    case ReplyField::gateway:       return gateway.view();
    case ReplyField::subnetMask:    return subnetMask.view();
    case ReplyField::macAddress:    return macAddress.view();
    case ReplyField::dhcpState:     return dhcpState.view();
    case ReplyField::moduleVersion: return moduleVersion.view();
  }
  return {};
}

}  // namespace discovery
