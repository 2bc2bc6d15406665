// Small periodic tasks beside the modes: rise-time complements, communication rates and
// clearing the signal processor's readings when its heartbeat is lost.
#pragma once

// Once per second.
void handleRiseTimeCalculations();
// Every 10 seconds: rates per 10 s from the counters other code increments.
void updateComSpeed();
// After ten seconds without heartbeat: every reading from the signal processor becomes 0,
// except the digital inputs.
void resetDSPreadings();
