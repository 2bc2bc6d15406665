// The daemon's configuration file: paths and the local/remote server port.
#pragma once

#include "daemon.h"

// Reads the keys into daemon.path and daemon.serverPort. Problems only print: an
// unreadable file or a missing key leaves its target empty.
void readConfiguration(const char* iniFile, Daemon& daemon);

// Tag 1132 takes the configured port when it lies in 1025..59999.
void applyServerPort(const Daemon& daemon);
