// The daemon's start-up after its command line and configuration: the tag store, the
// definitions, the saved settings, the flag files, then the loop's initial state.
#pragma once

#include <span>

#include "daemon.h"

struct StartupStep {
  int number;  // step of the start-up; 1 is the command line and configuration
  void (*run)(Daemon&);
  const char* name;
};

std::span<const StartupStep> startupSteps();

// Runs steps 2..19 in order.
void startUp(Daemon& daemon);
