// The two short texts of the spark display: the slope and spark rate ("B:12"), and the
// field and cell position ("A3").
#pragma once

// Decides, while the controller sits at its limit, whether the rate shows "C:".
struct SpmPrefixState {
  int counter = 0;
};

// Once per second: vxi_spmtag.
void setSpmString(SpmPrefixState& state);
// Every 10 seconds: vxi_positiontag.
void setPositionString();
