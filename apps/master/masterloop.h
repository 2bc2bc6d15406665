// The receive loop of master: each turn acts as master of a node range (polling it,
// collecting its data, sending operator commands) or as client of another master.
#pragma once

#include <cstdint>
#include <string>

#include "clientactions.h"
#include "nodetable.h"
#include "rapping.h"
#include "received.h"
#include "timers.h"
#include "udplink.h"

namespace master {

class MasterLoop {
 public:
  MasterLoop(Link& link, MasterNotes& notes) : link_(link), notes_(notes) {}
  // Runs turns until the system state word asks every program to stop.
  void run();
  // One turn: as master when vxo_master is set, else as client.
  void turn();

 private:
  void masterTurn(int own);
  void clientTurn(int own);

  void resendUnacknowledged(int low, int high, int own);
  int takeOperatorCommands(int low, int high, int own);
  void send(int type, int low, int high, int own);
  void sendTrOn(int low, int high, int own);
  void handleAsMaster(const Datagram& datagram, int low, int high, int own);
  void sendRappingRequests(int own);

  void broadcast(const std::string& text);
  void note(int code);

  Link& link_;
  MasterNotes& notes_;
  NodeTable table_;
  ReceivedFields received_;
  ClientActions client_;
  RappingRequests rapping_;
  bool wasMaster_        = false;
  bool lastWaitTimedOut_ = true;
  int64_t cycleStartMs_  = 0;
  int lastMessage_       = kUnknownMessage;
  int lastPathOffset_    = 7;  // the first poll sends path 1
};

}  // namespace master
