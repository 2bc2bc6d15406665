// The charge samples taken at each step during one optimisation run, and the value of a
// step that the comparisons use.
#pragma once

#include "kora/kora.h"

namespace kora {

// What the capture just read back measured.
enum class Capture { kFull, kTrunc };

void clearSamples(SampleTable& table);

// Records the capture just finished for step s; true when the step has enough samples
// of that kind. A full capture also gives a truncated sample when steps s and s + 1
// share a current density; a truncated capture gives only its truncated charge.
bool measurementDone(KoraState& state, int s, Capture capture);

// The step's charge of one kind: the rounded mean of its samples, 0 when there is none.
int32_t stepQValue(const SampleTable& table, int s, Capture capture);

// Records the firing ratio of step s in the four-entry history of changes.
void frOptimationHistory(const KORA& kora, int s);

}  // namespace kora
