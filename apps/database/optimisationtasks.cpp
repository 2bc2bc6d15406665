#include "optimisationtasks.h"

#include "derived.h"
#include "kora/kora.h"
#include "mira/mira.h"

bool runKoraOptimation(Daemon& daemon) {
  kora::KORAOptimation(daemon.kora);
  return false;
}

bool runKoraReference(Daemon& daemon) {
  kora::KORAReferenceStateLoop(daemon.kora);
  return false;
}

bool runKoraTimer(Daemon& daemon) {
  kora::KORAOptimationStateLoop(daemon.kora);
  return false;
}

bool runMira(Daemon& daemon) {
  mira::MIRA(daemon.mira, daemon.path.iniFile != nullptr ? daemon.path.iniFile : "");
  return false;
}

bool runUpdateFunFiringRatio(Daemon& daemon) {
  firingRatioToCR(mira::updateFunFiringRatio(daemon.mira.unit));
  return false;
}
