#include <arpa/inet.h>
#include <netinet/in.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "atomicfile/atomicfile.h"
#include "network/network.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace {

using orvix::platform::shellQuote;

constexpr const char* kInterfaceFile = "/etc/systemd/network/20-wired.network";
constexpr const char* kDhcpConfig    = "# The loopback interface\n[Match]\nName=eth0\n\n[Network]\nDHCP=yes";
constexpr const char* kStaticConfig  = "# ORVIX eth0 config\n[Match]\nName=eth0\n\n[Network]\nAddress=%s\nGateway=%s\n";
constexpr const char* kStaticConfigNoGateway = "# ORVIX eth0 config\n[Match]\nName=eth0\n\n[Network]\nAddress=%s\n";
constexpr size_t kConfigSize                 = 256;

// Host byte order, so that the mask's leading ones are the high bits.
bool parseAddress(const char* text, uint32_t* hostOrder) {
  in_addr parsed{};
  if (text == nullptr || inet_pton(AF_INET, text, &parsed) != 1) return false;
  *hostOrder = ntohl(parsed.s_addr);
  return true;
}

int runNetworkCommand(const char* format, const char* argument) {
  orvix::platform::ShellCommand command;
  command.format(format, shellQuote(argument).c_str());
  return orvix::platform::runShellCommand(command);
}

// Whether a line of the file holds the text; -1 when it cannot be opened.
int fileHasText(const char* fileName, const char* text) {
  std::ifstream file(orvix::platform::resolvePath(fileName));
  if (!file) return -1;
  std::string line;
  while (std::getline(file, line)) {
    if (line.find(text) != std::string::npos) return 1;
  }
  return 0;
}

}  // namespace

bool is_valid_subnet_mask(const char* netmask) {
  uint32_t mask = 0;
  if (!parseAddress(netmask, &mask)) return false;
  // Ones followed by zeros: the inverted mask plus one is a power of two (or zero).
  const uint32_t hostBits = ~mask;
  return (hostBits & (hostBits + 1)) == 0;
}

std::optional<std::string> convertToCIDR(const char* address, const char* netmask) {
  uint32_t host = 0;
  uint32_t mask = 0;
  if (!parseAddress(address, &host) || !parseAddress(netmask, &mask)) return std::nullopt;
  char text[INET_ADDRSTRLEN + 4];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u/%d", host >> 24, (host >> 16) & 255, (host >> 8) & 255, host & 255,
                std::popcount(mask));
  return std::string(text);
}

int updateNetworkInterfaceFile(const char* address, const char* netmask, const char* gateway, bool dhcp) {
  std::printf("[DEBUG] \33[31mUPDATE NETORK INTERFACE FILE\33[0m\n");
  char config[kConfigSize];
  if (dhcp) {
    std::snprintf(config, sizeof config, "%s", kDhcpConfig);
  } else {
    const std::optional<std::string> cidr = convertToCIDR(address, netmask);
    if (!cidr) return -1;
    if (gateway != nullptr && gateway[0] != '\0') {
      std::snprintf(config, sizeof config, kStaticConfig, cidr->c_str(), gateway);
    } else {
      std::snprintf(config, sizeof config, kStaticConfigNoGateway, cidr->c_str());
    }
  }
  const std::filesystem::path file = orvix::platform::resolvePath(kInterfaceFile);
  std::error_code ignored;
  std::filesystem::create_directories(file.parent_path(), ignored);  // the file is created when missing
  if (!orvix::writeFileAtomically(file.string(), config)) {
    std::perror("Error opening the file");
    return -1;
  }
  return 0;
}

int setDefIpAddress(const char* address) { return runNetworkCommand("ifconfig eth0 %s", address); }

int setNetMask(const char* netmask) { return runNetworkCommand("ifconfig eth0 netmask %s", netmask); }

int setDefGateway(const char* gateway) {
  const int status = runNetworkCommand("ip route add default via %s dev eth0", gateway);
  if (status != 0) std::printf("SIOCADDRT failed , ret->%d\n", status);
  return status;
}

int restartNetwork() { return orvix::platform::runShellCommand("systemctl restart systemd-networkd"); }

int findstr(const char* fileName, const char* text) { return fileHasText(fileName, text); }

bool searchFileForText(const char* fileName, const char* text) {
  const int found = fileHasText(fileName, text);
  if (found < 0) std::printf("Error opening file\n");
  return found != 0;
}
