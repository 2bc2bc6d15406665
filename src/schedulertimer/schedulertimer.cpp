#include "schedulertimer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "rappingtags.h"
#include "rappingword.h"
#include "sharedmem/tagaccess.h"

namespace rapping {

namespace {

constexpr int kConditionMode     = 1;  // vxo_rappingtype
constexpr int kReducedSequence   = 1;  // vxo_rappingmode
constexpr int kFullCurrent       = 65535;  // vxo_rappingstartpcr/endpcr: no reduction
constexpr int kNoReducedCurrent  = -1;     // vxi_schedulerpcrresult
constexpr int kDefaultRatio      = 10;
constexpr int kShortStep         = 180;    // s, the step of an interval below kShortInterval
constexpr int kShortInterval     = 1800;   // s
constexpr int kLongStep          = 1800;   // s, the step from kLongInterval on
constexpr int kLongInterval      = 18010;  // s
constexpr int kStartDelayPerStep = 75;     // s per (cell - 1) x field
constexpr int kStartDelayBase    = 5;      // s
constexpr int kFieldLetters      = 13;     // 'A'..'M'

struct IoGroup {
  int connection;
  int type;
};
// clang-format off
// connection tag                 type tag
constexpr IoGroup kIoGroups[] = {
    {tag::vxo_iogr1connection,    tag::vxo_iogr1type},
    {tag::vxo_iogr2connection,    tag::vxo_iogr2type},
    {tag::vxo_iogr3connection,    tag::vxo_iogr3type},
    {tag::vxo_iogr4connection,    tag::vxo_iogr4type},
    {tag::vxo_iogr5connection,    tag::vxo_iogr5type},
};
// clang-format on
constexpr int kProcessFactors[] = {tag::vxo_dustconcentration, tag::vxo_espvelocity, tag::vxo_particlesize,
                                   tag::vxo_stickiness, tag::vxo_rappingdesign};

int read(int handle) { return dbReadValueByHandle(handle); }
void write(int handle, int value) {
  int error = 0;
  dbSetValueByHandle(handle, value, &error);
}

bool anyGroupConnectedTo(int connection, bool includeGroup5) {
  const size_t groups = includeGroup5 ? std::size(kIoGroups) : std::size(kIoGroups) - 1;
  for (size_t group = 0; group < groups; ++group) {
    if (read(kIoGroups[group].connection) == connection) return true;
  }
  return false;
}

bool consecutiveRapperConfigured() {
  for (const IoGroup& group : kIoGroups) {
    if (read(group.connection) == kConsecutiveOutput && read(group.type) == 1) return true;
  }
  return false;
}

int slotLength() { return convertToSeconds(read(tag::vxo_rappingruntime), 0); }
int repetitionInterval() { return convertToSeconds(read(tag::vxo_rappreptime), read(tag::vxo_rapprepday)); }
int minimumInterval() { return convertToSeconds(read(tag::vxo_rapprepmintime), read(tag::vxo_rapprepminday)); }
int maximumInterval() { return convertToSeconds(read(tag::vxo_rapprepmaxtime), read(tag::vxo_rapprepmaxday)); }
uint32_t ownAddress() { return static_cast<uint32_t>(read(tag::vxo_ipaddress)); }
bool tron() { return read(tag::vxo_tron) == 1; }

}  // namespace

int SchedulerClient::defaultInterval(int fieldNumber) {
  int64_t percent = 100;
  for (const int factor : kProcessFactors) percent = ((read(factor) * 20 + 80) * percent + 50) / 100;
  for (int doubling = 1; doubling < fieldNumber && percent < kLongestInterval; ++doubling) percent *= 2;
  return static_cast<int>(std::min<int64_t>(6 * percent, kLongestInterval));
}

int SchedulerClient::stepInterval(int interval) {
  if (interval < kShortInterval) return kShortStep;
  if (interval >= kLongInterval) return kLongStep;
  return interval / 10;
}

int SchedulerClient::askedTime(bool conditionMode) const {
  const int slot = slotLength();
  int asked      = slot;
  if (consecutiveRapperConfigured()) {
    const int delay = read(tag::vxo_schedulerconsecutivedelay);
    asked           = slot + delay;
    if (conditionMode) std::printf("1: tm = %d 2: +%d tm = %d", slot, delay, asked);
    std::printf("time asked %d \n", asked);
  } else if (conditionMode) {
    std::printf("X: tm = %d", slot);
  } else {
    std::printf("!!! time asked %d \n", asked);
  }
  return std::min(asked, kLongestAskedTime);
}

int SchedulerClient::requestWord(bool conditionMode) const {
  const int asked = askedTime(conditionMode);
  const int field = fieldId() & 0xF;
  const int cell  = read(tag::vxo_cellposition) & 0xF;
  const int word  = packMessage(QueueMessage{static_cast<uint8_t>(asked + 1), static_cast<uint8_t>(field),
                                             static_cast<uint8_t>(cell)});
  std::printf("formulate question 0x%x tm=%d fp=%d cp=%d \n", word, asked, field, cell);
  return word;
}

void SchedulerClient::pass() {
  int state = 0;
  if (read(tag::vxo_rappingtype) == kConditionMode) {
    fixedTimerState_ = kStartDelay;
    state            = conditionPass();
  } else {
    autoTimerState_ = kConditionStartDelay;
    state           = fixedPass();
  }
  commonTail(state);
}

int SchedulerClient::fixedPass() {
  switch (fixedTimerState_) {
    case kStartDelay: startDelay(); break;
    case kInterval: intervalState(); break;
    case kFixedAsk:
      if (ask(false)) rapFixed();
      break;
    case kFixedRapping: rapFixed(); break;
    default: fixedTimerState_ = kStartDelay; break;
  }
  return fixedTimerState_;
}

void SchedulerClient::startDelay() {
  if (tron()) ++timer_;
  write(tag::vxi_schedulerresult, 0);
  const int letter      = std::toupper(read(tag::vxo_fieldposition));
  const bool validField = letter >= 'A' && letter < 'A' + kFieldLetters;
  const int field       = validField ? letter - 'A' + 1 : static_cast<int>(ownAddress() % 5) + 1;
  if (validField && repetitionInterval() == 0) {
    int repTime = 0;
    int repDay  = 0;
    secondsToTime(defaultInterval(field), &repTime, &repDay);
    write(tag::vxo_rapprepday, repDay);
    write(tag::vxo_rappreptime, repTime);
  }
  const int position = read(tag::vxo_cellposition);
  const int cell     = position >= 1 && position <= 10 ? position : static_cast<int>(ownAddress() % 6) + 1;
  const int delay    = (cell - 1) * field * kStartDelayPerStep + kStartDelayBase;
  if (timer_ > delay) {
    fixedTimerState_ = kInterval;
    timer_           = 0;
  } else {
    write(tag::vxi_rappingtimerinfo, delay - timer_);
  }
}

void SchedulerClient::intervalState() {
  const int interval = repetitionInterval();
  if (timer_ > 1) {
    timer_ = std::min(timer_, interval);
    if (tron()) --timer_;
  } else if (timer_ == 1) {
    fixedTimerState_ = kFixedAsk;
    timer_           = 0;
    wait_            = 0;
  } else {
    reloadInterval(interval);
  }
  write(tag::vxi_schedulerresult, 0);
  write(tag::vxi_rappingtimerinfo, timer_);
}

void SchedulerClient::reloadInterval(int interval) {
  const int ratio = read(tag::vxo_rappingratio);
  if (read(tag::vxo_rappingmode) == 0) {
    timer_                = interval;
    fiveStepSquenceState_ = 0;
    pcrState_             = 0;
    write(internal::kTrendTrigger, 1);
    ++ratioCnt_;
    std::printf("ratioCnt %d ", ratioCnt_);
    if (ratio != 0 && ratioCnt_ % ratio == 0) pcrState_ = 1;
    std::printf("pcrState %d\n", pcrState_);
    return;
  }
  if (fiveStepSquenceState_ == 0) {
    ++ratioCnt_;
    const int cycle = ratio != 0 ? ratio : kDefaultRatio;
    if (ratio == 0) write(tag::vxo_rappingratio, kDefaultRatio);
    if (ratioCnt_ % cycle == 0) {
      fiveStepSquenceState_ = 1;
      pcrState_             = 1;
    } else {
      pcrState_ = 0;
    }
    timer_ = interval;
    return;
  }
  // Steps 1..4 follow each other at a tenth of the interval, at least 180 s, at most 1800 s.
  timer_    = stepInterval(interval);
  pcrState_ = fiveStepSquenceState_ + 1;
  if (fiveStepSquenceState_ == 4) {
    fiveStepSquenceState_ = 0;
    ratioCnt_             = 0;
  } else {
    ++fiveStepSquenceState_;
  }
}

int SchedulerClient::reducedCurrent() const {
  const int pcr = read(tag::vxo_rappingpcr);
  if (read(tag::vxo_rappingmode) != kReducedSequence) return pcrState_ != 0 ? pcr : kNoReducedCurrent;
  const int start = read(tag::vxo_rappingstartpcr);
  const int end   = read(tag::vxo_rappingendpcr);
  switch (pcrState_) {
    case 1: return start;
    case 2: return start - (start - end) / 4;
    case 3: return (start + end) / 2;
    case 4: return end + (start - end) / 4;
    case 5: return end;
    default: return pcr;
  }
}

void SchedulerClient::rapFixed() {
  write(tag::vxi_schedulerpcrresult, reducedCurrent());
  if (anyGroupConnectedTo(kRappingOutput, false)) write(tag::vxi_schedulerresult, 1);
  if (timer_ == 0) {
    timer_ = slotLength();
  } else if (timer_ < 2) {
    fixedTimerState_ = kInterval;
    timer_           = 0;
  } else {
    --timer_;
  }
  write(tag::vxi_rappingtimerinfo, timer_);
  wait_ = 0;
}

// The ask state of both modes: true when the unit raps from this pass on.
bool SchedulerClient::ask(bool conditionMode) {
  bool go = false;
  if (read(tag::vxo_rappingsched1ip) == 0 && read(tag::vxo_rappingsched2ip) == 0) {
    go = true;  // no queue in use: the unit keeps its own timing
  } else if (anyGroupConnectedTo(kRappingOutput, true)) {
    go = slotRequest(conditionMode);
  }
  write(tag::vxi_schedulerresult, 0);
  write(tag::vxi_rappingtimerinfo, timer_);
  if (go) {
    wait_ = 0;
    if (conditionMode) {
      autoTimerState_ = kConditionRapping;
    } else {
      fixedTimerState_ = kFixedRapping;
    }
  }
  return go;
}

bool SchedulerClient::slotRequest(bool conditionMode) {
  const bool pending = read(internal::kRequest) != 0;
  switch (wait_) {
    case 0:
      if (!pending) write(internal::kRequest, requestWord(conditionMode));
      wait_ = 1;
      return false;
    case 1:
    case 2:
    case 3:
      std::printf("wait for answer...%d ", 4 - wait_);
      if (!pending) std::printf("message sent!");
      ++wait_;
      return false;
    case 4:
      std::printf("wait for answer...0 ");
      std::printf(pending ? "rephrase" : "message sent!");
      timer_ = 0;
      wait_  = 5;
      return false;
    case 5: {
      const int answer = read(internal::kAnswer);
      std::printf("answer is %d\n", answer);
      timer_ = 0;
      wait_  = 0;
      if (answer > 0) {
        wait_  = 6;
        timer_ = answer;
        std::printf(conditionMode ? "got a timeslot wait for %d seconds before rapping"
                                  : "got a timeslot wait for %d seconds before rapping \n",
                    answer);
        return false;
      }
      if (answer < 0) {
        std::printf("rap immediately, slot ends in %d s\n", -answer);
        if (!conditionMode) std::printf("pcrState %d\n", pcrState_);
        write(internal::kTrendTrigger, 1);
        return true;
      }
      return false;  // in no queue: ask again
    }
    case 6:
      if (timer_ > 0) --timer_;
      if (timer_ > 0) return false;
      std::printf("let's go");
      return true;
    default:
      wait_ = 0;
      return false;
  }
}

int SchedulerClient::conditionPass() {
  const bool status1 =
      conditions_.checkCondition(read(tag::vxo_autorappcondition01), read(tag::vxo_autorapplevel01), 0);
  const bool status2 =
      conditions_.checkCondition(read(tag::vxo_autorappcondition02), read(tag::vxo_autorapplevel02), 1);
  write(tag::vxi_autorappcondstatus01, status1);
  write(tag::vxi_autorappcondstatus02, status2);
  const int offset = static_cast<int>(ownAddress() % 255) + kStartDelayBase;
  switch (autoTimerState_) {
    case kConditionStartDelay:
      if (tron()) ++timer_;
      write(tag::vxi_autorappstatus, 0);
      write(tag::vxi_rappingtimerinfo, timer_ - offset);
      write(tag::vxi_schedulerresult, 0);
      if (timer_ > offset) {
        autoTimerState_ = kMinimumInterval;
        timer_          = minimumInterval();
      }
      break;
    case kMinimumInterval:
      write(tag::vxi_autorappstatus, 0);
      write(tag::vxi_rappingtimerinfo, timer_);
      write(tag::vxi_schedulerresult, 0);
      if (tron()) --timer_;
      if (timer_ < 0) {
        autoTimerState_ = kConditionWindow;
        timer_          = maximumInterval() - minimumInterval();
      }
      break;
    case kConditionWindow: {
      const int status = auto_logic(status1, status2, read(tag::vxo_autorapplogic)) ? 2 : 1;
      write(tag::vxi_autorappstatus, status);
      write(tag::vxi_rappingtimerinfo, timer_);
      write(tag::vxi_schedulerresult, 0);
      if (tron()) --timer_;
      if (status == 2 || timer_ <= 0) {
        std::printf(status == 2 ? "condition fullfilled " : "time out ");
        autoTimerState_ = kConditionAsk;
        timer_          = 0;
        wait_           = 0;
      }
      break;
    }
    case kConditionAsk:
      if (ask(true)) rapCondition();
      break;
    case kConditionRapping: rapCondition(); break;
    default: autoTimerState_ = kConditionStartDelay; break;
  }
  return autoTimerState_;
}

void SchedulerClient::rapCondition() {
  write(tag::vxi_schedulerpcrresult, read(tag::vxo_rappingpcr));
  if (anyGroupConnectedTo(kRappingOutput, false)) write(tag::vxi_schedulerresult, 1);
  if (timer_ == 0) {
    timer_ = slotLength();
  } else if (timer_ < 2) {
    autoTimerState_ = kMinimumInterval;
    timer_          = minimumInterval();
  } else {
    --timer_;
  }
  write(tag::vxi_rappingtimerinfo, timer_);
}

void SchedulerClient::commonTail(int state) {
  write(tag::vxi_rappingstate, state);
  const int mode = read(tag::vxo_rappingmode);
  if (mode == 0) {
    write(tag::vxo_rappingstartpcr, kFullCurrent);
    write(tag::vxo_rappingendpcr, kFullCurrent);
  } else if (mode == kReducedSequence) {
    const int limit = read(tag::vxo_actmodecurrlim);
    if (read(tag::vxo_rappingstartpcr) == kFullCurrent) write(tag::vxo_rappingstartpcr, limit);
    if (read(tag::vxo_rappingendpcr) == kFullCurrent) write(tag::vxo_rappingendpcr, limit / 10);
    if (read(tag::vxo_rappingratio) == 0) write(tag::vxo_rappingratio, kDefaultRatio);
  }
  // The consecutive rapper runs for a slot length, the consecutive delay after rapping begins.
  const int result = read(tag::vxi_schedulerresult);
  if (result != lastResult_) {
    lastResult_ = result;
    if (result == 1) consecutiveTimer_ = read(tag::vxo_schedulerconsecutivedelay);
  }
  if (consecutiveOn_ > 0) {
    write(tag::vxi_schedulerconsecutiveres, 1);
    --consecutiveOn_;
  } else {
    write(tag::vxi_schedulerconsecutiveres, 0);
  }
  if (consecutiveTimer_ == 1) consecutiveOn_ = slotLength();
  if (consecutiveTimer_ > 0) --consecutiveTimer_;
}

}  // namespace rapping

void rappingShedulderClient() {
  static rapping::SchedulerClient client;
  client.pass();
}
