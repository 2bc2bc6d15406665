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

// What the loop needs of the network; tests put a scripted peer in its place.
class Link {
 public:
  virtual ~Link() = default;
  // Sends the text to 255.255.255.255 at the port; a failure is printed and the loop goes on.
  virtual void broadcast(std::string_view text, int port) = 0;
  // Waits up to timeoutMs for one datagram; false when none arrived.
  virtual bool receive(int timeoutMs, Datagram* datagram) = 0;
  // Whether the address is one of this unit's own.
  virtual bool isOwnAddress(uint32_t address) = 0;
  // The unit's address on the plant network (network byte order), or 0.
  virtual uint32_t primaryAddress() const = 0;
};

class UdpLink : public Link {
 public:
  UdpLink() = default;
  ~UdpLink() override;
  UdpLink(const UdpLink&)            = delete;
  UdpLink& operator=(const UdpLink&) = delete;

  // Opens the broadcast socket bound to the port on all addresses; prints why not.
  bool open(int port);
  void broadcast(std::string_view text, int port) override;
  bool receive(int timeoutMs, Datagram* datagram) override;
  // Learns new addresses of the interfaces on a miss.
  bool isOwnAddress(uint32_t address) override;
  // The first IPv4 address of a non-loopback interface.
  uint32_t primaryAddress() const override { return primary_; }

 private:
  void readOwnAddresses();
  int socket_ = -1;
  std::vector<uint32_t> ownAddresses_;
  uint32_t primary_ = 0;
};

}  // namespace master
