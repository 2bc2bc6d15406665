// The run command of the T/R set: the on/off command pair, the flag file that tells the
// next start that the set was on, and the command the signal processor gets at start-up.
#pragma once

struct TronState {
  int lastTron = 0;    // vxo_tron on the previous pass
  int lastStatus = 0;  // vxi_tronstatus on the previous pass
};

// Every pass.
void handleTronCmd(TronState& state);
void updateTronFile(TronState& state);
// Start-up, after vxo_tron has been set to 0: the CAN layer sees a change of the run
// command and sends 0 to the signal processor on its next cycle.
void makeDSPtroff();
