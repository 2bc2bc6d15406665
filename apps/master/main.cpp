// master: exchanges unit messages with the other units of the precipitator. As master
// of a node range it polls the units and sums up their data; as client it answers the
// master of its range and carries out its commands.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstdlib>

#include "masterloop.h"
#include "mastertags.h"
#include "message.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"
#include "timers.h"
#include "udplink.h"

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  init_shm();
  master::MasterNotes notes;
  master::TimerThread timerThread(notes);
  master::UdpLink link;
  if (!link.open(master::kUdpPort)) {
    std::fflush(stdout);
    std::_Exit(EXIT_FAILURE);
  }

  const uint32_t address            = link.primaryAddress();
  char addressText[INET_ADDRSTRLEN] = "";
  const in_addr inAddress{address};
  inet_ntop(AF_INET, &inAddress, addressText, sizeof addressText);
  const bool isMaster = dbReadValueByHandle(master::tag::vxo_master) != 0;
  std::printf("[DEBUG] masterUDP started as %s using port %d %s %x\n\33[0m\n", isMaster ? "master" : "client",
              master::kUdpPort + dbReadValueByHandle(master::tag::vxo_mastergroup), addressText, address);

  master::MasterLoop loop(link, notes);
  loop.run();
  return EXIT_SUCCESS;
}
