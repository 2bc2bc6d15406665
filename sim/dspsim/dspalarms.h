// The signal processor's own alarms: raised on request (command line, control file), shown
// in their CAN-mapped tags with the sum alarm, and cleared by the operator reset.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "registers.h"

namespace dspsim {

struct DspAlarm {
  int handle;
  const char* name;
  bool trip;  // a trip switches the T/R set off
};

std::span<const DspAlarm> dspAlarms();
const DspAlarm* findDspAlarm(std::string_view name);

class AlarmControl {
 public:
  // Sets the alarm tag and the sum alarm.
  void raise(const DspAlarm& alarm, DspRegisters& dsp);
  bool tripActive(const DspRegisters& dsp) const;
  // The reset handshake: once vxo_sumalarmreset has been 1 for resetAckMs, every alarm of the
  // signal processor and the sum alarm are cleared, and so is the reset. True on that pass.
  bool handleReset(int64_t nowMs, int resetAckMs, DspRegisters& dsp);

 private:
  int64_t resetSeenMs_ = -1;
};

}  // namespace dspsim
