#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "network/network.h"
#include "platform/platform.h"
#include "sharedmem/tagaccess.h"

namespace {

// clang-format off
// Tags by handle
constexpr int kIpDhcp    = 191;  // vxo_ipdhcp
constexpr int kIpAddress = 906;  // vxo_ipaddress, network byte order
constexpr int kIpGateway = 907;  // vxo_ipgateway, network byte order
constexpr int kIpNetmask = 908;  // vxo_ipnetmask, network byte order
// clang-format on

constexpr const char* kUnitInterface  = "eth0";
constexpr const char* kDefaultAddress = "0.0.0.0";
// The kernel's own table, as the interface list is: never taken from a unit image.
constexpr const char* kRouteTable = "/proc/net/route";

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

uint32_t addressOf(const sockaddr* address) { return reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr; }

// One address of a dump: a global one without the permanent flag is a lease, what `ip`
// shows as "scope global dynamic".
bool isLeasedGlobalAddress(const nlmsghdr* message, unsigned interfaceIndex) {
  const auto* address = static_cast<const ifaddrmsg*>(NLMSG_DATA(message));
  if (address->ifa_index != interfaceIndex || address->ifa_scope != RT_SCOPE_UNIVERSE) return false;
  uint32_t flags       = address->ifa_flags;  // the 8 bits of the header; the attribute has them all
  int attributesLength = static_cast<int>(IFA_PAYLOAD(message));
  for (const rtattr* attribute = IFA_RTA(address); RTA_OK(attribute, attributesLength);
       attribute               = RTA_NEXT(attribute, attributesLength)) {
    if (attribute->rta_type == IFA_FLAGS) std::memcpy(&flags, RTA_DATA(attribute), sizeof flags);
  }
  return (flags & IFA_F_PERMANENT) == 0;
}

}  // namespace

int swapIp(int tmp) { return static_cast<int>(__builtin_bswap32(static_cast<uint32_t>(tmp))); }

int getIpAddress(const char* interfaceName, uint32_t* address, const char* defaultAddress) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return -1;
  bool found = false;
  for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if (std::strcmp(entry->ifa_name, interfaceName) != 0) continue;
    *address                   = addressOf(entry->ifa_addr);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, address, text, sizeof text);
    std::printf("Found IP Address of %s: %s\n", interfaceName, text);
    found = true;
  }
  freeifaddrs(list);
  if (found) return 0;
  in_addr parsed{};
  if (inet_pton(AF_INET, defaultAddress, &parsed) != 1) return -1;
  *address = parsed.s_addr;
  return 0;
}

const char* getSubNetMask(const char* interfaceName) {
  static char text[INET_ADDRSTRLEN];
  text[0]       = '\0';
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return text;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || entry->ifa_netmask == nullptr) continue;
    if (std::strcmp(entry->ifa_name, interfaceName) != 0) continue;
    const uint32_t mask = addressOf(entry->ifa_netmask);
    inet_ntop(AF_INET, &mask, text, sizeof text);
  }
  freeifaddrs(list);
  return text;
}

int getgatewayandiface(uint32_t* gateway, const char* interfaceName) {
  std::ifstream table(kRouteTable);
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string name, destination, via;
    if (!(fields >> name >> destination >> via) || name != interfaceName) continue;
    char* end = nullptr;
    if (std::strtoul(destination.c_str(), &end, 16) != 0 || *end != '\0') continue;
    // The table holds the address in hexadecimal as it lies in memory: network byte order.
    *gateway = static_cast<uint32_t>(std::strtoul(via.c_str(), &end, 16));
    return *end == '\0' ? 0 : -1;
  }
  return -1;
}

// What "ip addr show" prints as "scope global dynamic": a global IPv4 address whose lease
// runs out. Asked of the kernel directly, as the unit asks every 3 s and a plant of many
// units on one host would otherwise start six processes per unit for it.
bool isDhcpEnabled(const char* interfaceName) {
  const unsigned index = if_nametoindex(interfaceName);
  if (index == 0) return false;
  const int link = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (link < 0) return false;
  struct {
    nlmsghdr header;
    ifaddrmsg body;
  } request{};
  request.header.nlmsg_len   = NLMSG_LENGTH(sizeof request.body);
  request.header.nlmsg_type  = RTM_GETADDR;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.body.ifa_family    = AF_INET;
  bool dynamic               = false;
  bool done                  = send(link, &request, request.header.nlmsg_len, 0) < 0;
  alignas(nlmsghdr) char buffer[16384];
  while (!done) {
    const ssize_t length = recv(link, buffer, sizeof buffer, 0);
    if (length <= 0) break;
    auto remaining = static_cast<unsigned>(length);
    for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(message, remaining);
         message       = NLMSG_NEXT(message, remaining)) {
      if (message->nlmsg_type == NLMSG_DONE || message->nlmsg_type == NLMSG_ERROR) {
        done = true;
        break;
      }
      dynamic = dynamic || (message->nlmsg_type == RTM_NEWADDR && isLeasedGlobalAddress(message, index));
    }
  }
  close(link);
  return dynamic;
}

bool isDhcp() { return isDhcpEnabled(kUnitInterface); }

std::optional<std::string> getMacAddress(const char* interfaceName) {
  ifreq request{};
  if (std::strlen(interfaceName) >= sizeof request.ifr_name) return std::nullopt;
  std::strncpy(request.ifr_name, interfaceName, sizeof request.ifr_name - 1);
  const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return std::nullopt;
  const bool read = ioctl(probe, SIOCGIFHWADDR, &request) == 0;
  close(probe);
  if (!read) return std::nullopt;
  const auto* bytes = reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data);
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                bytes[5]);
  return std::string(text);
}

void updateNetworkInfo(network* eth0, int func) {
  if (func != 3) return;
  std::printf("[DEBUG] \33[31mUPDATING NETWORK INFO\33[0m\n");
  uint32_t address = 0;
  if (getIpAddress(kUnitInterface, &address, kDefaultAddress) != 0) {
    std::printf("[DEBUG] Error retrieving IP address for eth0\n\33[0m");
  } else {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    std::printf("[DEBUG] IP Address: %s\n\33[0m\n", text);
    setTag(kIpAddress, static_cast<int>(address));
  }
  in_addr mask{};
  if (inet_pton(AF_INET, getSubNetMask(kUnitInterface), &mask) == 1) setTag(kIpNetmask, static_cast<int>(mask.s_addr));
  uint32_t gateway = 0;
  setTag(kIpGateway, getgatewayandiface(&gateway, kUnitInterface) == 0 ? static_cast<int>(gateway) : 0);
  const bool dhcp = isDhcp();
  std::printf("[DEBUG] SETTING DCHCP %d\33[0m\n", dhcp ? 1 : 0);
  setTag(kIpDhcp, dhcp ? 1 : 0);

  eth0->ipAddress = dbReadValueByHandle(kIpAddress);
  eth0->netMask   = dbReadValueByHandle(kIpNetmask);
  eth0->gateway   = dbReadValueByHandle(kIpGateway);
  eth0->dhcp      = dhcp;
}
