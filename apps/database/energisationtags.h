// Handles of the tags that the spark statistics, the limiter and the mode handling work
// on (the tests address the same tags by name, so a wrong handle shows there).
#pragma once

#include <array>

#include "orxtags/handles.h"
#include "sharedmem/tagaccess.h"

namespace etag {

// clang-format off
// Run state and commands
constexpr int kTron         = tags::vxo_tron;          // vxo_tron
constexpr int kTronCommand  = 99;                     // vxo_troncommand
constexpr int kTroffCommand = tags::vxo_troffcommand;  // vxo_troffcommand
constexpr int kTronStatus   = tags::vxi_tronstatus;    // vxi_tronstatus
constexpr int kTronDate     = 406;                    // vxi_trondate
constexpr int kTronTime     = 407;                    // vxi_trontime
constexpr int kDate         = tags::vxo_date;          // vxo_date
constexpr int kTime         = tags::vxo_time;          // vxo_time
constexpr int kMeasurement  = tags::vxi_measurement;   // vxi_measurement

// Signal processor readings
constexpr int kLimiter                = tags::vxi_limiter;       // vxi_limiter: what limits the output
constexpr int kSecVoltAvg             = tags::vxi_secvoltavg;    // vxi_secvoltavg, 0.1 kV
constexpr int kSecCurrPulse           = tags::vxi_seccurrpulse;  // vxi_seccurrpulse, mA
constexpr int kSpm                    = tags::vxi_spm;           // vxi_spm, sparks per minute
constexpr int kSecCurrAvg             = 234;                    // vxi_seccurravg, mA
constexpr int kAccSpark               = 238;                    // vxi_accspark
constexpr int kAccArc                 = 239;                    // vxi_accarc
constexpr int kAccDoubleSpark         = 240;                    // vxi_accdoublespark
constexpr int kSecDvDt                = 364;                    // vxi_secdvdt
constexpr int kSparkDvDt              = 365;                    // vxi_sparkdvdt
constexpr int kSparkCurrent           = 414;                    // vxi_sparkcurrent, mA
constexpr int kActiveSlope            = 418;                    // vxi_activeslope, 0..6
constexpr int kLastActiveSlopeAtSpark = 419;                    // vxi_lastactiveslopeatspark, 0..6

// Spark statistics
constexpr int kEstimatedSecIMax    = 366;                   // vxi_estimatedsecimax, mA
constexpr int kMomentarySpm        = 542;                   // vxi_momentaryspm, 0.1 sparks per minute
constexpr int kSparkSenseLevel     = 577;                   // vxo_sparksenselevel, 0.1 units of dv/dt
constexpr int kLimiterStatShort    = 910;                   // vxo_limiterstatshort, 0..3
constexpr int kLimiterStatLong     = 911;                   // vxo_limiterstatlong, 0..7
constexpr int kSparkCurrentAverage = 1337;                  // vxi_sparkcurrentaverage, mA
constexpr int kSparkCurrentStdDev  = 1338;                  // vxi_sparkcurrentstddev, mA
constexpr int kSparkSlopeDistFi    = 1339;                  // vxi_sparkslopedistributionfi, %
constexpr int kSparkSlopeDistA     = 1340;                  // vxi_sparkslopedistributiona, %
constexpr int kSparkSlopeDistB     = 1341;                  // vxi_sparkslopedistributionb, %
constexpr int kSparkSlopeDistC     = 1342;                  // vxi_sparkslopedistributionc, %
constexpr int kPositionTag         = tags::vxi_positiontag;  // vxi_positiontag, text
constexpr int kSpmTag              = tags::vxi_spmtag;       // vxi_spmtag, text
constexpr int kTimeInSlopeLong     = 1373;                  // vxi_timeinslopelong, per mille
constexpr int kTimeInSlopeShort    = 1374;                  // vxi_timeinslopeshort, per mille
constexpr int kFieldPosition       = 622;                   // vxo_fieldposition, a letter's code
constexpr int kCellPosition        = 624;                   // vxo_cellposition

// Spark recovery
constexpr int kRiseTimeB                = 237;                    // vxi_risetimeb, %
constexpr int kRisePercB                = 236;                    // vxi_risepercb, 0.1 %
constexpr int kRiseSlopeC               = 476;                    // vxi_riseslopec
constexpr int kActModeCurrLim           = 562;                    // vxo_actmodecurrlim, mA
constexpr int kActModeSparkRecoveryTime = 565;                    // vxo_actmodesparkrecoverytime, 0.1 ms
constexpr int kSparkCurrStep            = 567;                    // vxo_sparkcurrstep, %
constexpr int kRisePercA                = 570;                    // vxo_riseperca, 0.1 %
constexpr int kRiseSlopeCSetting        = 571;                    // vxo_riseslopecsetting
constexpr int kRiseTimeA                = 572;                    // vxo_risetimea, %
constexpr int kFirstIgnAngle            = 582;                    // vxo_firstignangle, %
constexpr int kRatioSecCurr             = tags::vxo_ratioseccurr;  // vxo_ratioseccurr, mA full scale

// Functional limiter
constexpr int kSchedulerResult    = 46;                     // vxi_schedulerresult
constexpr int kKoraOptimizing     = 44;                     // vxi_koraoptimizing
constexpr int kRapping            = 88;                     // vxi_rapping
constexpr int kActModeKora        = 95;                     // vxo_actmodekora
constexpr int kPcr                = 227;                    // vxi_pcr
constexpr int kKoraCurrentLimit   = 242;                    // vxi_koracurrentlimit, mA
constexpr int kViLimitedBy        = 288;                    // vxi_vilimitedby
constexpr int kSchedulerPcrResult = 373;                    // vxi_schedulerpcrresult
constexpr int kFunCurrLimit       = tags::vxi_funcurrlimit;  // vxi_funcurrlimit, mA
constexpr int kFunIdleCurrent     = 412;                    // vxi_funidlecurrent, mA
constexpr int kFunLimiter         = 413;                    // vxi_funlimiter
constexpr int kActModeIdleCurrent = 566;                    // vxo_actmodeidlecurrent, per mille of the limit
constexpr int kPulseCurrentSlope  = 574;                    // vxo_pulsecurrentslope
constexpr int kKoraMaxPcr         = 600;                    // vxo_koramaxpcr

// Dynamic limits and derived quantities
constexpr int kAuxCurrMethod          = 154;                        // vxo_auxcurrmethod
constexpr int kFakeCr                 = 214;                        // vxo_fakecr
constexpr int kSecCurrDens            = tags::vxi_seccurrdens;       // vxi_seccurrdens
constexpr int kAuxCurr                = 230;                        // vxi_auxcurr
constexpr int kTestAuxInp1            = 283;                        // vxi_testauxinp1
constexpr int kActModeShortQuench     = 568;                        // vxo_actmodeshortquench
constexpr int kActModeResistivity     = 569;                        // vxo_actmoderesistivity
constexpr int kAuxCurrIncoming        = 591;                        // vxo_auxcurrincoming
constexpr int kMaxAverageCurr         = 602;                        // vxo_maxaveragecurr, mA
constexpr int kPrimCurrTripLim        = 603;                        // vxo_primcurrtriplim, A
constexpr int kRatioPrimCurr          = 608;                        // vxo_ratioprimcurr, A full scale
constexpr int kCollectorArea          = tags::vxo_collectorarea;     // vxo_collectorarea, m²
constexpr int kViMinCurrDens          = tags::vxo_vimincurrdens;     // vxo_vimincurrdens
constexpr int kEspCodeFieldLength     = 749;                        // vxo_espcodefieldlength
constexpr int kEspCodeSpacing         = 750;                        // vxo_espcodespacing
constexpr int kEspCodeWidth           = 752;                        // vxo_espcodewidth
constexpr int kEspCodeHeight          = 753;                        // vxo_espcodeheight
constexpr int kCustomMaxStep          = 790;                        // vxo_custommaxstep
constexpr int kCustomTypStep          = 791;                        // vxo_customtypstep
constexpr int kCustomMinStep          = 792;                        // vxo_customminstep
constexpr int kSecAvgImpedance        = 1179;                       // vxi_secavgimpedance
constexpr int kKoraOptStepUpThreshold = 1316;                       // vxo_koraoptstepupthreshold
constexpr int kViMinimumCurrent       = tags::vxo_viminimumcurrent;  // vxo_viminimumcurrent, mA

// Operating modes
constexpr int kMaster                   = tags::vxo_master;  // vxo_master
constexpr int kMasterModeCmd            = 164;              // vxo_mastermodecmd
constexpr int kOpacMomentary            = 262;              // vxi_opacmomentary
constexpr int kMiraOpacAverage          = 263;              // vxi_miraopacaverage
constexpr int kMasterModeContParReading = 443;              // vxi_mastermodecontparreading
constexpr int kMode                     = 560;              // vxo_mode, index 0..5
constexpr int kMasterMode               = 584;              // vxo_mastermode, index 0..5
constexpr int kMasterModeSelector       = 755;              // vxo_mastermodeselector
constexpr int kMasterModeContPar        = 756;              // vxo_mastermodecontpar
constexpr int kMasterModeParUnder       = 757;              // vxo_mastermodeparunder
constexpr int kMasterModeParOver        = 758;              // vxo_mastermodeparover
constexpr int kMasterModeOverrideTimer  = 759;              // vxo_mastermodeoverridetimer, timer 1..10, 0 = none
constexpr int kMasterModeOverrideMode   = 760;              // vxo_mastermodeoverridemode
constexpr int kBoilerLoad               = 877;              // vxo_boilerload
constexpr int kGasTemperature           = 878;              // vxo_gastemperature

// Communication rates
constexpr int kCanRefreshRate          = 1117;  // vxi_canrefreshrate, per 10 s
constexpr int kUdpPollRate             = 1124;  // vxi_udppollrate, per 10 s
constexpr int kDiscPollRate            = 1125;  // vxi_discpollrate, per 10 s
constexpr int kDiscoveryUpdateCnt      = 1131;  // vxi_discoveryupdatecnt

// Nameless internal integers
constexpr int kSecondsOfDay            = internal::kSecondsOfDay;
constexpr int kCanRefreshCounter       = internal::kCanRefreshCounter;  // CAN refreshes since the last rate
constexpr int kUdpPollCounter          = 1123;                          // unit polls since the last rate
constexpr int kViProgress              = internal::kViProgress;         // V-I measurement progress, -1 = none
constexpr int kTrendTrigger            = internal::kTrendTrigger;       // 1 asks for a trend record
constexpr int kIdleCurrentBlock        = 1290;                          // 1 keeps the idle current at 0
constexpr int kRappingWithOptimisation = 1301;
constexpr int kMaxIdleCurrent          = internal::kMaxIdleCurrent;     // mA
constexpr int kSparkDvDtLevel          = 1367;                          // filtered spark dv/dt
constexpr int kNormalDvDtLevel         = 1368;                          // filtered maximum of vxi_secdvdt
constexpr int kMinSparkDvDt            = 1369;                          // least spark dv/dt of the last twelve sparks
constexpr int kMediumDvDt              = 1370;                          // half-way between normal and spark dv/dt
constexpr int kPulseCurrentRatio       = 1408;                          // smoothed pulse current / limit, %
// clang-format on

constexpr int kNoOfModes = 6;

// Per-mode and per-timer runs that are not evenly spaced in the table.
constexpr std::array<int, 6> kModeSparkRecoveryTimes = {693, 701, 709, 717, 725, 733};
constexpr std::array<int, 6> kModeCurrLims = {690, 698, 706, 714, 722, 730};
constexpr std::array<int, 10> kTimerPcrCurrents = {645, 646, 647, 648, 649, 650, 824, 831, 838, 845};
constexpr std::array<int, 6> kUnitsInMode = {272, 273, 274, 275, 276, 277};  // vxi_masternrinmode1..6
constexpr std::array<int, 10> kTimerStates = {1109, 1110, 1111, 1112, 1113, 1114, 1182, 1184, 1186, 1188};
constexpr std::array<int, 18> kDigitalInputs = {63, 64, 65, 66, 67, 68, 69, 70, 71,
                                                72, 73, 74, 75, 76, 77, 78, 92, 93};  // vxi_di01..18

// Checked read and write (range check of the tag); a refused write leaves the old value.
inline int readTag(int handle) { return dbReadValueByHandle(handle); }
inline bool writeTag(int handle, int value) {
  int ignored = 0;
  return dbSetValueByHandle(handle, value, &ignored);
}

}  // namespace etag
