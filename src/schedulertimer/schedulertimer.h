// The unit's rapping scheduler client, run by database once a second: decides when the
// unit wants to rap (fixed repetition timer with an optional five-step power-reduced
// sequence, or process conditions), asks the rapping queue for a slot through internal
// tags 1377 and 1376, and drives the rapping result tags for the slot.
#pragma once

#include "conditions.h"

namespace rapping {

// Connection codes of an I/O group.
constexpr int kRappingOutput     = 11;
constexpr int kConsecutiveOutput = 12;
constexpr int kLongestAskedTime  = 250;  // s

class SchedulerClient {
 public:
  // One pass (one second).
  void pass();

  // The request word for this unit: asked time + 1, field and cell in the queue layout.
  int requestWord(bool conditionMode) const;
  // The default repetition interval for field number 1..13, s, from the process factors.
  static int defaultInterval(int fieldNumber);
  // Seconds between the steps of the five-step sequence for a repetition interval.
  static int stepInterval(int interval);

 private:
  enum FixedState : int { kStartDelay = 0, kInterval = 1, kFixedAsk = 2, kFixedRapping = 3 };
  enum ConditionState : int {
    kConditionStartDelay = 0,
    kConditionAsk        = 2,
    kConditionWindow     = 4,
    kConditionRapping    = 5,
    kMinimumInterval     = 6,
  };

  int fixedPass();
  int conditionPass();
  void startDelay();
  void intervalState();
  void reloadInterval(int interval);
  void rapFixed();
  void rapCondition();
  bool ask(bool conditionMode);
  bool slotRequest(bool conditionMode);
  int askedTime(bool conditionMode) const;
  int reducedCurrent() const;
  void commonTail(int state);

  int fixedTimerState_     = kStartDelay;
  int autoTimerState_      = kConditionStartDelay;
  int timer_               = 0;  // s
  int wait_                = 0;  // step of the slot request
  int fiveStepSquenceState_ = 0;
  int pcrState_            = 0;  // 0 full current, 1..5 the steps of the reduced sequence
  int ratioCnt_            = 0;  // intervals since the last reduced one
  int lastResult_          = 0;
  int consecutiveTimer_    = 0;  // s until the consecutive rapper starts
  int consecutiveOn_       = 0;  // s the consecutive rapper still runs
  ConditionSampler conditions_;
};

}  // namespace rapping

// The pass database runs in loop slot 12, on the daemon's one client.
void rappingShedulderClient();
