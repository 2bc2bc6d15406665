#include "networksettings.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

#include "network/network.h"
#include "sharedmem/tagaccess.h"

namespace {

// clang-format off
// Tags by handle
constexpr int kIpSetChange = 90;   // vxi_ipsetchange: an operator's change is pending
constexpr int kIpDhcp      = 191;  // vxo_ipdhcp
constexpr int kIpApply     = 192;  // vxo_ipapply
constexpr int kIpAddress   = 906;  // vxo_ipaddress, network byte order
constexpr int kIpGateway   = 907;  // vxo_ipgateway, network byte order
constexpr int kIpNetmask   = 908;  // vxo_ipnetmask, network byte order
constexpr int kApplyChange = 923;  // vxo_applynetworkchange: the same request as vxo_ipapply
// clang-format on

constexpr int kReadAll           = 3;   // updateNetworkInfo: address, mask, gateway and DHCP
constexpr int kIpChangeTimeout   = 60;  // s an operator's edit waits for its application
constexpr int kLongestHostPrefix = 30;  // longer prefixes have no network and broadcast address

int tag(int handle) { return dbReadValueByHandle(handle); }
void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

std::string dotted(int networkOrder) {
  in_addr address{};
  address.s_addr             = static_cast<in_addr_t>(networkOrder);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

uint32_t hostOrder(int networkOrder) { return ntohl(static_cast<uint32_t>(networkOrder)); }

// An address a unit can have on the network of mask: not "this host", loopback, multicast
// or reserved, nor the network or broadcast address of its subnet.
bool isHostAddress(uint32_t address, uint32_t mask) {
  const uint32_t first = address >> 24;
  if (first == 0 || first == 127 || first >= 224) return false;
  if (std::popcount(mask) > kLongestHostPrefix) return true;
  const uint32_t host = address & ~mask;
  return host != 0 && host != ~mask;
}

}  // namespace

void readNetworkInfo(Daemon& daemon) { updateNetworkInfo(&daemon.eth0, kReadAll); }

bool noticeNetworkEdit(Daemon& daemon) {
  const network& eth0 = daemon.eth0;
  const bool edited   = tag(kIpAddress) != eth0.ipAddress || tag(kIpNetmask) != eth0.netMask ||
                      tag(kIpGateway) != eth0.gateway || (tag(kIpDhcp) == 1) != eth0.dhcp;
  if (edited) setTag(kIpSetChange, 1);
  return edited;
}

bool applyNetworkSettings() {
  const bool dhcp           = tag(kIpDhcp) == 1;
  const std::string address = dotted(tag(kIpAddress));
  const std::string mask    = dotted(tag(kIpNetmask));
  const int gatewayValue    = tag(kIpGateway);
  const std::string gateway = gatewayValue != 0 ? dotted(gatewayValue) : "";
  if (dhcp) {
    if (updateNetworkInterfaceFile("", "", "", true) != 0) return false;
    restartNetwork();
    std::printf("network settings applied: DHCP\n");
    return true;
  }
  const uint32_t maskBits = hostOrder(tag(kIpNetmask));
  if (maskBits == 0 || !is_valid_subnet_mask(mask.c_str())) {
    std::printf("network settings refused: %s is not a subnet mask\n", mask.c_str());
    return false;
  }
  if (!isHostAddress(hostOrder(tag(kIpAddress)), maskBits)) {
    std::printf("network settings refused: %s is not a host address of a %s network\n", address.c_str(), mask.c_str());
    return false;
  }
  if (gatewayValue != 0 && (!isHostAddress(hostOrder(gatewayValue), maskBits) || gatewayValue == tag(kIpAddress) ||
                            (hostOrder(gatewayValue) & maskBits) != (hostOrder(tag(kIpAddress)) & maskBits))) {
    std::printf("network settings refused: gateway %s is not another host of the network of %s/%s\n", gateway.c_str(),
                address.c_str(), mask.c_str());
    return false;
  }
  if (updateNetworkInterfaceFile(address.c_str(), mask.c_str(), gateway.c_str(), false) != 0) {
    std::printf("network settings not applied: the interface file cannot be written\n");
    return false;
  }
  setDefIpAddress(address.c_str());
  setNetMask(mask.c_str());
  if (!gateway.empty()) setDefGateway(gateway.c_str());
  restartNetwork();
  std::printf("network settings applied: %s netmask %s gateway %s\n", address.c_str(), mask.c_str(),
              gateway.empty() ? "none" : gateway.c_str());
  return true;
}

bool holdNetworkEdit(Daemon& daemon) {
  noticeNetworkEdit(daemon);
  return false;
}

bool countIpChangeSeconds(Daemon& daemon) {
  daemon.ipChangeCounter = tag(kIpSetChange) == 1 ? daemon.ipChangeCounter + 1 : 0;
  return false;
}

bool applyNetworkRequest(Daemon& daemon) {
  if (tag(kIpApply) != 1 && tag(kApplyChange) != 1) return false;
  applyNetworkSettings();
  // Applied or refused, the request is done and the tags show again what eth0 has.
  setTag(kIpApply, 0);
  setTag(kApplyChange, 0);
  setTag(kIpSetChange, 0);
  daemon.ipChangeCounter = 0;
  readNetworkInfo(daemon);
  return true;
}

bool endIpChangeWait(Daemon& daemon) {
  if (daemon.ipChangeCounter <= kIpChangeTimeout) return false;
  daemon.ipChangeCounter = 0;
  setTag(kIpSetChange, 0);
  setTag(kIpApply, 0);
  readNetworkInfo(daemon);  // the edit is dropped: the tags show eth0 again
  return true;
}

bool refreshNetworkInfo(Daemon& daemon) {
  if (daemon.ipChangeCounter != 0 || noticeNetworkEdit(daemon)) return false;
  updateNetworkInfo(&daemon.eth0, kReadAll);
  return true;
}
