// regserver: the unit's Modbus TCP server. It attaches the tag store, keeps a register
// image, answers any number of clients from it and synchronises it with the store.
#include <modbus/modbus.h>
#include <syslog.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config.h"
#include "daemon.h"
#include "options.h"
#include "platform/platform.h"
#include "registerimage.h"
#include "server.h"
#include "sharedmem/shmem.h"
#include "synchroniser.h"

namespace {

constexpr int kListenBacklog = 64;  // dozens of clients may connect at the same moment

FILE* logStream = stdout;

constexpr int kWaitMs = 100;  // the pass also runs without client traffic

// The configuration's leading integer is only logged; reading it checks the file.
void readDelay(const std::string& appName, const std::string& confFile, bool reload) {
  if (confFile.empty()) return;
  bool opened = false;
  if (regserver::readLeadingInteger(confFile, &opened)) {
    if (reload) {
      syslog(LOG_INFO, "Reloaded configuration file %s of %s", confFile.c_str(), appName.c_str());
    } else {
      syslog(LOG_INFO, "Configuration of %s read from file %s", appName.c_str(), confFile.c_str());
    }
  } else if (!opened) {
    syslog(LOG_ERR, "Can not open config file: %s, error: %s", confFile.c_str(), std::strerror(errno));
  }
}

void logDerivedSize(const char* key, int value) {
  std::fprintf(logStream, "Missing setting %s: %d derived from the Modbus map\n", key, value);
  syslog(LOG_INFO, "Missing setting %s: %d derived from the Modbus map", key, value);
}

}  // namespace

int main(int argc, char** argv) {
  // Console lines reach a log file as they happen; the per-request lines on standard
  // error are written once per round of requests (Server::serveOnce flushes them).
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  static char requestLogBuffer[1 << 16];
  std::setvbuf(stderr, requestLogBuffer, _IOFBF, sizeof requestLogBuffer);
  const std::string appName        = argv[0];
  const regserver::Options options = regserver::parseOptions(argc, argv);
  if (options.daemon) regserver::daemonize(options.pidFile);
  openlog(appName.c_str(), LOG_PID | LOG_CONS, LOG_DAEMON);
  regserver::installStartupSignalHandlers();

  if (!options.logFile.empty()) {
    const std::string path = orvix::platform::resolvePath(options.logFile);
    logStream              = std::fopen(path.c_str(), "a+");
    if (logStream == nullptr) {
      syslog(LOG_ERR, "Can not open log file: %s, error: %s", options.logFile.c_str(), std::strerror(errno));
      logStream = stdout;
    }
  }
  readDelay(appName, options.confFile, false);
  std::fprintf(logStream, "Conf file: %s\n", options.confFile.c_str());
  std::fflush(logStream);

  const regserver::ServerConfig config = regserver::readServerConfig(options.confFile);
  modbus_t* ctx                        = modbus_new_tcp(nullptr, config.port);
  if (ctx == nullptr) {
    std::fprintf(stderr, "Unable to listen TCP connection\n");
    return EXIT_FAILURE;
  }
  const int listeningSocket = modbus_tcp_listen(ctx, kListenBacklog);
  if (listeningSocket == -1) {
    std::fprintf(stderr, "Unable to listen TCP connection\n");
    modbus_free(ctx);
    return EXIT_FAILURE;
  }

  // The store comes before the image: missing table sizes are derived from its map.
  shared_mem = attach_memory_block(orvix::platform::shmKey(), sizeof(shmem_t));
  if (shared_mem == nullptr) {
    perror("Could not get shared memory\n");
    modbus_free(ctx);
    return EXIT_FAILURE;
  }
  regserver::RegisterImage image(regserver::resolveSizes(config.sizes, logDerivedSize));
  if (!image.valid()) {
    std::fprintf(stderr, "Failed to allocate the mapping: %s\n", modbus_strerror(errno));
    modbus_free(ctx);
    return EXIT_FAILURE;
  }
  const modbus_mapping_t* mapping = image.mapping();
  std::printf("Rec bits: %d \t inp bits: %d \t inp reg:%d \t reg:%d\n", mapping->nb_bits, mapping->nb_input_bits,
              mapping->nb_input_registers, mapping->nb_registers);
  std::fflush(stdout);

  regserver::installShutdownHandler(listeningSocket);
  regserver::Synchroniser synchroniser(image);
  synchroniser.update();
  regserver::Server server(ctx, image, synchroniser, listeningSocket, config.maxClients, stderr);
  if (!server.valid()) {
    perror("socketpair");
    modbus_free(ctx);
    return EXIT_FAILURE;
  }
  while (server.serveOnce(kWaitMs)) {
    if (regserver::reloadRequested()) readDelay(appName, options.confFile, true);
  }
  modbus_free(ctx);
  return EXIT_FAILURE;
}
