// Arbitrary bytes from one client through framing, request handling and the reply
// queue, then a synchronisation pass over a store built as the unit builds it.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "orxtags/storebuilder.h"
#include "registerimage.h"
#include "server.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"
#include "synchroniser.h"

namespace {

struct Fixture {
  Fixture() {
    // The synchronisation pass talks on standard output; libFuzzer reports on standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    quiet = std::fopen("/dev/null", "w");
    key = 0x0C000000 + (getpid() & 0xFFFF);
    shared_mem = attach_memory_block(key, sizeof(shmem_t));
    if (shared_mem == nullptr) std::abort();
    tagstore::buildTagStore();
    image = new regserver::RegisterImage({regserver::kCoilBase + 96, 99, 365, regserver::kHoldingBase + 571});
    sync = new regserver::Synchroniser(*image);
    ctx = modbus_new_tcp("127.0.0.1", 1502);
    server = new regserver::Server(ctx, *image, *sync, -1, 8, quiet);
    std::atexit([] { destroy_memory_block(instance().key); });
  }
  static Fixture& instance() {
    static Fixture fixture;
    return fixture;
  }
  key_t key;
  regserver::RegisterImage* image;
  regserver::Synchroniser* sync;
  regserver::Server* server;
  modbus_t* ctx;
  FILE* quiet;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fixture& f = Fixture::instance();
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
  if (size > 0 && write(pair[1], data, size) < 0) {
    close(pair[0]);
    close(pair[1]);
    return 0;
  }
  shutdown(pair[1], SHUT_WR);
  f.server->addClient(pair[0], 0x0100007F);
  // Alternate the lock so that both sides of the gate are fed.
  int code = 0;
  dbSetValueByHandle(regserver::handles::kLockedMode, size % 2, &code);
  while (f.server->noOfClients() > 0) f.server->serveClient(pair[0]);
  close(pair[1]);
  dbIncrementByHandle(regserver::handles::kRefreshCounter);
  f.sync->update();
  return 0;
}
