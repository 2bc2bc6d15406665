// What a received message does to this unit by its fields alone, whoever it is for:
// opacity limits and MIRA limits, the path word, passwords, statistics resets, the
// poll counter.
#pragma once

#include "message.h"

namespace master {

class ReceivedFields {
 public:
  void apply(const Message& message);

 private:
  void applyEspLimits(const Message& message);
  int lastFactorId_ = -1;  // MIRA factor id of the last limit taken
};

}  // namespace master
