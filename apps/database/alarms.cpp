#include "orxtags/handles.h"
#include "alarms.h"

#include <cstdio>

#include "sharedmem/tagaccess.h"

namespace {

using enum AlarmClass;
constexpr SumGroup kNoSum      = SumGroup::none;
constexpr SumGroup kWarningSum = SumGroup::warning;
constexpr SumGroup kTripSum    = SumGroup::trip;
constexpr bool kReset          = true;
constexpr bool kKept           = false;

// clang-format off
//   handle tag                         code class    sum          reset
constexpr AlarmDefinition kAlarmTable[] = {
    {1,     "vxi_alwtemphighw",         1,   warning, kNoSum,      kKept},
    {2,     "vxi_alttemphight",         2,   trip,    kNoSum,      kKept},
    {3,     "vxi_alwcheckoilw",         3,   warning, kNoSum,      kKept},
    {4,     "vxi_altcheckoilt",         4,   trip,    kNoSum,      kKept},
    {5,     "vxi_altlvisoswt",          5,   trip,    kNoSum,      kKept},
    {6,     "vxi_althvsafebrt",         6,   trip,    kNoSum,      kKept},
    {7,     "vxi_altscrtempt",          7,   trip,    kNoSum,      kKept},
    {8,     "vxi_altaccurrt",           9,   trip,    kNoSum,      kKept},
    {9,     "vxi_altdcvoltlowt",        10,  trip,    kNoSum,      kKept},
    {10,    "vxi_alwdcvoltloww",        11,  warning, kNoSum,      kKept},
    {11,    "vxi_altdcvolthit",         12,  trip,    kNoSum,      kKept},
    {12,    "vxi_altcontactort",        18,  trip,    kNoSum,      kKept},
    {13,    "vxi_alwrtcreinitw",        221, warning, kNoSum,      kKept},
    {14,    "vxi_altwatchdogt",         213, trip,    kNoSum,      kKept},
    {15,    "vxi_altrestartedt",        210, trip,    kTripSum,    kReset},
    {16,    "vxi_alwiogr1w",            50,  warning, kWarningSum, kReset},
    {17,    "vxi_alwiogr2w",            51,  warning, kWarningSum, kReset},
    {18,    "vxi_alwiogr3w",            52,  warning, kWarningSum, kReset},
    {19,    "vxi_alwiogr4w",            55,  warning, kWarningSum, kReset},
    {20,    "vxi_alwrappoffw",          53,  warning, kWarningSum, kReset},
    {21,    "vxi_alwrappcontw",         54,  warning, kWarningSum, kReset},
    {22,    "vxi_alwtranspoffw",        56,  warning, kNoSum,      kReset},
    {23,    "vxi_alwextalarm1w",        60,  warning, kWarningSum, kReset},
    {24,    "vxi_altextalarm1t",        61,  trip,    kTripSum,    kReset},
    {25,    "vxi_alwextalarm2w",        58,  warning, kWarningSum, kReset},
    {26,    "vxi_altextalarm2t",        59,  trip,    kTripSum,    kReset},
    {27,    "vxi_alwextalarm3w",        62,  warning, kWarningSum, kReset},
    {28,    "vxi_altextalarm3t",        63,  trip,    kTripSum,    kReset},
    {29,    "vxi_alwextalarm4w",        86,  warning, kWarningSum, kReset},
    {30,    "vxi_altextalarm4t",        87,  trip,    kTripSum,    kReset},
    {31,    "vxi_alwkorasparkw",        70,  warning, kNoSum,      kKept},
    {32,    "vxi_alwkorarefmw",         71,  warning, kWarningSum, kReset},
    {33,    "vxi_alwviprevw",           93,  warning, kWarningSum, kReset},
    {34,    "vxi_masteralarm",          0,   none,    kNoSum,      kKept},
    {35,    "vxi_ale2rest",             212, trip,    kTripSum,    kReset},
    {36,    "vxi_alwextalarm5w",        88,  warning, kWarningSum, kReset},
    {37,    "vxi_altextalarm5t",        89,  trip,    kTripSum,    kReset},
    {38,    "vxi_alwextalarm6w",        90,  warning, kWarningSum, kReset},
    {39,    "vxi_altextalarm6t",        91,  trip,    kTripSum,    kReset},
    {40,    "vxi_alwlocalremotew",      194, warning, kWarningSum, kReset},
    {41,    "vxi_altprogrammismatcht",  215, trip,    kTripSum,    kReset},
    {42,    "vxi_alwiogr5w",            57,  warning, kWarningSum, kReset},
    {58,    "vxi_alwvconnecterrorw",    0,   warning, kNoSum,      kReset},
    {79,    "vxi_altprogramupdatedspt", 216, trip,    kTripSum,    kReset},
    {80,    "vxi_alwprogramupdatesomw", 217, warning, kWarningSum, kReset},
    {85,    "vxi_allossofsynct",        199, trip,    kNoSum,      kKept},
};

// The history records at most one new alarm per call, the first of this order.
constexpr int kAlarmScanOrder[] = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 42,
    20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 36, 37, 38, 39, 31, 32, 33, 79, 80,
    41, 85, 35, 40,
};
// clang-format on

// Tags by handle
constexpr int kSumAlarm          = tags::vxi_sumalarm;             // vxi_sumalarm, also raised by the signal processor
constexpr int kAlwLocalRemote    = 40;                            // vxi_alwlocalremotew
constexpr int kViCancelPossible  = 47;                            // vxi_vicancelpossible
constexpr int kSumAlarmTrip      = tags::vxi_sumalarmtrip;         // vxi_sumalarmtrip
constexpr int kSumAlarmWarning   = tags::vxi_sumalarmwarning;      // vxi_sumalarmwarning
constexpr int kMeasurement       = tags::vxi_measurement;          // vxi_measurement
constexpr int kTron              = tags::vxo_tron;                 // vxo_tron
constexpr int kSumAlarmResetRev  = 102;                           // vxo_sumalarmresetrev, inverted reset input
constexpr int kSumAlarmReset     = tags::vxo_sumalarmreset;        // vxo_sumalarmreset
constexpr int kLockedMode        = tags::vxo_lockedmode;           // vxo_lockedmode
constexpr int kAlarmSpecificCode = internal::kAlarmSpecificCode;  // specific code of the next history entry
constexpr int kViRequested       = internal::kViStarting;         // V-I measurement requested

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

// Only the value 1 counts as active; other non-zero values are ignored.
bool anyActive(SumGroup group) {
  bool active = false;
  for (const AlarmDefinition& alarm : kAlarmTable) {
    if (alarm.sum == group && dbIsEqual(alarm.handle, 1)) active = true;
  }
  return active;
}

const AlarmDefinition* findByHandle(int handle) {
  for (const AlarmDefinition& alarm : kAlarmTable) {
    if (alarm.handle == handle) return &alarm;
  }
  return nullptr;
}

}  // namespace

std::span<const AlarmDefinition> alarmTable() { return kAlarmTable; }
std::span<const int> alarmScanOrder() { return kAlarmScanOrder; }

int lookUpAlarmCode(int handle) {
  const AlarmDefinition* alarm = findByHandle(handle);
  return alarm != nullptr ? alarm->code : 0;
}

int lookUpAlarmHandle(int alarmCode) {
  if (alarmCode == 0) return 0;
  for (const AlarmDefinition& alarm : kAlarmTable) {
    if (alarm.code == alarmCode) return alarm.handle;
  }
  return 0;
}

AlarmClass alarmClassOf(int handle) {
  const AlarmDefinition* alarm = findByHandle(handle);
  return alarm != nullptr ? alarm->alarmClass : AlarmClass::none;
}

void setSumAlarm() {
  if (anyActive(SumGroup::warning)) {
    setTag(kSumAlarmWarning, 1);
    setTag(kSumAlarm, 1);
  }
  if (anyActive(SumGroup::trip)) {
    setTag(kSumAlarmTrip, 1);
    setTag(kSumAlarm, 1);
    setTag(kTron, 0);
  }
  if (dbIsEqual(kSumAlarm, 0)) {
    setTag(kSumAlarmTrip, 0);
    setTag(kSumAlarmWarning, 0);
  }
}

int resetAlarms() {
  std::printf("[DEBUG] \33[31mRESETTING ALARMS\33[0m\n");
  for (const AlarmDefinition& alarm : kAlarmTable) {
    if (alarm.clearedByReset) setTag(alarm.handle, 0);
  }
  setTag(kSumAlarmWarning, 0);
  setTag(kSumAlarm, 0);
  setTag(kSumAlarmTrip, 0);
  return 0;
}

void handleSumAlarmResetRev() {
  if (dbIsEqual(kSumAlarm, 1) && dbIsEqual(kSumAlarmReset, 0) && dbIsEqual(kSumAlarmResetRev, 0)) {
    setTag(kSumAlarmReset, 1);
    setTag(kSumAlarmResetRev, 1);
  }
}

void checkExternalControlBlocked() {
  if (!dbIsEqual(kLockedMode, 1)) return;
  setTag(kAlarmSpecificCode, lookUpAlarmCode(kAlwLocalRemote));
  setTag(kAlwLocalRemote, 1);
}

void controlCancelPossibleFlag() {
  const bool possible = dbIsEqual(kMeasurement, 1) || dbIsEqual(kViRequested, 1);
  setTag(kViCancelPossible, possible ? 1 : 0);
}
