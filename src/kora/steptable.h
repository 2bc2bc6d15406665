// The step and field tables, their loader, and the conversions between pulse current and
// current density that the measurements use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kora/kora.h"

namespace kora {

// Loads the step table, the field table and the two intervals from the configuration file
// at path (a unit path); keys that are missing leave their fields as they are.
void loadKoraTable(const char* path, KORA& kora);

// Reads up to count integers separated by ";" into values; an empty or malformed item
// leaves its value unchanged. Returns the number of items seen.
int parseStepList(const char* text, int16_t* const values[], int count);

int pulseCurrent(int cDensity);        // µA/m² → mA with the collector area
int currentDensity(int pulseCurrent);  // mA → µA/m²

int fieldMinStep(const KORA& kora);
int fieldTypStep(const KORA& kora);
int fieldMaxStep(const KORA& kora);

// Charge ratio of a step: 10033 / firing ratio.
int stepToCR(const KORA& kora, int step);

}  // namespace kora
