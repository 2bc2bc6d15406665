// The tags remoteio reads and writes, by their fixed handles. Each row is the first of a
// run of consecutive handles, one per input (6) or output (5); a test checks every handle
// of every run against its tag name in a freshly built store.
#pragma once

namespace remoteio::tag {

// clang-format off
// First handle of each run:                 handle   first tag of the run
constexpr int kInputValue         = 171;   // vxo_virtualinput01
constexpr int kInputType          = 846;   // vxo_virtualinput01type
constexpr int kInputIp            = 852;   // vxo_virtualinput01ip
constexpr int kInputAddress       = 858;   // vxo_virtualinput01addr
constexpr int kInputRegisterBit   = 864;   // vxo_virtualinput01regbit
constexpr int kInputHealth        = 429;   // vxi_vi1health
constexpr int kOutputType         = 177;   // vxo_virtualoutput01type
constexpr int kOutputIp           = 808;   // vxo_virtualoutput01ip
constexpr int kOutputAddress      = 813;   // vxo_virtualoutput01addr
constexpr int kOutputRegisterBit  = 1051;  // vxo_virtualoutput01regbit
constexpr int kOutputHealth       = 435;   // vxi_vo1health
// clang-format on

// The I/O group outputs that outputs 1..5 copy: vxi_iogr1outp, vxi_iogr2outp, ... (every
// second handle, with the group's feedback in between).
constexpr int kGroupOutput     = 49;
constexpr int kGroupOutputStep = 2;

}  // namespace remoteio::tag
