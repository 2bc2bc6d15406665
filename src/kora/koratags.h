// The tags KORA reads and writes, by their fixed handles. The tests address the same
// tags by name, so a wrong handle shows there.
#pragma once

namespace kora::tag {

// clang-format off
// Unit and mode                            handle   unit
constexpr int kActModeKora                = 95;    // vxo_actmodekora
constexpr int kActModeMira                = 97;    // vxo_actmodemira
constexpr int kTron                       = 94;    // vxo_tron, 1 = T/R set on
constexpr int kRapping                    = 88;    // vxi_rapping, 1 = rapping in progress
constexpr int kMeasurement                = 87;    // vxi_measurement, 1 = V-I measurement in progress
constexpr int kActModeCurrLim             = 562;   // vxo_actmodecurrlim, mA
constexpr int kActModeIdleCurrent         = 566;   // vxo_actmodeidlecurrent, per mille
constexpr int kActModeVoltPeakLim         = 561;   // vxo_actmodevoltpeaklim, kV
constexpr int kActModeResistivity         = 569;   // vxo_actmoderesistivity, class 0..3
constexpr int kCollectorArea              = 623;   // vxo_collectorarea, m²
constexpr int kFieldPosition              = 622;   // vxo_fieldposition, character code of the letter
constexpr int kCustomMinStep              = 792;   // vxo_customminstep
constexpr int kCustomTypStep              = 791;   // vxo_customtypstep
constexpr int kCustomMaxStep              = 790;   // vxo_custommaxstep
constexpr int kRatioSecCurr               = 610;   // vxo_ratioseccurr, mA
constexpr int kPulseCurrentSlope          = 574;   // vxo_pulsecurrentslope, mA/s
constexpr int kDate                       = 619;   // vxo_date, packed
constexpr int kTime                       = 620;   // vxo_time, packed
constexpr int kSecondsOfDay               = 1102;  // internal: seconds since midnight
constexpr int kProcessLogRequest          = 1196;  // internal: 1 asks for a process-log entry

// KORA settings
constexpr int kKora100PulseCurrMin        = 1345;  // vxo_kora100pulsecurrmin, mA
constexpr int kCoronaRatio                = 787;   // vxo_koracoronaratio, thousandths
constexpr int kStepUpThreshold            = 1316;  // vxo_koraoptstepupthreshold, thousandths of Q
constexpr int kRefOption                  = 185;   // vxo_korarefoption
constexpr int kUsedVref                   = 788;   // vxo_korausedvref, 0.1 kV
constexpr int kUsedCoronaTime             = 789;   // vxo_korausedcoronatime, ms

// KORA state and results
constexpr int kOptimizing                 = 44;    // vxi_koraoptimizing
constexpr int kRefStatus                  = 507;   // vxi_korarefstatus, digits of the machine states
constexpr int kReferenceRunning           = 1290;  // internal: a reference measurement runs
constexpr int kWaitingForRapping          = 1301;  // internal: the reference waits for rapping
constexpr int kLastRefOk                  = 43;    // vxi_koralastrefok
constexpr int kLastRefTime                = 506;   // vxi_koralastreftime, packed
constexpr int kLastRefDate                = 505;   // vxi_koralastrefdate, packed
constexpr int kRefMeasurementWarning      = 32;    // vxi_alwkorarefmw
constexpr int kVrefTimer                  = 530;   // vxi_koravreftimer, s, -1 idle
constexpr int kOptTimer                   = 531;   // vxi_koraopttimer, s, -1 idle
constexpr int kStartStep                  = 532;   // vxi_koraoptimationstartstep
constexpr int kOptimalFr                  = 244;   // vxi_koraoptimalfr, 0.01 %
constexpr int kCurrentLimit               = 242;   // vxi_koracurrentlimit, mA
constexpr int kTestFr                     = 243;   // vxi_koratestfr, 0.01 %
constexpr int kLastOptTime                = 246;   // vxi_koralastopttime, packed
constexpr int kLastOptDate                = 245;   // vxi_koralastoptdate, packed
constexpr int kRefCurrK                   = 1288;  // vxi_korarefcurrk, mA
constexpr int kRefCurrM                   = 1289;  // vxi_korarefcurrm, mA
constexpr int kFrSource                   = 217;   // vxi_frsource
constexpr int kMiraMyFr                   = 258;   // vxi_miramyfr, 0.01 %

// Measured values
constexpr int kViVref                     = 305;   // vxi_vivref, 0.1 kV
constexpr int kCoronaKv                   = 241;   // vxi_koracoronakv, 0.1 kV
constexpr int kMeasuredCoronaTime         = 1268;  // vxi_korameasuredcoronatime, 0.1 ms
constexpr int kLastQFull                  = 1246;  // vxi_koralastqfull01, 10000 = zero charge
constexpr int kLastQTrunc                 = 1247;  // vxi_koralastqtrunc01, 10000 = zero charge

// Scope program
constexpr int kScopeGrabMethod            = 765;   // vxo_scopegrabmethod
constexpr int kScopeView2Type             = 592;   // vxo_scopeview2type
constexpr int kSampleRate                 = 593;   // vxo_samplerate, code
constexpr int kWebScopeDataSize           = 594;   // vxo_webscopedatasize, code
constexpr int kScopeGrabTrigger           = 165;   // vxo_scopegrabtrigger, 1 = capture now
constexpr int kScopeGrabReset             = 166;   // vxo_scopegrabreset, 1 = reset the capture
constexpr int kScopeGrabStatus            = 763;   // vxo_scopegrabstatus: 0 idle, 1 2 busy, 4 done
constexpr int kPreviousStepFr             = 1269;  // internal: firing ratio of the step below, -1 none
constexpr int kAnalysisInvalid            = 1270;  // internal: non-zero while the analysis is not valid
// clang-format on

}  // namespace kora::tag
