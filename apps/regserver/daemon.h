// Running the register server as a daemon, its pid file and its signals.
#pragma once

#include <string>

namespace regserver {

// Detaches from the terminal; the parent processes end here. With a pid file name the
// file is created, locked and holds the process id; failing that the daemon ends.
void daemonize(const std::string& pidFileName);

// Until the server is fully up: SIGINT releases the pid file and restores the default
// action (a second SIGINT ends the program); SIGHUP asks for a configuration reload.
void installStartupSignalHandlers();

// From now on SIGINT closes the listening socket and ends with the signal number.
void installShutdownHandler(int listeningSocket);

// True once per SIGHUP received since the last call.
bool reloadRequested();

}  // namespace regserver
