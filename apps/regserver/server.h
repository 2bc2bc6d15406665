// The request loop: one thread serves every client through select, one request at a
// time, with a synchronisation pass between rounds. No socket call blocks the loop: a
// request is handled once all its bytes have arrived, and a reply the client does not
// take at once waits in that client's queue.
#pragma once

#include <modbus/modbus.h>
#include <sys/select.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "clientconnection.h"
#include "registerimage.h"
#include "replycapture.h"
#include "synchroniser.h"

namespace regserver {

class Server {
 public:
  // Request lines go to requestLog (standard error in the daemon). The context's socket
  // is the server's from now on (see ReplyCapture).
  Server(modbus_t* ctx, RegisterImage& image, Synchroniser& synchroniser, int listeningSocket, int maxClients,
         FILE* requestLog);

  // False when the server cannot take replies from libmodbus (no socket pair).
  bool valid() const { return replies_.valid(); }

  // A synchronisation pass, then one wait of at most waitMs and one round over the
  // ready descriptors. False when select failed: the caller shuts down.
  bool serveOnce(int waitMs);

  // Watches a connected client; its address word decides the lock gate.
  void addClient(int fd, uint32_t address);
  // Answers the oldest request of a watched client, reading first when none is whole;
  // a broken client is dropped.
  void serveClient(int fd);
  int noOfClients() const { return noOfClients_; }

 private:
  void acceptClient();
  bool answer(ClientConnection& client, std::span<const uint8_t> frame);
  int handleRequest(const ClientConnection& client, const uint8_t* query, int length);
  void logRequest(const char* label, int headerLength, int unit, int function, int address);
  int waitLimitMs(int waitMs, int64_t nowMs) const;
  void dropStalledClients(int64_t nowMs);
  void dropClient(int fd);
  ClientConnection* clientAt(int fd) const { return clients_[static_cast<size_t>(fd)].get(); }

  modbus_t* ctx_;
  RegisterImage& image_;
  Synchroniser& synchroniser_;
  ReplyCapture replies_;
  int listeningSocket_;
  int maxClients_;
  FILE* requestLog_;
  int noOfClients_ = 0;
  int highestFd_;
  fd_set watched_;
  int64_t acceptPausedUntilMs_ = 0;  // after running out of descriptors
  int64_t lastLogFlushMs_      = 0;  // monotonic ms
  std::array<std::unique_ptr<ClientConnection>, FD_SETSIZE> clients_{};  // by descriptor
};

}  // namespace regserver
