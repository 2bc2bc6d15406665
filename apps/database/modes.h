// Operating modes: each of the six modes keeps a stored set of energisation settings; the
// selected mode's set is mirrored into the working copy (the actual-mode tags) that the
// controller uses, and an edit of either side is carried to the other.
#pragma once

// One mode's settings.
struct ms {
  int kora;         // charge-ratio optimisation on/off
  int rappall;
  int opac;         // opacity optimisation on/off
  int voltpeaklim;  // 0.1 kV
  int currlim;      // mA
  int firingratio;  // 0.01 %
  int rappintens;   // 1..10
  int shortquench;  // 0..14
  int sparkrecoverytime;  // 0.1 ms
  int resistivity;  // 0..3
  int idlecurrentlimit;   // per mille of the current limit
};

struct ModeState {
  ms oldSettings{};         // the settings last synchronised
  int masterModeCalls = 0;  // calls of masterModeSelector with the selector active
};

// A mode index outside 0..5 does nothing.
void getModeSettings(int mode, ms* returnStruct);
void setModeSettings(int mode, const ms& setStruct);
void getActSettings(ms* returnStruct);
void setActSettings(const ms& setStruct);
bool msStructCmp(const ms* a, const ms* b);

// Twice per second; true when one side was written.
bool checkModeSettings(ModeState& state);
// Every 3 seconds: the plant-wide mode chosen from a process value on the master unit.
void masterModeSelector(ModeState& state);
