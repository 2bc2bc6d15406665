// The Modbus client test against the unit's own register server (or another unit's).
#pragma once

#include "optioncall.h"

namespace inspector {

// "-m" [-rb|-rr address | -wb|-wr address value | -d | -i] [ip[:port]] [-v]
int runModbusClient(OptionArguments args);

}  // namespace inspector
