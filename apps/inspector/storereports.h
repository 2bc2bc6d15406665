// Reports about the whole store: its figures, names, save status and the unit's clock.
#pragma once

#include "optioncall.h"

namespace inspector {

int printStoreFigures(OptionArguments args);  // "-?"
int printTagNames(OptionArguments args);      // "-l"
int printSaveStatus(OptionArguments args);    // "-z"
int printUnitDateTime(OptionArguments args);  // "-D"

}  // namespace inspector
