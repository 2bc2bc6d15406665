#include "csvlogger.h"

#include "sharedmem/tagaccess.h"

namespace monitor {

const char kLogHeader[] =
    "Mode,FiringRatio,FiringAngle,LineFrequency,Limiter,PrimVoltRMS,PrimCurrRMS,ActPower,SecVoltAvg,SecCurrPulse,"
    "SecCurrDens,SPM,PrimCurrAvg,SecVoltPeak,SecVoltValley,SecCurrPeak,SecCurrAvg,FrSource,IdleCurrent,SumAlarm";

namespace {

// The columns of the header, in order; values are the tags' own scaled integers.
constexpr const char* kLoggedTags[] = {
    "vxo_mode",        "vxi_firingratio", "vxi_actualfiringangle", "vxi_linefrequency", "vxi_limiter",
    "vxi_primvoltrms", "vxi_primcurrrms", "vxi_actpower",          "vxi_secvoltavg",    "vxi_seccurrpulse",
    "vxi_seccurrdens", "vxi_spm",         "vxi_primcurravg",       "vxi_secvoltpeak",   "vxi_secvoltvalley",
    "vxi_seccurrpeak", "vxi_seccurravg",  "vxi_frsource",          "vxi_idlecurrent",   "vxi_sumalarm",
};

constexpr int kLinesPerProgressNote = 100;
constexpr int kYearBase             = 1900;  // the packed date's year field counts from 1900

void writeDuration(std::FILE* err, long seconds) {
  std::fprintf(err, "%02ld:%02ld:%02ld\n", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

}  // namespace

void writeLogLine(std::FILE* out) {
  const int date = getValueByTagname("vxo_date");
  const int time = getValueByTagname("vxo_time");
  std::fprintf(out, "%d/%02d/%02d ", (date >> 16) + kYearBase, (date >> 8) & 0xFF, date & 0xFF);
  std::fprintf(out, "%02d:%02d:%02d", (time >> 24) & 0xFF, (time >> 16) & 0xFF, (time >> 8) & 0xFF);
  for (const char* name : kLoggedTags) std::fprintf(out, ",%d", getValueByTagname(name));
  std::fputc('\n', out);
  std::fflush(out);
}

int runLogger(int lines, int interval, std::FILE* out, std::FILE* err, const std::function<bool(int)>& wait) {
  const long total = static_cast<long>(lines) * interval;
  std::fprintf(err, "noOfLoggs %d interval %d log ends in ", lines, interval);
  writeDuration(err, total);
  std::fprintf(out, "%s\n", kLogHeader);
  for (int line = 0; line <= lines; ++line) {
    writeLogLine(out);
    if (line == lines) break;
    if (wait(interval * 1000)) return 0;
    if ((line + 1) % kLinesPerProgressNote == 0) {
      std::fputs("log ends in ", err);
      writeDuration(err, total - static_cast<long>(line + 1) * interval);
    }
  }
  return 0;
}

}  // namespace monitor
