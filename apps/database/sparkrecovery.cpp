#include "sparkrecovery.h"

#include <algorithm>

#include "controlmath.h"
#include "energisationtags.h"

using namespace etag;

namespace {

// The recovery-time settings, visited one per pass in this order.
constexpr int kRecoveryTimeSettings[] = {
    kActModeSparkRecoveryTime,
    kModeSparkRecoveryTimes[0], kModeSparkRecoveryTimes[1], kModeSparkRecoveryTimes[2],
    kModeSparkRecoveryTimes[3], kModeSparkRecoveryTimes[4], kModeSparkRecoveryTimes[5],
};
constexpr int kNoOfRecoveryTimeSettings = sizeof kRecoveryTimeSettings / sizeof kRecoveryTimeSettings[0];

// Settings below this are spark rates (sparks per minute); 0 stands for the shortest time.
constexpr int kShortestRecoveryTime = 245;
constexpr int kRateToTime = 60000;

// The curve's rows in the group: time cell (0.01 of the recovery time) and value cell.
struct CurveRow {
  int timeHandle;
  int valueHandle;
};
// clang-format off
// row  time   value
constexpr CurveRow kCurveRows[] = {
    {1357, 1352},  // 0: the spark
    {1358, 1353},  // 1: current step after the spark
    {1359, 1354},  // 2: end of rise A
    {1360, 1355},  // 3: back at the current of the spark
    {1361, 1356},  // 4: end of rise B
    {1364, 1363},  // 5: the limit reached on rise C
    {1366, 1365},  // 6: end of the curve
};
// clang-format on
constexpr int kCurvePoints = 7;
constexpr int kCurveEnd = 249;      // time of the last rows
constexpr int kCurveSpan = 250;     // the whole curve
constexpr int kRecoveredTime = 100; // time at which the current of the spark is reached again

int rounded(int x) { return (x + 50) / 100; }

}  // namespace

int recoveryTimeFromRate(int setting) {
  if (setting == 0) return kShortestRecoveryTime;
  if (setting > 0 && setting < kShortestRecoveryTime) return kRateToTime / setting;
  return setting;
}

void handleSPMtoSparcRecovery(RecoveryTimeRotation& rotation) {
  const int handle = kRecoveryTimeSettings[rotation.next];
  rotation.next = (rotation.next + 1) % kNoOfRecoveryTimeSettings;
  // The check repeats after the write: it acts only when the range check refused it.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int setting = readTag(handle);
    const int time = recoveryTimeFromRate(setting);
    if (time != setting) writeTag(handle, time);
  }
}

void sparkRecoveryCurve() {
  const int sparkCurrent = readTag(kSparkCurrent);  // mA
  const int limit = readTag(kActModeCurrLim);       // mA
  if (sparkCurrent <= 0 || sparkCurrent > limit) return;
  const int step = readTag(kSparkCurrStep);         // %
  const int riseTimeB = readTag(kRiseTimeB);

  int time[kCurvePoints] = {0, 1, readTag(kRiseTimeA), kRecoveredTime, riseTimeB + kRecoveredTime, kCurveEnd, kCurveEnd};
  int value[kCurvePoints] = {};  // per mille of the spark current, then 0.1 mA
  value[0] = ignAngleToPower(readTag(kFirstIgnAngle)) * readTag(kRatioSecCurr) / (sparkCurrent * 10);
  value[1] = (100 - step) * 10;
  value[2] = rounded(step * readTag(kRisePercA)) + (100 - step) * 10;
  value[3] = 1000;

  const int limitRatio = (limit * 1000 + sparkCurrent / 2) / sparkCurrent;  // per mille of the spark current
  if (2000 - value[2] < limitRatio) {
    value[4] = 2000 - value[2];
  } else {
    const int a = std::max(2000 - value[2] - limitRatio, 1);
    const int b = 1000 - value[2];
    const int c = b > 0 ? 100 - a * 100 / b : (1 - a) * 100;
    time[4] = c * riseTimeB / 100 + kRecoveredTime;
    value[4] = limitRatio;
  }

  for (const int row : {0, 1, 2, 4}) value[row] = rounded(sparkCurrent * value[row]);
  value[3] = sparkCurrent * 10;

  const int recoveryTime = readTag(kActModeSparkRecoveryTime);
  const int riseSlopeC = readTag(kRiseSlopeC);
  const int remaining = rounded(kCurveSpan * recoveryTime) - rounded(time[4] * recoveryTime);
  int end = value[4] + rounded(riseSlopeC * remaining);
  if (end > limit * 10) {
    end = limit * 10;
    if (riseSlopeC != 0 && recoveryTime != 0) {
      time[5] = ((end - value[4]) * 100 / riseSlopeC) * 100 / recoveryTime + time[4];
    }
  }
  value[5] = value[6] = end;

  for (int row = 0; row < kCurvePoints; ++row) {
    writeTag(kCurveRows[row].timeHandle, time[row]);
    writeTag(kCurveRows[row].valueHandle, value[row]);
  }
}
