#include "optimisationtasks.h"

#include "derived.h"
#include "mira/mira.h"

bool runMira(Daemon& daemon) {
  mira::MIRA(daemon.mira, daemon.path.iniFile != nullptr ? daemon.path.iniFile : "");
  return false;
}

bool runUpdateFunFiringRatio(Daemon& daemon) {
  firingRatioToCR(mira::updateFunFiringRatio(daemon.mira.unit));
  return false;
}
