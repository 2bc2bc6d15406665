// The tags master reads and writes, by their fixed handles. A test checks every handle
// against its tag name in a freshly built store.
#pragma once

// clang-format off
// Named tags:              name                         handle
#define MASTER_TAG_HANDLES(X)                          \
  X(vxi_sumalarm,                   0)                 \
  X(vxi_masteralarm,                34)                \
  X(vxi_sumalarmtrip,               81)                \
  X(vxi_mastercontrolled,           82)                \
  X(vxo_tron,                       94)                \
  X(vxo_master,                     98)                \
  X(vxo_masteralarmreset,           103)               \
  X(vxo_saveset,                    105)               \
  X(vxo_sumalarmreset,              106)               \
  X(vxo_mastertron,                 152)               \
  X(vxo_mastertroff,                153)               \
  X(vxo_mastersync,                 163)               \
  X(vxo_mastermodecmd,              164)               \
  X(vxo_fakecr,                     214)               \
  X(vxi_actpower,                   222)               \
  X(vxi_secvoltavg,                 223)               \
  X(vxi_seccurravg,                 234)               \
  X(vxi_mirapowerfirst,             252)               \
  X(vxi_mirapowerintermediate,      253)               \
  X(vxi_mirapowerlast,              254)               \
  X(vxi_miramylimit,                259)               \
  X(vxi_opaccurrlim,                264)               \
  X(vxi_opaccurr,                   265)               \
  X(vxi_masterwarnalarm,            266)               \
  X(vxi_mastertripalarm,            267)               \
  X(vxi_masternrinoff,              268)               \
  X(vxi_masternrinon,               269)               \
  X(vxi_mastertotalnr,              270)               \
  X(vxi_mastertotpower,             271)               \
  X(vxi_masternrinmode1,            272)               \
  X(vxi_masternrinmode6,            277)               \
  X(vxi_masternotes,                278)               \
  X(vxi_uptime,                     397)               \
  X(vxi_accintriptime,              398)               \
  X(vxi_acctrontime,                399)               \
  X(vxi_acciogr1,                   400)               \
  X(vxi_acciogr5,                   404)               \
  X(vxi_acckwh,                     405)               \
  X(vxo_mode,                       560)               \
  X(vxo_mastermode,                 584)               \
  X(vxo_masteradrlimlo,             617)               \
  X(vxo_masteradrlimlhi,            618)               \
  X(vxo_time,                       620)               \
  X(vxo_nodeaddress,                621)               \
  X(vxo_fieldposition,              622)               \
  X(vxo_cellposition,               624)               \
  X(vxo_espcodefields,              748)               \
  X(vxo_esptotalcells,              754)               \
  X(vxo_mastergroup,                761)               \
  X(vxo_trondelay,                  762)               \
  X(vxo_lockedmode,                 922)               \
  X(vxo_timesyncopt,                927)               \
  X(vxi_miralimitreceived,          1137)              \
  X(vxi_miramyfieldtype,            1192)              \
  X(vxi_miramystatus,               1191)              \
  X(vxi_mirafactorid,               1193)              \
  X(vxi_miramasterisopopt,          1230)              \
  X(vxi_miragotnewfactors,          1231)              \
  X(vxo_iogr1node,                  1324)              \
  X(vxo_iogr1rapgrpg,               1328)              \
  X(vxi_espunitonoffpath1,          1400)              \
  X(vxi_espunitonoffpath8,          1407)              \
  X(vxi_abfieldstotpower,           1409)              \
  X(vxi_cdfieldstotpower,           1410)              \
  X(vxi_effieldstotpower,           1411)              \
  X(vxi_ghfieldstotpower,           1412)              \
  X(vxi_path12stotpower,            1417)              \
  X(vxi_path34stotpower,            1418)              \
  X(vxi_path56stotpower,            1419)              \
  X(vxi_path78stotpower,            1420)              \
  X(vxi_myesponoffpath,             1421)
// clang-format on

namespace master::tag {
#define MASTER_DECLARE_HANDLE(name, handle) constexpr int name = handle;
MASTER_TAG_HANDLES(MASTER_DECLARE_HANDLE)
#undef MASTER_DECLARE_HANDLE

// Runs of consecutive tags, addressed from their first handle.
constexpr int kStatisticsGroups = 5;  // vxi_acciogr1 .. vxi_acciogr5
constexpr int kModeCounters     = 6;  // vxi_masternrinmode1 .. 6
constexpr int kPathWords        = 8;  // vxi_espunitonoffpath1 .. 8
constexpr int kRappingGroups    = 4;  // vxo_iogr1node .. 4, vxo_iogr1rapgrpg .. 4
}  // namespace master::tag

// Internal integers without a name.
namespace master::internal {
constexpr int kSystemState     = 1101;                      // 470 ends every program's loop
constexpr int kActivityFlags   = 1116;                      // bit 3: a master commanded this unit
constexpr int kUdpPollCounter  = 1123;                      // polls received
constexpr int kUdpSendCounter  = 1136;                      // broadcasts sent as master
constexpr int kCellStatusFirst = 1200;                      // MiraCellStatus of cells 1..10
constexpr int kCellPowersFirst = 1210;                      // ThreePowers (per mille) of cells 1..10
constexpr int kCellLimitsFirst = 1220;                      // ThreeLimits of cells 1..10, written by MIRA
constexpr int kRappingState[4] = {1332, 1333, 1334, 1336};  // I/O groups 1..4

constexpr int kStopSystemState = 470;
constexpr int kCommandedBit    = 3;
}  // namespace master::internal
