// The broadcast UDP socket master speaks through, and the unit's own addresses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace master {

struct Datagram {
  std::string text;        // at most kReceiveBufferSize bytes of what arrived
  uint32_t sourceAddress;  // IPv4, network byte order
};

class UdpLink {
 public:
  UdpLink() = default;
  ~UdpLink();
  UdpLink(const UdpLink&)            = delete;
  UdpLink& operator=(const UdpLink&) = delete;

  // Opens the broadcast socket bound to the port on all addresses; prints why not.
  bool open(int port);
  // Sends the text to 255.255.255.255 at the port; a failure is printed and the loop goes on.
  void broadcast(std::string_view text, int port);
  // Waits up to timeoutMs for one datagram; false when none arrived.
  bool receive(int timeoutMs, Datagram* datagram);

  // Whether the address is one of this unit's own (learning new ones on a miss).
  bool isOwnAddress(uint32_t address);
  // The first IPv4 address of a non-loopback interface (network byte order), or 0.
  uint32_t primaryAddress() const { return primary_; }

 private:
  void readOwnAddresses();
  int socket_ = -1;
  std::vector<uint32_t> ownAddresses_;
  uint32_t primary_ = 0;
};

}  // namespace master
