// V-I measurements: requests from the operator or a timer, the start of the measurement
// program with its set-up file, the measurement's state as the operator sees it, and the
// timer simulation program.
#pragma once

#include "daemon.h"

// Starts the measurement program with the set-up file of vxo_vitype and the current
// range from the minimum current density.
void startVi();
// True when the timer that vxo_vitimerconnection names reads 1 and the last call did not
// already ask; never while a measurement runs or is starting.
bool checkStartViFromTimer(Daemon& daemon);
// vxi_vistatetext from vxi_vistate; vxi_vierrorcode stays only with the error text.
void setViText();
// Starts the timer simulation program on request (vxo_simulate 1) and clears the request.
void runTimerSimulation(const Daemon& daemon);

// Slot tasks
bool serveViRequests(Daemon& daemon);         // slot 10: timer request, duration, text, start
bool superviseViMeasurement(Daemon& daemon);  // slot 11: state from the measurement program
bool startTimerSimulation(Daemon& daemon);    // slot 13
