// The inspector's two command-line forms: "<handle|name> [function [argument]]" and
// "<option> [arguments...]".
#pragma once

namespace inspector {

// Runs one call and returns the program's exit status.
int runCommandLine(int argc, char** argv);

}  // namespace inspector
