// Charge-ratio optimisation: searches a table of 26 energisation steps (pulse current
// density and firing ratio) for the step at which the collected charge per pulse is best,
// and drives the unit at that step. Four machines run from the database loop on one
// private state; they meet the scope program and the V-I program only through tags.
#pragma once

#include <array>
#include <cstdint>

namespace kora {

constexpr int kSteps               = 26;     // steps 1..26; index 0 is not used
constexpr int kFieldLetters        = 12;     // field positions 'A'..'L'
constexpr int kTableClasses        = 3;      // resistivity classes with a field-table entry
constexpr int kCustomClass         = 3;      // resistivity class of the operator's own steps
constexpr int kOnTimeOut           = 14400;  // s the state survives a switch-off of KORA
constexpr int kQCalculationTimeout = 60;     // calls allowed for one Q capture
constexpr int kCCalculationTimeout = 30;     // calls allowed for the corona-time capture
constexpr int kViTimerStart        = 10;     // calls around the V-I reference measurement

struct stepData {
  int16_t currentDensity;  // µA/m², pulse current per collector area
  int16_t firingRatio;     // 0.01 %, 10000 = every half-period fired
};

// Lowest, typical and highest step for one field position, by resistivity class 0..2.
struct expertData {
  std::array<int16_t, kTableClasses> min;
  std::array<int16_t, kTableClasses> typ;
  std::array<int16_t, kTableClasses> max;
};

// Q values of the run in progress by step, on the scale of vxi_koralastqfull01 (10000 =
// zero charge); 0 not measured, -1 and -2 skipped.
struct Qvalues {
  int16_t startStep;
  std::array<int32_t, kSteps + 1> full;
  std::array<int32_t, kSteps + 1> trunc;
};

struct KORA {
  int16_t Uninitialized;              // non-zero until KORAInit has run
  int16_t ReferenceMeasurementState;  // -1, 0..5, 7..9
  int16_t OptimationTimerState;       // 0..7
  int16_t Optimising;                 // step-search state 0..13, 98, 99
  int16_t currentUsed;                // mA, last current limit computed
  int16_t optimalStep;                // 1..26
  int16_t optimationIntervalBase;     // s, from the configuration file
  int16_t optimationInterval;         // s, in use
  int16_t referenceInterval;          // s of reference-timer count
  int16_t optimationTimer;            // s counted towards the next optimisation
  int16_t referenceTimer;             // s counted towards the next reference measurement
  int16_t qCalculationTimeout;        // calls left for a Q capture
  int16_t cCalculationTimeout;        // calls left for the corona-time capture
  int16_t Reference;                  // cleared when a reference measurement starts
  int16_t ViTimer;                    // calls around the V-I reference measurement
  int16_t coronaRatioStart;           // thousandths, vxo_koracoronaratio at the start
  int16_t coronaMeasureFailCnt;       // scope time-outs of the corona-time capture
  int16_t QMeasureFailCnt;            // scope time-outs of the optimisation run
  int16_t wasOnTimeOut;               // s the state survives a switch-off
  int16_t actmodevoltpeaklim;         // kV, vxo_actmodevoltpeaklim at the start
  int16_t oldVref;                    // 0.1 kV, last valid reference voltage
  int16_t lastTypStep;                // typical step of the field last seen
  int16_t currentOptimization;        // % of the mode current limit under test, 100 idle
  int16_t currentOptimizationState;   // -1, 0, 1, 2, 99
  int16_t optimalAverageCurrent;      // % of the mode current limit, 100 = none
  bool FirstReferenceMeasurementDone;
  bool optimationDone;
  bool vRefStarted;  // a reference measurement is in progress
  bool optimationFail;
  std::array<expertData, kFieldLetters> field;
  std::array<stepData, kSteps + 1> step;
  Qvalues Q;
};

// Scope start and readiness protocol counters.
struct ScopeProtocol {
  int timer      = 0;  // passes left of a scope reset
  int timer2     = 0;  // passes since the scope was found free
  int readyCount = 0;  // consecutive passes the capture was seen finished
};

constexpr int kSampleSlots = 8;  // 0..3 full-charge samples, 4..7 truncated-charge samples
constexpr int kSampleSteps = 30;
using SampleTable          = std::array<std::array<int32_t, kSampleSlots>, kSampleSteps>;

constexpr int kCurrentOptimizationMeasurements = 50;

// Everything the machines keep between calls.
struct KoraState {
  KORA shared{};
  ScopeProtocol scope;
  SampleTable qvaluesMeasuredAtThisStep{};
  // Reference machine
  int waitForSlope           = 0;      // calls before the corona-time capture
  int storePulseCurrentSlope = 0;      // mA/s, vxo_pulsecurrentslope saved at the start
  bool pulseSlopeRaised      = false;  // the slope was raised for the reference measurement
  // Step search
  int tmpVoltPeakLim  = 0;  // kV, vxo_actmodevoltpeaklim at the start of the run
  int firstTimeFlag   = 0;  // a repeated measurement at the same step is pending
  int stepDown        = 0;
  int stepUp          = 0;
  int givesValidTrunc = 0;  // the Q full capture also gave the truncated charge
  // Current optimisation
  int16_t NoOfMeasurements = 0;
  std::array<int32_t, kCurrentOptimizationMeasurements> currentOptimizationQMeasurements{};
};

void KORAInit(KoraState& state);
void KORASetStatus(const KoraState& state);
void KORAsetOptimalFrAndCurrent(KoraState& state);
void KORAReferenceStateLoop(KoraState& state);   // once a second
void KORAOptimationStateLoop(KoraState& state);  // once a second, after the reference loop
void KORAOptimation(KoraState& state);           // twice a second
void KORAcurrentOptimization(KoraState& state);  // from KORAOptimation only

// The comparison of the step search: step j holds (is better than j + 1) when the truncated
// charge of j + 1 is measured and does not beat the full charge of j by the step-up threshold.
bool stepHolds(KORA& k, int j);

}  // namespace kora
