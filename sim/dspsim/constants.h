// The model constants of the simulated signal processor and its T/R set and field:
// one table of INI keys with working defaults, read from the image's dspsim.ini.
#pragma once

#include <span>
#include <string>

#include "inihandler/intsettings.h"

namespace dspsim {

struct ModelConstants {
  int cyclePeriodMs         = 50;    // ms between two measurement sets (20 per second)
  int tronStartDelayMs      = 1000;  // ms from the run command to vxi_tronstatus 1
  int heartbeatPeriodMs     = 1000;  // ms between two changes of vxi_heartbeat
  int resetAckMs            = 300;   // ms the alarm reset is held before it is cleared
  int lineFrequency         = 500;   // 0.1 Hz
  int ambientTemperature    = 250;   // 0.1 C
  int coronaOnsetVoltage    = 300;   // 0.1 kV: no current below it
  int coronaFactor          = 556;   // uA/kV^2: I = factor * (U - onset)^2
  int fieldCapacitance      = 120;   // nF: sets the ripple between peak and valley
  int currentTimeConstantMs = 100;   // ms: lag of the pulse current behind its set point
  int peakCurrentFactor     = 1500;  // per mille of the pulse current
  int sparkoverVoltage      = 850;   // 0.1 kV of peak voltage at which sparks come at the rate below
  int sparkRateAtSparkover  = 60;    // sparks per minute at the spark-over voltage
  int sparkRateScale        = 30;    // 0.1 kV: every step of this much closer multiplies the rate by e
  int sparkSetback          = 30;    // per mille: a spark recovers to this much below the pre-spark current
  int arcShare              = 50;    // per mille of the sparks that burn on as an arc
  int sparkDvdt             = 600;   // kV/ms: typical voltage collapse rate of a spark
  int randomSeed            = 0;     // seed of the spark generator; 0 = from the clock
  int collectorArea         = 1000;  // m2 of collecting plates of the field
  int backCoronaOnset       = 0;     // uA/m2 of mean current density where back corona starts; 0 = none
  int backCoronaDrop        = 600;   // per mille of the onset voltage lost when back corona is at its worst
};

// One INI key: the field it sets and the values it accepts (the default is the field's own).
using ConstantRow = orvix::IntSetting<ModelConstants>;

std::span<const ConstantRow> constantRows();

constexpr const char* kDefaultConstantsPath = "/var/lib/orvix/dspsim.ini";

// Takes every known key of the INI file; a value that is not a number or lies outside its
// row's range keeps the default and adds a line to problems. Unknown keys are reported too.
ModelConstants applyConstants(INIFile* ini, std::string& problems);

// Reads the file (a unit path); a missing or malformed file leaves the defaults and says why.
ModelConstants loadConstants(const char* unitPath, std::string& problems);

}  // namespace dspsim
