// The baseline for regserver's throughput: a plain libmodbus select server that only
// answers from a register image of the same size, with no store and no synchronisation.
//   modbus_bare_server PORT
#include <modbus/modbus.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PORT\n", argv[0]);
    return 1;
  }
  modbus_t* ctx = modbus_new_tcp(nullptr, std::atoi(argv[1]));
  modbus_mapping_t* mapping = modbus_mapping_new(16384 + 96, 99, 1024 + 571, 365);
  const int listening = modbus_tcp_listen(ctx, 64);
  if (ctx == nullptr || mapping == nullptr || listening < 0) {
    std::fprintf(stderr, "cannot serve\n");
    return 1;
  }
  fd_set watched;
  FD_ZERO(&watched);
  FD_SET(listening, &watched);
  int highest = listening;
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  for (;;) {
    fd_set ready = watched;
    if (select(highest + 1, &ready, nullptr, nullptr, nullptr) < 0) return 1;
    for (int fd = 0; fd <= highest; ++fd) {
      if (!FD_ISSET(fd, &ready)) continue;
      if (fd == listening) {
        const int client = accept(listening, nullptr, nullptr);
        if (client < 0 || client >= FD_SETSIZE) continue;
        FD_SET(client, &watched);
        if (client > highest) highest = client;
        continue;
      }
      modbus_set_socket(ctx, fd);
      const int length = modbus_receive(ctx, query);
      if (length > 0) {
        modbus_reply(ctx, query, length, mapping);
      } else if (length == -1) {
        close(fd);
        FD_CLR(fd, &watched);
      }
    }
  }
}
