// Load generator: N clients each reading 100 holding registers as fast as answers come,
// for a fixed time. Prints the requests per second over all clients and the number of
// failed requests and connections.
//   modbus_load PORT CLIENTS SECONDS
#include <modbus/modbus.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s PORT CLIENTS SECONDS\n", argv[0]);
    return 1;
  }
  const int port = std::atoi(argv[1]);
  const int clients = std::atoi(argv[2]);
  const auto duration = std::chrono::duration<double>(std::atof(argv[3]));
  std::atomic<bool> running{true};
  std::atomic<long> requests{0};
  std::atomic<long> failures{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i) {
    threads.emplace_back([&] {
      modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
      modbus_set_response_timeout(ctx, 2, 0);
      if (modbus_connect(ctx) != 0) {
        ++failures;
        modbus_free(ctx);
        return;
      }
      uint16_t registers[100];
      while (running) {
        if (modbus_read_registers(ctx, 1024, 100, registers) == 100) {
          ++requests;
          continue;
        }
        // As a plant client does: a failed request costs a new connection, so that a
        // late reply is never taken for the next one.
        ++failures;
        modbus_close(ctx);
        if (modbus_connect(ctx) != 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      modbus_close(ctx);
      modbus_free(ctx);
    });
  }
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(duration);
  running = false;
  for (auto& thread : threads) thread.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.0f %ld\n", static_cast<double>(requests) / seconds, failures.load());
  return 0;
}
