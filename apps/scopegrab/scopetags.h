// The tags scopegrab reads and writes, by their fixed handles. A test checks every handle
// against its tag name in a freshly built store.
#pragma once

#include <array>

// clang-format off
// Named tags:                 name                           handle
#define SCOPEGRAB_TAG_HANDLES(X)                                     \
  X(vxi_tronstatus,               86)                                \
  X(vxi_rapping,                  88)                                \
  X(vxo_tron,                     94)                                \
  X(vxo_actmodekora,              95)                                \
  X(vxo_runtest,                  155)                               \
  X(vxo_scopegrabtrigger,         165)                               \
  X(vxi_firingratio,              215)                               \
  X(vxi_koracoronakv,             241)                               \
  X(vxi_koracurrentlimit,         242)                               \
  X(vxi_koratestfr,               243)                               \
  X(vxi_linefrequency,            249)                               \
  X(vxi_capturedate,              368)                               \
  X(vxi_capturetime,              369)                               \
  X(vxi_zerocrossdeviation,       524)                               \
  X(vxi_primaryvoltsq,            525)                               \
  X(vxi_secondaryvoltsq,          526)                               \
  X(vxi_primarycurrentsq,         527)                               \
  X(vxi_secondarycurrentsq,       528)                               \
  X(vxi_dvdtpeak,                 529)                               \
  X(vxo_actmodefiringratio,       559)                               \
  X(vxo_scopeview2type,           592)                               \
  X(vxo_samplerate,               593)                               \
  X(vxo_webscopedatasize,         594)                               \
  X(vxo_date,                     619)                               \
  X(vxo_time,                     620)                               \
  X(vxo_scopegrabstatus,          763)                               \
  X(vxo_scopegrabmethod,          765)                               \
  X(vxo_koracoronaratio,          787)                               \
  X(vxo_korausedvref,             788)                               \
  X(vxo_korausedcoronatime,       789)                               \
  X(vxi_coronavalleyfromscope,    1232)                              \
  X(vxi_peakvoltagefromscope,     1233)                              \
  X(vxo_recalculate,              1240)                              \
  X(vxi_korameasuredcoronatime,   1268)                              \
  X(vxo_serialtransmisson,        1323)
// clang-format on

namespace scopegrab {

namespace tag {
#define SCOPEGRAB_DECLARE_HANDLE(name, handle) constexpr int name = handle;
SCOPEGRAB_TAG_HANDLES(SCOPEGRAB_DECLARE_HANDLE)
#undef SCOPEGRAB_DECLARE_HANDLE

// The KORA measurement history, newest first: vxi_koralast<kind>01 .. 08.
constexpr int kHistoryDepth = 8;
// clang-format off
constexpr std::array<int, kHistoryDepth> kQFull  = {1246, 1249, 1252, 1282, 1285, 1072, 1077, 1082};
constexpr std::array<int, kHistoryDepth> kQTrunc = {1247, 1250, 1253, 1283, 1286, 1073, 1078, 1083};
constexpr std::array<int, kHistoryDepth> kStep   = {1248, 1251, 1254, 1284, 1287, 1074, 1079, 1084};
constexpr std::array<int, kHistoryDepth> kTime   = {1272, 1274, 1276, 1278, 1280, 1070, 1075, 1080};
constexpr std::array<int, kHistoryDepth> kQCurr  = {1273, 1275, 1277, 1279, 1281, 1071, 1076, 1081};
// clang-format on
}  // namespace tag

// Internal integers without a name.
namespace internal {
constexpr int kSystemState      = 1101;  // 470 ends every program's loop
constexpr int kTruncationRatio  = 1269;  // 0.01 %, firing ratio of the step below, -1 for none
constexpr int kBadMeasurement   = 1270;  // non-zero: the capture is no good measurement
constexpr int kKvOffset         = 1271;  // 0.001 kV subtracted from the secondary voltage
constexpr int kPulseViewCounter = 1344;  // counts the pulse views analysed
constexpr int kRestartCounter   = 1371;  // database counts its restarts of scopegrab here
constexpr int kStopSystemState  = 470;
}  // namespace internal

// vxo_scopegrabstatus
namespace status {
constexpr int kSampling     = 1;
constexpr int kTransferring = 2;
constexpr int kDone         = 4;
}  // namespace status

int readTag(int handle);
void writeTag(int handle, int value);

}  // namespace scopegrab
