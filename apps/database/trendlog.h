// The trend-log trigger: asks the logging consumer for one record (internal tag 1196)
// when the operating point of the T/R set changes noticeably, when a watched tag or the
// run state changes, and periodically.
#pragma once

class TrendLogTrigger {
 public:
  // Every pass.
  void letsLog();

 private:
  void trigger();

  int timer_           = 0;  // passes since the last record
  int changeThreshold_ = 0;  // raw units of the watched measurements
  int lastspm_         = 0;
  int lastfr_          = 0;  // 0.01 %
  int lastkV_          = 0;  // 0.1 kV
  int lastmA_          = 0;  // mA
  int lastW_           = 0;  // 0.1 kW
  int lastLogHandle1_  = 0;
  int lastLogHandle2_  = 0;
  int lastTRON_        = 0;
  int lastTRONSTATUS_  = 0;
};
