// The nameless internal words the monitor reads by their fixed handles; named tags are
// looked up by name when they are read.
#pragma once

namespace monitor::handles {
constexpr int kSystemState   = 1101;  // 470 ends the program
constexpr int kTick          = 1102;  // seconds of day
constexpr int kActivityFlags = 1116;  // bit 0 web server, 1 CAN bus, 2 Modbus, 3 UDP
constexpr int kCanTxFrames   = 1118;  // frames sent on the CAN bus
constexpr int kCanRxFrames   = 1119;  // frames received on the CAN bus
constexpr int kUpdateCounter = 1120;  // changes at every fresh set of measurements
constexpr int kMiraProfile   = 1189;  // three 10-bit powers, tenths of a percent
constexpr int kMiraStatus    = 1200;  // ten per-unit status words
constexpr int kMiraPowers    = 1210;  // ten per-unit power words, 10-bit fields
constexpr int kMiraLimits    = 1220;  // ten per-unit limit words, 10-bit fields
constexpr int kDebugWords    = 1396;  // four debug words
constexpr int kStopValue     = 470;   // the system state that ends every program
}  // namespace monitor::handles
