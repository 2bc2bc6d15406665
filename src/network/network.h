// The unit's network: reading the eth0 configuration into tags, and writing a new one
// (systemd network file, address, netmask, default route, restart of the network).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The eth0 record of the database daemon; addresses in network byte order.
struct network {
  int ipAddress;
  int netMask;
  int gateway;
  bool dhcp;
};

// The four bytes of tmp in reverse order.
int swapIp(int tmp);

// Reading. Addresses are IPv4 in network byte order.
// The first IPv4 address of the interface, else defaultAddress; 0, or -1 when the
// interface list cannot be read or the default does not parse.
int getIpAddress(const char* interfaceName, uint32_t* address, const char* defaultAddress);
// The netmask of the interface's last IPv4 address as dotted text ("" when it has none);
// the text lives in a static buffer until the next call.
const char* getSubNetMask(const char* interfaceName);
// The default gateway of the interface from the kernel's routing table; 0, or -1.
int getgatewayandiface(uint32_t* gateway, const char* interfaceName);
bool isDhcpEnabled(const char* interfaceName);
bool isDhcp();  // of eth0
// The link-layer address as "AA-BB-CC-DD-EE-FF".
std::optional<std::string> getMacAddress(const char* interfaceName);

// Fills vxo_ipaddress, vxo_ipnetmask, vxo_ipgateway and vxo_ipdhcp from eth0 and the record
// from those tags (func 3, the only one the daemon uses).
void updateNetworkInfo(network* eth0, int func);

// Writing.
// Writes the eth0 file of the network service, static or DHCP; 0, or -1 when the address
// and mask do not make a network or the file cannot be written.
int updateNetworkInterfaceFile(const char* address, const char* netmask, const char* gateway, bool dhcp);
// "a.b.c.d/prefix"; nothing when the address or the mask does not parse.
std::optional<std::string> convertToCIDR(const char* address, const char* netmask);
// Four numbers 0..255 whose bits are ones followed by zeros.
bool is_valid_subnet_mask(const char* netmask);
// Address and netmask of eth0, its default route, restart of the network service; each
// through the host's network commands, 0 when the command succeeded.
int setDefIpAddress(const char* address);
int setNetMask(const char* netmask);
int setDefGateway(const char* gateway);
int restartNetwork();

// Whether a line of the file (a unit path) contains the text: 1 or 0, -1 when the file
// cannot be opened.
int findstr(const char* fileName, const char* text);
// The same with a longer line; true also when the file cannot be opened.
bool searchFileForText(const char* fileName, const char* text);
