// The usage text printed when the inspector is called without arguments or wrongly.
#pragma once

namespace inspector {

void printManual();
// After the manual when a tag was given with an unknown function.
void printExample(const char* programName);

}  // namespace inspector
