// The daemon's command line: "-c <config_file_path>" and the debug option "D<level>".
#pragma once

#include <cstdio>

struct CommandLine {
  const char* iniFile = nullptr;  // the last "-c" path
  int debugLevel = 0;             // 0..2
};

// 0 when the daemon can start; else the exit status, with the reason printed on err.
int parseCommandLine(int argc, char** argv, CommandLine* commandLine, FILE* out, FILE* err);
