// Latency of a well-behaved client polling two holding registers while another client
// of the same server misbehaves in one of four ways.
//   modbus_abuse PORT CASE SECONDS
// CASE: none         no other client: the latency the machine alone gives
//       unsupported  a function code the server does not serve, with data bytes
//       half-header  four bytes of a request header, then silence until it closes
//       trickle      a request sent one byte every 300 ms
//       no-read      requests sent as fast as the server takes them, replies never
//                    read; the flood keeps one CPU busy on its own
// Prints: polls worst_ms p99_ms over_10ms errors (over_10ms: polls that waited longer
// than the 10 ms a misbehaving client may cost the others; a loaded host adds its own)
#include <arpa/inet.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr uint16_t kPolledAddress = 1024;
constexpr int kPolledCount        = 2;
constexpr double kGoalMs          = 10.0;  // what one misbehaving client may cost another

// Requests as a raw client sends them: MBAP header, unit 1, PDU.
constexpr std::array<uint8_t, 12> kReadRequest = {0, 1, 0, 0, 0, 6, 1, 3, 0x04, 0x00, 0, 2};
constexpr std::array<uint8_t, 12> kReadMost    = {0, 1, 0, 0, 0, 6, 1, 3, 0x04, 0x00, 0, 125};
constexpr std::array<uint8_t, 12> kUnsupported = {0, 1, 0, 0, 0, 6, 1, 0x41, 1, 2, 3, 4};

class RawClient {
 public:
  RawClient(int port, int receiveBuffer) : port_(port), receiveBuffer_(receiveBuffer) {}
  ~RawClient() { close(); }

  bool connected() const { return fd_ >= 0; }

  void connect() {
    close();
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer_ > 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_, sizeof receiveBuffer_);
    const timeval timeout{0, 200000};  // no call of the abuser blocks it for long
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_port        = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) close();
  }

  // Connects when needed and sends all bytes, waiting while the server does not take
  // them; false when the connection broke or the measurement ended.
  bool send(const uint8_t* bytes, size_t length, const std::atomic<bool>& running) {
    if (!connected()) connect();
    while (connected() && running && length > 0) {
      const ssize_t sent = ::send(fd_, bytes, length, MSG_NOSIGNAL);
      if (sent > 0) {
        bytes += sent;
        length -= static_cast<size_t>(sent);
      } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
        close();
      }
    }
    return connected() && length == 0;
  }

  // Reads whatever arrives within the receive time-out; false when the server closed.
  bool drain() {
    if (!connected()) return false;
    uint8_t buffer[512];
    const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
      close();
      return false;
    }
    return true;
  }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int port_;
  int receiveBuffer_;
  int fd_ = -1;
};

// Sleeps in short steps so that the abuser ends with the measurement.
void nap(const std::atomic<bool>& running, std::chrono::milliseconds time) {
  const auto until = Clock::now() + time;
  while (running && Clock::now() < until) std::this_thread::sleep_for(5ms);
}

void stayAway(int, const std::atomic<bool>&) {}

void sendUnsupported(int port, const std::atomic<bool>& running) {
  RawClient client(port, 0);
  while (running) {
    if (client.send(kUnsupported.data(), kUnsupported.size(), running)) client.drain();
    nap(running, 20ms);
  }
}

void sendHalfHeaders(int port, const std::atomic<bool>& running) {
  RawClient client(port, 0);
  while (running) {
    client.connect();
    client.send(kReadRequest.data(), 4, running);
    nap(running, 200ms);
    client.close();
  }
}

void trickle(int port, const std::atomic<bool>& running) {
  RawClient client(port, 0);
  while (running) {
    for (size_t i = 0; running && i < kReadRequest.size(); ++i) {
      if (!client.send(&kReadRequest[i], 1, running)) break;
      nap(running, 300ms);
    }
    client.drain();
  }
}

void neverRead(int port, const std::atomic<bool>& running) {
  RawClient client(port, 4096);  // a small window fills the server's side sooner
  while (running) {
    if (!client.send(kReadMost.data(), kReadMost.size(), running)) nap(running, 1ms);
  }
}

struct AbuseCase {
  std::string_view name;
  std::function<void(int, const std::atomic<bool>&)> abuse;
};
const AbuseCase kCases[] = {
    {"none",        stayAway       },
    {"unsupported", sendUnsupported},
    {"half-header", sendHalfHeaders},
    {"trickle",     trickle        },
    {"no-read",     neverRead      },
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s PORT CASE SECONDS\n", argv[0]);
    return 1;
  }
  const int port = std::atoi(argv[1]);
  const auto found =
      std::find_if(std::begin(kCases), std::end(kCases), [&](const AbuseCase& entry) { return entry.name == argv[2]; });
  const auto duration = std::chrono::duration<double>(std::atof(argv[3]));
  if (found == std::end(kCases)) {
    std::fprintf(stderr, "unknown case %s\n", argv[2]);
    return 1;
  }

  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
  modbus_set_response_timeout(ctx, 1, 0);
  if (ctx == nullptr || modbus_connect(ctx) != 0) {
    std::fprintf(stderr, "cannot connect to port %d\n", port);
    return 1;
  }
  std::atomic<bool> running{true};
  std::thread abuser(found->abuse, port, std::cref(running));

  std::vector<double> latenciesMs;
  long errors    = 0;
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(duration);
  uint16_t registers[kPolledCount];
  while (Clock::now() < end) {
    const auto start = Clock::now();
    const int got    = modbus_read_registers(ctx, kPolledAddress, kPolledCount, registers);
    latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (got != kPolledCount) {
      ++errors;
      modbus_close(ctx);  // a late reply would be taken for the next one
      modbus_connect(ctx);
    }
  }
  running = false;
  abuser.join();
  modbus_close(ctx);
  modbus_free(ctx);

  std::sort(latenciesMs.begin(), latenciesMs.end());
  const double worst = latenciesMs.empty() ? 0.0 : latenciesMs.back();
  const double p99   = latenciesMs.empty() ? 0.0 : latenciesMs[latenciesMs.size() * 99 / 100];
  const auto over    = latenciesMs.end() - std::upper_bound(latenciesMs.begin(), latenciesMs.end(), kGoalMs);
  std::printf("%zu %.1f %.1f %td %ld\n", latenciesMs.size(), worst, p99, over, errors);
  return 0;
}
