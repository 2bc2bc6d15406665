// The MIRA screen and the debug words screen: the optimisation's shared words, raw.
#pragma once

#include "loopscreen.h"

namespace monitor {

// Draws the MIRA limits, each unit's flags, powers and limits and the profile.
void printMira(std::FILE* out);

class MiraScreen : public LoopScreen {
 public:
  void onPoll(const Poll& poll, std::FILE* out) override;

 private:
  Period period_{100};
};

class DebugScreen : public LoopScreen {
 public:
  void onPoll(const Poll& poll, std::FILE* out) override;

 private:
  Period period_{1000};
};

}  // namespace monitor
