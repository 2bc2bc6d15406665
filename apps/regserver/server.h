// The request loop: one thread serves every client through select, one request at a
// time, with a synchronisation pass between rounds.
#pragma once

#include <modbus/modbus.h>
#include <sys/select.h>

#include <array>
#include <cstdint>
#include <cstdio>

#include "registerimage.h"
#include "synchroniser.h"

namespace regserver {

class Server {
 public:
  // Request lines go to requestLog (standard error in the daemon).
  Server(modbus_t* ctx, RegisterImage& image, Synchroniser& synchroniser, int listeningSocket, int maxClients,
         FILE* requestLog);

  // A synchronisation pass, then one wait of at most waitMs and one round over the
  // ready descriptors. False when select failed: the caller shuts down.
  bool serveOnce(int waitMs);

  // Watches a connected client; its address word decides the lock gate.
  void addClient(int fd, uint32_t address);
  // Reads and answers one request of a watched client; a broken client is dropped.
  void serveClient(int fd);
  int noOfClients() const { return noOfClients_; }

 private:
  void acceptClient();
  void handleRequest(int fd, const uint8_t* query, int length);
  void logRequest(const char* label, int headerLength, int unit, int function, int address);
  void dropClient(int fd);

  modbus_t* ctx_;
  RegisterImage& image_;
  Synchroniser& synchroniser_;
  int listeningSocket_;
  int maxClients_;
  FILE* requestLog_;
  int noOfClients_ = 0;
  int highestFd_;
  fd_set watched_;
  int64_t acceptPausedUntilMs_ = 0;                   // after running out of descriptors
  std::array<uint32_t, FD_SETSIZE> clientAddress_{};  // per descriptor, as accept gave it
};

}  // namespace regserver
