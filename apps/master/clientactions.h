// What a unit does with a command from the master of its range, and the answer it
// sends back.
#pragma once

#include <string>

#include "message.h"
#include "messagetext.h"

namespace master {

// This unit's data as a client reports it, from the store.
ClientData readClientData();

class ClientActions {
 public:
  // Acts on a master message addressed to this unit and returns the answer's text.
  // asMaster: this unit is a master itself (it follows another master's clock only
  // when vxo_timesyncopt is 1).
  std::string actAndRespond(const Message& message, bool asMaster);

 private:
  void setTime(const Message& message, bool asMaster);
  char lastSetTime_[kTimeTextSize] = {};
};

}  // namespace master
