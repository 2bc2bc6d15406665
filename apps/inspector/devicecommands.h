// The two outputs the inspector drives besides the store: an LED and a test datagram.
#pragma once

#include "optioncall.h"

namespace inspector {

int switchLed(OptionArguments args);        // "-L" 1|0
int sendUnitMessage(OptionArguments args);  // "-U" message

}  // namespace inspector
