// a_measurement <set-up file>: the V-I measurement stand-in. Started in the background
// by the database daemon, it reports its progress through internal tag 1174 (0..80
// while it runs, 89 on failure, -1 when it has ended) and vxi_measurement, records the
// voltage and current the signal processor reports at each point of the set-up into
// the V-I tags and the reference voltage into vxi_vivref, and ends by itself.
// Set-up keys: "points" (1..7, default 7), "stepSeconds" (seconds per point, default 2).
#include <unistd.h>

#include <cstdio>

#include "orxtags/handles.h"
#include "inihandler/inihandler.h"
#include "orxtime/orxtime.h"
#include "sharedmem/shmem.h"
#include "unitstore.h"
#include "sharedmem/tagaccess.h"

namespace {

// Tags by handle: name                       meaning
constexpr int kMeasurement   = tags::vxi_measurement;    // vxi_measurement: 1 while measuring
constexpr int kSecCurrDens   = tags::vxi_seccurrdens;    // vxi_seccurrdens, live
constexpr int kSecVoltAvg    = tags::vxi_secvoltavg;     // vxi_secvoltavg, live
constexpr int kSecVoltPeak   = 231;                     // vxi_secvoltpeak, live
constexpr int kSecVoltValley = 232;                     // vxi_secvoltvalley, live
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

constexpr int kMaxPoints = 7;
constexpr int kRunningDone = 80;    // state 90: finished
constexpr int kFailed = 89;         // state 99: failed or cancelled
constexpr int kStopWord = 470;
constexpr int kFinalStateSeconds = 2;

void setTag(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

bool stopRequested() { return dbReadValueByHandle(kSystemState) == kStopWord; }
bool cancelled() { return dbReadValueByHandle(kCancelVi) == 1; }

void recordPoint(int point) {
  setTag(kViVoltAv1 + point, dbReadValueByHandle(kSecVoltAvg));
  setTag(kViVoltPe1 + point, dbReadValueByHandle(kSecVoltPeak));
  setTag(kViVoltVa1 + point, dbReadValueByHandle(kSecVoltValley));
  setTag(kViCurrDen1 + point, dbReadValueByHandle(kSecCurrDens));
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
  setTag(kProgress, finalState);
  sleep(kFinalStateSeconds);
  setTag(kProgress, -1);
  setTag(kMeasurement, 0);
  return exitStatus;
}

struct SetUp {
  int points = kMaxPoints;
  int stepSeconds = 2;
};

bool readSetUp(const char* path, SetUp* setUp) {
  INIFile* ini = ini_create();
  const bool read = ini != nullptr && ini_read_file(ini, path) == 1;
  if (read) {
    ini_get_int(ini, "points", &setUp->points);
    ini_get_int(ini, "stepSeconds", &setUp->stepSeconds);
  }
  if (ini != nullptr) ini_destroy(ini);
  return read && setUp->points >= 1 && setUp->points <= kMaxPoints && setUp->stepSeconds >= 0;
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
    std::fprintf(stderr, "%s: set-up %s unreadable or out of range (points 1..7)\n", argv[0], argv[1]);
    return finish(kFailed, 1);
  }
  std::printf("V-I measurement: %d points, %d s each, set-up %s\n", setUp.points, setUp.stepSeconds, argv[1]);
  for (int point = 0; point < setUp.points; ++point) {
    for (int second = 0; second < setUp.stepSeconds; ++second) {
      if (stopRequested()) return finish(kFailed, 2);
      if (cancelled()) {
        std::printf("V-I measurement cancelled at point %d\n", point + 1);
        return finish(kFailed, 2);
      }
      sleep(1);
    }
    recordPoint(point);
    if (point == 0) setTag(kViRefVoltage, dbReadValueByHandle(kSecVoltAvg));
    setTag(kProgress, (point + 1) * (kRunningDone - 10) / setUp.points);
  }
  stampCompletion();
  std::printf("V-I measurement done\n");
  return finish(kRunningDone, 0);
}
