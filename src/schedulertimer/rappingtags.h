// The tags the rapping scheduler client and the rapping queue read and write, by their
// fixed handles. A test checks every handle against its tag name in a freshly built store.
#pragma once

// clang-format off
// Named tags:                       name                            handle
#define RAPPING_TAG_HANDLES(X)                                      \
  X(vxi_schedulerresult,             46)                            \
  X(vxi_tronstatus,                  86)                            \
  X(vxi_measurement,                 87)                            \
  X(vxo_tron,                        94)                            \
  X(vxo_rappingtype,                 149)                           \
  X(vxi_actualfiringangle,           216)                           \
  X(vxi_secvoltavg,                  223)                           \
  X(vxi_seccurrpulse,                224)                           \
  X(vxi_rappingtimerinfo,            371)                           \
  X(vxi_rappingstate,                372)                           \
  X(vxi_schedulerpcrresult,          373)                           \
  X(vxi_schedulerqueuepos00,         445)                           \
  X(vxi_momentaryspm,                542)                           \
  X(vxo_actmodecurrlim,              562)                           \
  X(vxo_time,                        620)                           \
  X(vxo_fieldposition,               622)                           \
  X(vxo_cellposition,                624)                           \
  X(vxo_iogr1type,                   629)                           \
  X(vxo_iogr2type,                   631)                           \
  X(vxo_iogr3type,                   633)                           \
  X(vxo_iogr4type,                   635)                           \
  X(vxo_iogr1connection,             637)                           \
  X(vxo_iogr2connection,             638)                           \
  X(vxo_iogr3connection,             639)                           \
  X(vxo_iogr4connection,             640)                           \
  X(vxo_dustconcentration,           782)                           \
  X(vxo_espvelocity,                 783)                           \
  X(vxo_stickiness,                  784)                           \
  X(vxo_particlesize,                785)                           \
  X(vxo_rappingdesign,               786)                           \
  X(vxo_rappingruntime,              793)                           \
  X(vxo_rappingsched1ip,             794)                           \
  X(vxo_rappingsched2ip,             795)                           \
  X(vxo_rappreptime,                 796)                           \
  X(vxo_rapprepmintime,              797)                           \
  X(vxo_rapprepmaxtime,              798)                           \
  X(vxo_rapprepday,                  799)                           \
  X(vxo_rapprepmaxday,               800)                           \
  X(vxo_rapprepminday,               801)                           \
  X(vxo_rappingmode,                 802)                           \
  X(vxo_rappingratio,                803)                           \
  X(vxo_schedincomingrequest,        804)                           \
  X(vxo_rappingpcr,                  805)                           \
  X(vxo_rappingstartpcr,             806)                           \
  X(vxo_rappingendpcr,               807)                           \
  X(vxo_iogr5type,                   871)                           \
  X(vxo_iogr5connection,             873)                           \
  X(vxo_ipaddress,                   906)                           \
  X(vxo_schedulerconnectstatus,      1056)                          \
  X(vxi_secavgimpedance,             1179)                          \
  X(vxo_autorappcondition01,         1304)                          \
  X(vxo_autorapplevel01,             1305)                          \
  X(vxo_autorapplogic,               1306)                          \
  X(vxo_autorappcondition02,         1307)                          \
  X(vxo_autorapplevel02,             1308)                          \
  X(vxi_autorappcondstatus01,        1309)                          \
  X(vxi_autorappcondstatus02,        1310)                          \
  X(vxi_autorappstatus,              1311)                          \
  X(vxi_autorappcurrentreading01,    1312)                          \
  X(vxi_autorappcurrentreading02,    1313)                          \
  X(vxo_schedulerconsecutivedelay,   1314)                          \
  X(vxi_schedulerconsecutiveres,     1315)                          \
  X(vxi_lastincomingrequest1,        1379)                          \
  X(vxi_lastincomingrequesttime1,    1380)                          \
  X(vxi_lastincomingrequest2,        1381)                          \
  X(vxi_lastincomingrequesttime2,    1382)
// clang-format on

namespace rapping::tag {
#define RAPPING_DECLARE_TAG_HANDLE(name, handle) constexpr int name = handle;
RAPPING_TAG_HANDLES(RAPPING_DECLARE_TAG_HANDLE)
#undef RAPPING_DECLARE_TAG_HANDLE
}  // namespace rapping::tag

// Internal integers without a name.
namespace rapping::internal {
constexpr int kQueueStop    = 1375;  // non-zero ends rapqueue, which clears it on leaving
constexpr int kAnswer       = 1376;  // from rapqueue: 0 not queued, > 0 s to wait, < 0 s left of the running slot
constexpr int kRequest      = 1377;  // to rapqueue: the request word; rapqueue clears it once sent
constexpr int kTrendTrigger = 1196;  // 1 asks for one process log record
constexpr int kSecondsOfDay = 1102;
constexpr int kSystemState  = 1101;  // 470 ends every program's loop
constexpr int kSystemStop   = 470;
}  // namespace rapping::internal
