// The signal processor's own copy of every CAN-mapped tag, indexed by tag handle, and
// the handles the simulator works with.
#pragma once

#include <array>
#include <cstdint>

#include "orxtags/handles.h"
#include "sharedmem/shmem.h"

namespace dspsim {

// What the signal processor holds: the values it reports (direction 2 and 3) and the
// values the module last sent it (direction 1 and 3). Raw tag integers, exponent not applied.
struct DspRegisters {
  std::array<int32_t, kNoOfHandles> value{};
  int32_t& operator[](int handle) { return value[static_cast<size_t>(handle)]; }
  int32_t operator[](int handle) const { return value[static_cast<size_t>(handle)]; }
};

namespace handle {
// commands and settings the signal processor receives
constexpr int kTron              = 94;   // run command, both ways
constexpr int kSchedulerResult   = 46;   // the unit's rapping output
constexpr int kSumAlarmReset     = 106;  // both ways; cleared here once acted on
constexpr int kFunCurrLimit      = 410;  // mA, pulse current limit of the functional limiter
constexpr int kFunIdleCurrent    = 412;  // mA
constexpr int kFunLimiter        = 413;  // both ways; what sets the functional limit, 7 = rapping
constexpr int kFakeCr            = 214;  // charge ratio: 1 in n half-cycles fires
constexpr int kRiseSlopeC        = 476;  // mA/s, rise after a spark recovery
constexpr int kSparkRecoveryTime = 565;  // 0.1 ms
constexpr int kSparkCurrStep     = 567;  // %, current step down at a spark
constexpr int kShortQuench       = 568;  // half-cycles without firing after a spark
constexpr int kRisePercA         = 570;  // 0.1 %, share of the step regained in slope A
constexpr int kRiseTimeA         = 572;  // %, share of the recovery time in slope A
constexpr int kArcQuench         = 576;  // half-cycles without firing after an arc
constexpr int kScopeTrigger      = 165;  // both ways: 1 = take a capture, cleared when taken up
constexpr int kScopeSampleRate   = 593;  // divider: 9600 / divider Hz
constexpr int kScopeStatus       = 763;  // both ways: 1 sampling, 2 transferring, 4 analysed
constexpr int kIgnAngleLimit     = 601;  // %, largest firing angle
constexpr int kMaxAverageCurr    = 602;  // mA
constexpr int kRatioLineVolt     = 607;  // V, rated line voltage
constexpr int kRatioPrimCurr     = 608;  // A, rated primary current
constexpr int kRatioSecVolt      = 609;  // kV, rated secondary voltage
constexpr int kRatioSecCurr      = 610;  // 0.1 mA, rated secondary current
// values the signal processor reports
constexpr int kSumAlarm               = 0;   // both ways
constexpr int kRapping                = 88;  // the rapping input
constexpr int kTronStatus             = 86;
constexpr int kLimiter                = 212;  // limiter code
constexpr int kCurrLimit              = 213;  // mA, the limit in force
constexpr int kFiringRatio            = 215;  // 0.01 %
constexpr int kActualFiringAngle      = 216;  // 0.1 %
constexpr int kSecCurrPulseA          = 218;  // mA
constexpr int kSecCurrPulseB          = 219;  // mA
constexpr int kPrimVoltRms            = 220;  // 0.1 V
constexpr int kPrimCurrRms            = 221;  // 0.1 A
constexpr int kActPower               = 222;  // 0.1 kW
constexpr int kSecVoltAvg             = 223;  // 0.1 kV
constexpr int kSecCurrPulse           = 224;  // mA
constexpr int kSpm                    = 226;  // sparks in the last minute
constexpr int kPrimCurrAvg            = 228;  // 0.1 A
constexpr int kAppPower               = 229;  // 0.1 kVA
constexpr int kSecVoltPeak            = 231;  // 0.1 kV
constexpr int kSecVoltValley          = 232;  // 0.1 kV
constexpr int kSecCurrPeak            = 233;  // mA
constexpr int kSecCurrAvg             = 234;  // mA
constexpr int kAccSpark               = 238;  // both ways, accumulated
constexpr int kAccArc                 = 239;  // both ways, accumulated
constexpr int kAccDoubleSpark         = 240;  // both ways, accumulated
constexpr int kAmbientTemp            = 248;  // 0.1 C
constexpr int kLineFrequency          = 249;  // 0.1 Hz
constexpr int kTestAuxInp1            = 283;  // 0.1 mA, the 4-20 mA auxiliary input
constexpr int kSecDvdt                = 364;  // kV/ms, normal rate of rise
constexpr int kSparkDvdt              = 365;  // kV/ms, at the last spark
constexpr int kIdleCurrent            = 367;  // mA
constexpr int kSparkCurrent           = 414;  // mA, at the last spark
constexpr int kActiveSlope            = 418;  // 0 off, 1 quench, 3 first ignition, 4 A, 5 B, 6 C
constexpr int kLastActiveSlopeAtSpark = 419;
constexpr int kSparkVoltage           = 420;  // 0.1 kV, peak voltage at the last spark
constexpr int kHeartbeat              = 480;  // both ways
// nameless internal integers of the link
constexpr int kSystemState       = internal::kSystemState;        // 470 stops every program
constexpr int kActivityFlags     = internal::kActivityFlags;      // bit 1: CAN activity
constexpr int kTxFrames          = 1118;
constexpr int kRxFrames          = 1119;
constexpr int kUpdateCounter     = 1120;                          // once per measurement set
constexpr int kCanRefreshCounter = internal::kCanRefreshCounter;  // measurement sets, taken every 10 s by the unit
}  // namespace handle

constexpr int kStopWord                 = 470;
constexpr int kScopeSampling            = 1;
constexpr int kScopeTransferring        = 2;
constexpr unsigned char kCanActivityBit = 1;

}  // namespace dspsim
