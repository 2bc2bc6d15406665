// a_measurement <set-up file>: the V-I measurement stand-in. Started in the background
// by the database daemon, it reports its progress through internal tag 1174 (0..80
// while it runs, 89 on failure, -1 when it has ended) and vxi_measurement. It steps the
// field's current from the lowest to the highest of its range through the signal
// processor's mean-current limit (restored at the end), records the voltage and current
// the signal processor reports at each point into the V-I tags, and leaves the voltage at
// which the corona current starts, found from the points, in vxi_vivref.
// Set-up keys: "points" (1..7, default 7), "stepSeconds" (seconds per point, default 2),
// "currentRange" ("standard": the range the database hands a V-I measurement, default;
// "reference": the range of KORA's reference measurement).
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "inihandler/inihandler.h"
#include "onsetfit.h"
#include "orxtags/handles.h"
#include "orxtime/orxtime.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"
#include "unitstore.h"

namespace {

// Tags by handle: name                       meaning
constexpr int kMeasurement   = tags::vxi_measurement;   // vxi_measurement: 1 while measuring
constexpr int kSecCurrDens   = tags::vxi_seccurrdens;   // vxi_seccurrdens, live
constexpr int kSecVoltAvg    = tags::vxi_secvoltavg;    // vxi_secvoltavg, live
constexpr int kSecVoltPeak   = 231;                     // vxi_secvoltpeak, live
constexpr int kSecVoltValley = 232;                     // vxi_secvoltvalley, live
constexpr int kSecCurrAvg    = 234;                     // vxi_seccurravg, mA, live
constexpr int kFiringRatio   = 215;                     // vxi_firingratio, 0.01 %, live
constexpr int kMaxAvgCurr    = 602;                     // vxo_maxaveragecurr, mA: the measurement's lever
constexpr int kStdCurrSpan   = 1241;                    // vxo_measvistdcurrk, mA above the lowest
constexpr int kStdCurrLowest = 1242;                    // vxo_measvistdcurrm, mA pulse current
constexpr int kRefCurrSpan   = 1288;                    // vxi_korarefcurrk, mA above the lowest
constexpr int kRefCurrLowest = 1289;                    // vxi_korarefcurrm, mA pulse current
constexpr int kViRefVoltage  = 305;                     // vxi_vivref
constexpr int kViVoltAv1     = 326;                     // vxi_vivoltav1..7
constexpr int kViVoltPe1     = 333;                     // vxi_vivoltpe1..7
constexpr int kViVoltVa1     = 340;                     // vxi_vivoltva1..7
constexpr int kViCurrDen1    = 347;                     // vxi_vicurrden1..7
constexpr int kViLastDate    = 290;                     // vxi_villastcolldate, packed date
constexpr int kViLastTime    = 291;                     // vxi_villastcolltime, packed time
constexpr int kCancelVi      = 744;                     // vxo_cancelvi: operator cancels
constexpr int kSystemState   = internal::kSystemState;  // 470 ends every program
constexpr int kProgress      = internal::kViProgress;   // progress state, -1 = not running
constexpr int kStarting      = internal::kViStarting;   // measurement starting

constexpr int kMaxPoints         = 7;
constexpr int kRunningDone       = 80;  // state 90: finished
constexpr int kFailed            = 89;  // state 99: failed or cancelled
constexpr int kStopWord          = 470;
constexpr int kFinalStateSeconds = 2;
constexpr int kFullFiringRatio   = 10000;  // 0.01 %

int savedMaxAvgCurr = -1;  // mA; -1 until the measurement has taken the limit over

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

bool stopRequested() { return dbReadValueByHandle(kSystemState) == kStopWord; }
bool cancelled() { return dbReadValueByHandle(kCancelVi) == 1; }

measurement::ViPoint recordPoint(int point) {
  setTag(kViVoltAv1 + point, dbReadValueByHandle(kSecVoltAvg));
  setTag(kViVoltPe1 + point, dbReadValueByHandle(kSecVoltPeak));
  setTag(kViVoltVa1 + point, dbReadValueByHandle(kSecVoltValley));
  setTag(kViCurrDen1 + point, dbReadValueByHandle(kSecCurrDens));
  return {static_cast<double>(dbReadValueByHandle(kSecCurrAvg)), dbReadValueByHandle(kSecVoltAvg) / 10.0};
}

// Holds the field at this pulse current: the mean-current limit at the present firing ratio.
void holdPulseCurrent(int pulseMa) {
  const int firingRatio = std::clamp(dbReadValueByHandle(kFiringRatio), 1, kFullFiringRatio);
  setTag(kMaxAvgCurr, std::max(1, (pulseMa * firingRatio + kFullFiringRatio / 2) / kFullFiringRatio));
}

void stampCompletion() {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  getCurrentSystemDate(&year, &month, &day);
  getCurrentSystemTime(&hour, &minute, &second);
  setTag(kViLastDate, convertDateToOrxValue(year, month, day));
  setTag(kViLastTime, convertTimeToOrxValue(hour, minute, second));
}

// The final state stays visible for a moment, then the program reports it has ended.
int finish(int finalState, int exitStatus) {
  if (savedMaxAvgCurr >= 0) setTag(kMaxAvgCurr, savedMaxAvgCurr);
  setTag(kProgress, finalState);
  sleep(kFinalStateSeconds);
  setTag(kProgress, -1);
  setTag(kMeasurement, 0);
  return exitStatus;
}

struct SetUp {
  int points          = kMaxPoints;
  int stepSeconds     = 2;
  bool referenceRange = false;  // KORA's reference range instead of the standard one
};

bool readSetUp(const char* path, SetUp* setUp) {
  INIFile* ini    = ini_create();
  const bool read = ini != nullptr && ini_read_file(ini, path) == 1;
  if (read) {
    ini_get_int(ini, "points", &setUp->points);
    ini_get_int(ini, "stepSeconds", &setUp->stepSeconds);
  }
  char range[16] = "standard";
  if (read) ini_get_string(ini, "currentRange", range, sizeof range);
  if (ini != nullptr) ini_destroy(ini);
  setUp->referenceRange = std::strcmp(range, "reference") == 0;
  const bool knownRange = setUp->referenceRange || std::strcmp(range, "standard") == 0;
  return read && knownRange && setUp->points >= 1 && setUp->points <= kMaxPoints && setUp->stepSeconds >= 0;
}

// Pulse current of a point, evenly from the lowest of the range to its top.
int pulseCurrentOfPoint(const SetUp& setUp, int point) {
  const int lowest = dbReadValueByHandle(setUp.referenceRange ? kRefCurrLowest : kStdCurrLowest);
  const int span   = std::max(dbReadValueByHandle(setUp.referenceRange ? kRefCurrSpan : kStdCurrSpan), 0);
  return setUp.points < 2 ? lowest : lowest + span * point / (setUp.points - 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // progress lines reach the log as they happen
  if (argc < 2) {
    std::fprintf(stderr, "Usage: %s <set-up file>\n", argv[0]);
    return 1;
  }
  if (!attachUnitStore(argv[0])) return 1;
  setTag(kStarting, 1);
  setTag(kMeasurement, 1);
  setTag(kProgress, 0);
  SetUp setUp;
  if (!readSetUp(argv[1], &setUp)) {
    std::fprintf(stderr, "%s: set-up %s unreadable or out of range (points 1..7, currentRange standard or reference)\n",
                 argv[0], argv[1]);
    return finish(kFailed, 1);
  }
  std::printf("V-I measurement: %d points, %d s each, set-up %s\n", setUp.points, setUp.stepSeconds, argv[1]);
  savedMaxAvgCurr = dbReadValueByHandle(kMaxAvgCurr);
  std::array<measurement::ViPoint, kMaxPoints> points{};
  for (int point = 0; point < setUp.points; ++point) {
    holdPulseCurrent(pulseCurrentOfPoint(setUp, point));
    for (int second = 0; second < setUp.stepSeconds; ++second) {
      if (stopRequested()) return finish(kFailed, 2);
      if (cancelled()) {
        std::printf("V-I measurement cancelled at point %d\n", point + 1);
        return finish(kFailed, 2);
      }
      sleep(1);
    }
    points[static_cast<size_t>(point)] = recordPoint(point);
    setTag(kProgress, (point + 1) * (kRunningDone - 10) / setUp.points);
  }
  const auto onsetKv = measurement::coronaOnsetKv(std::span(points.data(), static_cast<size_t>(setUp.points)));
  // A field that gave no line leaves no reference voltage to be trusted.
  setTag(kViRefVoltage, onsetKv ? static_cast<int>(std::lround(*onsetKv * 10)) : 0);
  stampCompletion();
  if (!onsetKv) {
    std::printf("V-I measurement: no corona onset found from %d points\n", setUp.points);
    return finish(kFailed, 3);
  }
  std::printf("V-I measurement done, corona onset %.1f kV\n", *onsetKv);
  return finish(kRunningDone, 0);
}
