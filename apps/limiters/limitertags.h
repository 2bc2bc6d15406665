// The tags limiters reads and writes, by their fixed handles. A test checks every handle
// against its tag name in a freshly built store.
#pragma once

#include <array>

// clang-format off
// Named tags:              name                     handle
#define LIMITERS_TAG_HANDLES(X)                    \
  X(vxi_tronstatus,             86)                \
  X(vxi_rapping,                88)                \
  X(vxi_accspark,               238)               \
  X(vxi_accarc,                 239)               \
  X(vxi_accdoublespark,         240)               \
  X(vxi_accshortlim0,           490)               \
  X(vxi_accshortlim1,           485)               \
  X(vxi_accshortlim2,           487)               \
  X(vxi_accshortlim3,           486)               \
  X(vxi_accshortlim4,           484)               \
  X(vxi_accshortlim5,           489)               \
  X(vxi_accshortlim6,           488)               \
  X(vxi_accshortlim7,           491)               \
  X(vxi_accshortlim8,           493)               \
  X(vxi_accshortlim9,           492)               \
  X(vxi_accshortlim10,          522)               \
  X(vxi_accshortlim11,          536)               \
  X(vxi_accshortlim12,          537)               \
  X(vxi_acclonglim0,            496)               \
  X(vxi_acclonglim1,            495)               \
  X(vxi_acclonglim2,            497)               \
  X(vxi_acclonglim3,            499)               \
  X(vxi_acclonglim4,            501)               \
  X(vxi_acclonglim5,            503)               \
  X(vxi_acclonglim6,            494)               \
  X(vxi_acclonglim7,            498)               \
  X(vxi_acclonglim8,            502)               \
  X(vxi_acclonglim9,            500)               \
  X(vxi_acclonglim10,           523)               \
  X(vxi_acclonglim11,           538)               \
  X(vxi_acclonglim12,           539)               \
  X(vxi_acctemplim0,            511)               \
  X(vxi_acctemplim1,            512)               \
  X(vxi_acctemplim2,            513)               \
  X(vxi_acctemplim3,            514)               \
  X(vxi_acctemplim4,            515)               \
  X(vxi_acctemplim5,            516)               \
  X(vxi_acctemplim6,            517)               \
  X(vxi_acctemplim7,            518)               \
  X(vxi_acctemplim8,            519)               \
  X(vxi_acctemplim9,            520)               \
  X(vxi_acctemplim10,           521)               \
  X(vxi_acctemplim11,           540)               \
  X(vxi_acctemplim12,           541)               \
  X(vxo_limiterstatreset,       909)               \
  X(vxo_limiterstatshort,       910)               \
  X(vxo_limiterstatlong,        911)               \
  X(vxi_timer1status,           1103)              \
  X(vxi_timer2status,           1104)              \
  X(vxi_timer3status,           1105)              \
  X(vxi_timer4status,           1106)              \
  X(vxi_timer5status,           1107)              \
  X(vxi_timer6status,           1108)              \
  X(vxi_timer7status,           1181)              \
  X(vxi_timer8status,           1183)              \
  X(vxi_timer9status,           1185)              \
  X(vxi_timer10status,          1187)
// clang-format on

namespace limiters {

constexpr int kCodes  = 13;  // limiter codes 0..12 in the statistics
constexpr int kTimers = 10;

namespace tag {
#define LIMITERS_DECLARE_HANDLE(name, handle) constexpr int name = handle;
LIMITERS_TAG_HANDLES(LIMITERS_DECLARE_HANDLE)
#undef LIMITERS_DECLARE_HANDLE

// Per limiter code; the published tags are not numbered in code order.
// clang-format off
constexpr std::array<int, kCodes> kShortShare = {
    vxi_accshortlim0, vxi_accshortlim1, vxi_accshortlim2,  vxi_accshortlim3,  vxi_accshortlim4,
    vxi_accshortlim5, vxi_accshortlim6, vxi_accshortlim7,  vxi_accshortlim8,  vxi_accshortlim9,
    vxi_accshortlim10, vxi_accshortlim11, vxi_accshortlim12};
constexpr std::array<int, kCodes> kLongShare = {
    vxi_acclonglim0,  vxi_acclonglim1,  vxi_acclonglim2,   vxi_acclonglim3,   vxi_acclonglim4,
    vxi_acclonglim5,  vxi_acclonglim6,  vxi_acclonglim7,   vxi_acclonglim8,   vxi_acclonglim9,
    vxi_acclonglim10, vxi_acclonglim11, vxi_acclonglim12};
constexpr std::array<int, kCodes> kCount = {
    vxi_acctemplim0,  vxi_acctemplim1,  vxi_acctemplim2,   vxi_acctemplim3,   vxi_acctemplim4,
    vxi_acctemplim5,  vxi_acctemplim6,  vxi_acctemplim7,   vxi_acctemplim8,   vxi_acctemplim9,
    vxi_acctemplim10, vxi_acctemplim11, vxi_acctemplim12};
constexpr std::array<int, kTimers> kTimerStatus = {
    vxi_timer1status, vxi_timer2status, vxi_timer3status, vxi_timer4status, vxi_timer5status,
    vxi_timer6status, vxi_timer7status, vxi_timer8status, vxi_timer9status, vxi_timer10status};
// clang-format on
}  // namespace tag

// Internal integers without a name.
namespace internal {
constexpr int kSystemState     = 1101;  // 470 ends every program's loop
constexpr int kSecondsOfDay    = 1102;  // seconds since midnight, the loop's tick
constexpr int kStopSystemState = 470;
}  // namespace internal

}  // namespace limiters
