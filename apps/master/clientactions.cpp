#include "clientactions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mastertags.h"
#include "orxtime/orxtime.h"
#include "sharedmem/tagaccess.h"

namespace master {

namespace {

constexpr int kTimeSyncFollowMaster = 1;  // vxo_timesyncopt: follow the master's clock
constexpr int kLargestSecondsSkew   = 2;  // s the clock may differ before it is set

void setTag(int handle, int value) {
  int error = 0;
  dbSetValueByHandle(handle, value, &error);
}

bool unlocked() { return dbReadValueByHandle(tag::vxo_lockedmode) == 0; }

void markCommanded() { dbSetBitByHandle(internal::kActivityFlags, internal::kCommandedBit); }

// Two digits of a six-digit text as a decimal text.
struct Pairs {
  explicit Pairs(const char* digits) {
    for (int pair = 0; pair < 3; ++pair) {
      text[pair][0] = digits[2 * pair];
      text[pair][1] = digits[2 * pair + 1];
      text[pair][2] = '\0';
    }
  }
  char text[3][3];
};

}  // namespace

ClientData readClientData() {
  ClientData data{};
  data.node  = dbReadValueByHandle(tag::vxo_nodeaddress);
  data.tron  = dbReadValueByHandle(tag::vxo_tron);
  data.mode  = dbReadValueByHandle(tag::vxo_mode);
  data.alarm = kAlarmNone;
  if (dbReadValueByHandle(tag::vxi_sumalarm) != 0) {
    data.alarm = dbReadValueByHandle(tag::vxi_sumalarmtrip) == 1 ? kAlarmTrip : kAlarmWarn;
  }
  data.watt       = dbReadValueByHandle(tag::vxi_actpower);
  data.kVolt      = dbReadValueByHandle(tag::vxi_secvoltavg);
  data.mAmp       = dbReadValueByHandle(tag::vxi_seccurravg);
  data.cRatio     = dbReadValueByHandle(tag::vxo_fakecr);
  data.field      = static_cast<char>(dbReadValueByHandle(tag::vxo_fieldposition));
  data.cell       = dbReadValueByHandle(tag::vxo_cellposition);
  data.miraStatus = dbReadValueByHandle(tag::vxi_miramystatus);
  return data;
}

void ClientActions::setTime(const Message& message, bool asMaster) {
  std::printf("[DEBUG] \33[32mSET TIME %s\33[0m\n", message.timeText);
  std::memcpy(lastSetTime_, message.timeText, sizeof lastSetTime_);
  if (!unlocked()) return;
  const bool followMaster = dbReadValueByHandle(tag::vxo_timesyncopt) == kTimeSyncFollowMaster;

  if (message.time[0] != '\0') {
    const Pairs hms(message.time);
    const int packed = timeStringToSeconds(hms.text[0], hms.text[1], hms.text[2]);
    if (packed != -1 && (!asMaster || followMaster)) {
      const int hour = (packed >> 24) & 0xFF, minute = (packed >> 16) & 0xFF, second = (packed >> 8) & 0xFF;
      const int now      = dbReadValueByHandle(tag::vxo_time);
      const bool differs = hour != ((now >> 24) & 0xFF) || minute != ((now >> 16) & 0xFF) ||
                           std::abs(second - ((now >> 8) & 0xFF)) > kLargestSecondsSkew;
      if (differs) setSystemTime(hour, minute, second);
    }
  }
  if (message.date[0] != '\0' && followMaster) {
    const Pairs ymd(message.date);
    if (dateStringToInteger(ymd.text[0], ymd.text[1], ymd.text[2]) != -1) {
      const int year = 2000 + std::atoi(ymd.text[0]), month = std::atoi(ymd.text[1]), day = std::atoi(ymd.text[2]);
      std::printf("[DEBUG] %d %d %d %d \33[0m\n", year, month, day, kTimeSyncFollowMaster);
      setSystemDate(year, month, day);
    }
  }
}

std::string ClientActions::actAndRespond(const Message& message, bool asMaster) {
  setTag(tag::vxi_mastercontrolled, 1);
  const int own  = dbReadValueByHandle(tag::vxo_nodeaddress);
  const int type = message.type;

  if (type == kTrOn || type == kTrOff) {
    markCommanded();
    if (unlocked()) setTag(tag::vxo_tron, type == kTrOn ? 1 : 0);
    return heardText(type, own, lastSetTime_);
  }
  if (type == kAlarmReset) {
    markCommanded();
    if (unlocked()) setTag(tag::vxo_sumalarmreset, 1);
    return heardText(type, own, lastSetTime_);
  }
  if (type >= kModeFirst && type <= kModeLast) {
    markCommanded();
    if (unlocked()) setTag(tag::vxo_mode, type - kModeFirst);
    return heardText(type, own, lastSetTime_);
  }
  if (type == kTimeSet) {
    setTime(message, asMaster);
    return heardText(type, own, lastSetTime_);
  }
  if (type == kSetTag) {
    markCommanded();
    int error = 0;
    bool done = false;
    if (unlocked()) {
      done = dbSetValueByTagName(message.tagName, message.parameterValue, &error);
      std::printf("\n set %s to %d ok?:%d\n", message.tagName, message.parameterValue, done ? 1 : 0);
    }
    return setAnswerText(done, own);
  }
  if (type == kReadTag) {
    markCommanded();
    int value       = 0;
    int error       = 0;
    const bool done = dbGetValueByTagname(message.tagName, &value, &error);
    return readAnswerText(done, own, value);
  }
  return clientDataText(readClientData());
}

}  // namespace master
