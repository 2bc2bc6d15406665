// Handles of the tags that several modules and programs address directly. Every program
// uses the same fixed numbers; they are declared once here and checked against the
// definitions by a test.
#pragma once

// Named tags, by tag name:     name                      handle
#define ORVIX_SHARED_TAG_HANDLES(X)        \
  X(vxi_sumalarm,                0)        \
  X(vxi_sumalarmtrip,            81)       \
  X(vxi_sumalarmwarning,         84)       \
  X(vxi_tronstatus,              86)       \
  X(vxi_measurement,             87)       \
  X(vxi_errorsinlogfile,         89)       \
  X(vxo_tron,                    94)       \
  X(vxo_master,                  98)       \
  X(vxo_troffcommand,            100)      \
  X(vxo_clearhistory,            101)      \
  X(vxo_saveset,                 105)      \
  X(vxo_sumalarmreset,           106)      \
  X(vxo_scopegrabtrigger,        165)      \
  X(vxi_limiter,                 212)      \
  X(vxi_secvoltavg,              223)      \
  X(vxi_seccurrpulse,            224)      \
  X(vxi_seccurrdens,             225)      \
  X(vxi_spm,                     226)      \
  X(vxi_systemversion,           360)      \
  X(vxi_errlogsize,              396)      \
  X(vxi_funcurrlimit,            410)      \
  X(vxi_commonstatus,            504)      \
  X(vxo_ratioseccurr,            610)      \
  X(vxo_date,                    619)      \
  X(vxo_time,                    620)      \
  X(vxo_collectorarea,           623)      \
  X(vxo_vimincurrdens,           742)      \
  X(vxo_lockedmode,              922)      \
  X(vxi_positiontag,             1343)     \
  X(vxo_viminimumcurrent,        1350)     \
  X(vxi_spmtag,                  1372)

namespace tags {
#define ORVIX_DECLARE_TAG_HANDLE(name, handle) constexpr int name = handle;
ORVIX_SHARED_TAG_HANDLES(ORVIX_DECLARE_TAG_HANDLE)
#undef ORVIX_DECLARE_TAG_HANDLE
}  // namespace tags

// Internal integers without a name.
namespace internal {
constexpr int kSystemState = 1101;           // 470 ends every program's loop
constexpr int kSecondsOfDay = 1102;          // seconds since midnight
constexpr int kActivityFlags = 1116;         // bit 1 CAN link, bit 2 Modbus client
constexpr int kAlarmSpecificCode = 1121;     // specific code of the next alarm history entry
constexpr int kCanRefreshCounter = 1122;     // measurement sets since the last rate
constexpr int kModbusLogLimit = 1126;        // Modbus log size limit, KB
constexpr int kDateWord = 1129;              // year * 10000 + month * 100 + day
constexpr int kTimeWord = 1130;              // hours * 10000 + minutes * 100 + seconds
constexpr int kViProgress = 1174;            // V-I measurement progress, -1 = none
constexpr int kViResult = 1175;              // V-I measurement result
constexpr int kViStarting = 1177;            // V-I measurement requested or starting
constexpr int kTrendTrigger = 1196;          // 1 asks for one trend record
constexpr int kTrendLogDepth = 1197;         // trend records kept: 40, 100 or 240
constexpr int kMaxIdleCurrent = 1303;        // highest idle current, mA
constexpr int kModbusRefreshCounter = 1378;  // advanced when the register server should synchronise
}  // namespace internal
