#include "energisationtasks.h"

#include "derived.h"
#include "dynamiclimits.h"
#include "energisationtags.h"
#include "housekeeping.h"
#include "limiter.h"
#include "modes.h"
#include "sparkrecovery.h"
#include "sparks.h"
#include "sparktexts.h"
#include "tron.h"

bool runSetSpmString(Daemon& daemon) {
  setSpmString(daemon.energisation.spmPrefix);
  return false;
}

bool runCheckModeSettings(Daemon& daemon) {
  checkModeSettings(daemon.energisation.modes);
  return false;
}

bool runCalculateImpedance(Daemon&) {
  calculateImpedance();
  return false;
}

bool runSetCurrDens(Daemon& daemon) {
  setCurrDens(daemon.energisation.currentDensity);
  return false;
}

bool runSetAuxCurr(Daemon&) {
  setAuxCurr();
  return false;
}

bool runCollectorArea(Daemon&) {
  collectorArea();
  return false;
}

bool runDynamicLimits(Daemon&) {
  dynamicLimits();
  return false;
}

bool runRiseTimeCalculations(Daemon&) {
  handleRiseTimeCalculations();
  return false;
}

bool runSparkRecoveryCurve(Daemon&) {
  sparkRecoveryCurve();
  return false;
}

bool runViMin(Daemon& daemon) {
  viMin(daemon.energisation.viMin);
  return false;
}

bool runUpdateTronFile(Daemon& daemon) {
  updateTronFile(daemon.energisation.tron);
  return false;
}

bool runFunctionalLimiter(Daemon& daemon) {
  functionalLimiter(daemon.energisation.limiter);
  return false;
}

bool runHandleTronCmd(Daemon& daemon) {
  handleTronCmd(daemon.energisation.tron);
  return false;
}

bool runSparkStatistics(Daemon& daemon) {
  sparkStatistics(daemon.energisation.sparks);
  return false;
}

bool runSparkRecoveryRotation(Daemon& daemon) {
  handleSPMtoSparcRecovery(daemon.energisation.recoveryRotation);
  return false;
}

bool runCurrDensWhileMeasuring(Daemon& daemon) {
  if (etag::readTag(etag::kMeasurement) == 1) setCurrDens(daemon.energisation.currentDensity);
  return false;
}

bool runUpdateComSpeed(Daemon&) {
  updateComSpeed();
  return false;
}

bool runSetPositionString(Daemon&) {
  setPositionString();
  return false;
}

bool runPulseCurrentRatio(Daemon&) {
  pulseCurrentRatioCalculation();
  return false;
}

bool runMaxMediumDvDt(Daemon&) {
  maxMediumDvDt();
  return false;
}

bool runMasterModeSelector(Daemon& daemon) {
  masterModeSelector(daemon.energisation.modes);
  return false;
}
