// Tables of many tags: the parameter dump, the Modbus-writable tags and the CAN map.
#pragma once

#include "optioncall.h"

namespace inspector {

int printColouredTable(OptionArguments args);  // "-d" [from [to]]
int printFullTable(OptionArguments args);      // "-f" / "-F"
int printModbusWritable(OptionArguments args); // "-Q"
int printCanMap(OptionArguments args);         // "-C"

}  // namespace inspector
