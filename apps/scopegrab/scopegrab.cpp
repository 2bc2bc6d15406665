#include "scopegrab.h"

#include <algorithm>
#include <charconv>
#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "curvefile.h"
#include "decimaltext.h"
#include "platform/platform.h"
#include "scopetags.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace scopegrab {
namespace {

namespace lw = scope::limiterword;
using orvix::platform::resolvePath;

constexpr int kWebSamplesPerSize = 1024;
constexpr size_t kLongestValue   = 11;  // characters of one data-log value
constexpr int kValuesPerSample   = 7;

std::string readWholeFile(const std::string& realPath) {
  std::ifstream in(realPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "YYYY-MM-DD HH:MM:SS", the local time the capture is written.
std::string timeStamp() {
  char text[32]    = {};
  const time_t now = std::time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  std::strftime(text, sizeof text, "%F %T", &local);
  return std::string(text).substr(0, 19);
}

int deviationTag(int maxDeviation, int sr) { return maxDeviation < 3 ? 0 : (maxDeviation - 2) * sr * 104 / 10; }

// Within a line: the first character of every value and where it ends.
std::vector<std::string_view> splitValues(std::string_view line) {
  std::vector<std::string_view> values;
  size_t start = 0;
  while (values.size() < kValuesPerSample) {
    const size_t end = line.find(';', start);
    values.push_back(line.substr(start, std::min(end, line.size()) - start).substr(0, kLongestValue));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return values;
}

template <typename T>
T parsed(std::string_view value, T (*convert)(const char*, char**)) {
  char text[kLongestValue + 1] = {};
  value.copy(text, kLongestValue);
  return convert(text, nullptr);
}
float toFloat(const char* s, char** end) { return std::strtof(s, end); }
uint32_t toWord(const char* s, char** end) { return static_cast<uint32_t>(std::strtoul(s, end, 10)); }

// One line of a capture's files built in place: parsing a format for each of some 12000
// lines cost more than every analysis together. Text beyond the line's room is dropped.
class Line {
 public:
  Line& operator<<(const char* text) {
    while (*text != '\0' && end_ < last()) *end_++ = *text++;
    return *this;
  }
  Line& operator<<(std::integral auto value) {
    end_ = std::to_chars(end_, last(), value).ptr;
    return *this;
  }
  void writeTo(std::FILE* file) {
    *end_++ = '\n';
    std::fwrite(text_, 1, static_cast<size_t>(end_ - text_), file);
    end_ = text_;
  }

 private:
  char* last() { return std::end(text_) - 1; }  // room kept for the newline
  char text_[256];
  char* end_ = text_;
};

}  // namespace

int readTag(int handle) { return dbReadValueByHandle(handle); }

void writeTag(int handle, int value) {
  int error = 0;
  dbSetValueByHandle(handle, value, &error);
}

ScopeGrab::ScopeGrab(const Global& global) : g_(global), capture_(std::make_unique<scope::Capture>()) {}

void ScopeGrab::writeDataLogHeader(std::FILE* log, const char* dateTime) {
  const scope::Capture& c = *capture_;
  std::fprintf(log, "[Information]\n");
  std::fprintf(log, "DateTime=%s\n", dateTime);
  std::fprintf(log, "Freq=%d\n", sampleFrequencyHz(c.sampleRate));
  std::fprintf(log, "Samples=%d\n", c.captureLength);
  std::fprintf(log, "FileVersion=1\n");
  if (g_.logSettings) {
    std::fprintf(log, "[Tags]\n");
    std::vector<std::pair<std::string, int>> named;
    for (int handle = 0; handle < kNoOfHandles; ++handle) {
      char* unit = nullptr;
      char* name = nullptr;
      int error  = 0;
      if (dbIsInitialized(handle) && dbGetUnitAndTagNameByHandle(handle, &unit, &name, &error) && name[0] != '\0') {
        named.emplace_back(name, handle);
      }
    }
    std::sort(named.begin(), named.end());
    for (const auto& [name, handle] : named) {
      if (dbIsGroup(handle)) {
        std::printf("group %d", handle);
        continue;
      }
      char* text = nullptr;
      int error  = 0;
      if (dbIsTextAttaced(handle) && dbGetModbusTextByTagName(name.c_str(), &text, &error)) {
        std::fprintf(log, "%s=%s\n", name.c_str(), text);
      } else {
        std::fprintf(log, "%s=%d\n", name.c_str(), readTag(handle));
      }
    }
  }
  const char* d = g_.delim;
  std::fprintf(log, "Columns=mA%skV%sI%sV%sLimiter%smASet%sIgnAngle\n", d, d, d, d, d, d);
  std::fprintf(log, "[Data] \n");
}

void ScopeGrab::SaveToFile(int source) {
  scope::Capture& c = *capture_;
  c.captureLength   = std::clamp(c.captureLength, 0, scope::kMaxSamples);
  if (source == kFreshCapture) {
    c.sampleRate    = readTag(tag::vxo_samplerate);
    c.lineFrequency = readTag(tag::vxi_linefrequency);
    c.firingRatio   = readTag(tag::vxi_firingratio);
  } else {
    c.sampleRate    = g_.fi.sampleRate;
    c.lineFrequency = g_.fi.lineFrequency;
    c.firingRatio   = g_.fi.firingRatio;
  }
  const CaptureSettings settings{c.sampleRate, c.lineFrequency, c.firingRatio};
  writeTag(internal::kBadMeasurement, 0);

  const int viewType  = readTag(tag::vxo_scopeview2type);
  const bool writeLog = viewType != kChargeView && viewType != kCoronaView && viewType != kPulseView;
  FilePtr log;
  if (writeLog) {
    const std::string logPath = std::string(g_.logFilePath) + "scopedatalog";
    std::remove(resolvePath(logPath).c_str());
    log = openForWriting(logPath);
    std::printf("open fp ");
  }
  FilePtr scopeWeb;
  FilePtr controlWeb;
  if (g_.webScope) {
    scopeWeb   = openForWriting(kScopeWebFile);
    controlWeb = openForWriting(kControlWebFile);
    if (source == kFreshCapture) {
      writeTag(tag::vxi_capturedate, readTag(tag::vxo_date));
      writeTag(tag::vxi_capturetime, readTag(tag::vxo_time));
    }
  }
  const std::string dateTime = timeStamp();
  if (log) writeDataLogHeader(log.get(), dateTime.c_str());
  if (scopeWeb) std::fprintf(scopeWeb.get(), "Sample,mA,kV,I,V\n");
  if (controlWeb) std::fprintf(controlWeb.get(), "Sample,Limiter,mAset,IgnAngle,PhaseFire\n");

  info_               = sampleInfo{};
  info_.sampleRate    = c.sampleRate;
  info_.lineFrequency = c.lineFrequency;
  info_.firingRatio   = c.firingRatio;
  SampleAnalysis samples(info_, c.captureLength, readTag(internal::kKvOffset));
  const int webSamples = kWebSamplesPerSize * std::clamp(readTag(tag::vxo_webscopedatasize), 1, 4);
  const char* d        = g_.delim;
  uint32_t dvdtPeak    = 0;
  Line line;
  for (int i = 0; i < c.captureLength; ++i) {
    const float ma         = c.CAPBuffers[scope::CH_MA].Value[i];
    const float kv         = c.CAPBuffers[scope::CH_KV].Value[i];
    const float a          = c.CAPBuffers[scope::CH_A].Value[i];
    const float v          = c.CAPBuffers[scope::CH_V].Value[i];
    const uint32_t limiter = c.limiterData[i];
    const uint32_t angle   = c.firingAngleData[i];
    samples.timing(limiter);
    dvdtPeak = std::max(dvdtPeak, scope::fieldOf(limiter, lw::kDvdt));
    samples.pulses(i, kv * 10, limiter, angle);
    if (log) {
      line << decimalText(ma).c_str() << d << decimalText(kv).c_str() << d << decimalText(a).c_str() << d
           << decimalText(v).c_str() << d << limiter << d << c.maSetPointData[i] << d << angle;
      line.writeTo(log.get());
    }
    if (i >= webSamples) continue;
    if (scopeWeb) {
      line << i << "," << decimalText(ma).c_str() << ",-" << decimalText(kv).c_str() << "," << decimalText(a).c_str()
           << "," << decimalText(v).c_str();
      line.writeTo(scopeWeb.get());
    }
    if (controlWeb) {
      const uint32_t tenths = scope::fieldOf(angle, scope::angleword::kIgnitionAngle);
      const int phase       = scope::fieldOf(limiter, lw::kFiring) == 0   ? 0
                              : scope::fieldOf(limiter, lw::kPhaseA) != 0 ? 1
                                                                          : -1;
      line << i << "," << scope::fieldOf(limiter, lw::kLimiter) << ","
           << scope::fieldOf(c.maSetPointData[i], scope::setpointword::kSetPoint) << "," << tenths / 10 << "."
           << tenths % 10 << "," << phase;
      line.writeTo(controlWeb.get());
    }
  }
  log.reset();
  scopeWeb.reset();
  controlWeb.reset();

  std::printf("samplesPerCycle %d.%d samples/cycle rate %d\n", info_.samplesPerCycle / 10, info_.samplesPerCycle % 10,
              sampleFrequencyHz(c.sampleRate));
  if (readTag(tag::vxo_runtest) == 1) {
    writeTag(tag::vxi_zerocrossdeviation, deviationTag(info_.maxDeviation, c.sampleRate));
    writeTag(tag::vxi_dvdtpeak, static_cast<int>(dvdtPeak));
  }
  std::printf("dvdt peak %d \n", static_cast<int>(dvdtPeak));

  bool bad = samples.badMeasurement();
  if (readTag(tag::vxi_tronstatus) == 0) printOffsets(c);
  analyse(viewType, settings, bad);

  writeTag(internal::kBadMeasurement, bad ? 1 : 0);
  writeTag(tag::vxo_scopegrabstatus, status::kDone);
  std::printf("badmeasurement %d \n", bad ? 1 : 0);
  writeTag(tag::vxo_serialtransmisson, 0);
  c.captureLength = 0;
}

void ScopeGrab::analyse(int viewType, const CaptureSettings& settings, bool& bad) {
  const bool pulsesTaken = info_.noOfPulsesInSum > 0;
  switch (viewType) {
    case kSpectrumView:
      spectrumAndQuality(*capture_, settings, true, transform_, ffts_);
      break;
    case kSparkView:
      sparkRecord(*capture_);
      break;
    case kChargeView:
      bad = !chargeAverage(info_, settings, bad);
      break;
    case kCoronaView:
      if (pulsesTaken) coronaOnset(info_, settings);
      bad = bad || !pulsesTaken;
      break;
    case kPulseView:
      if (pulsesTaken) pulseView(info_, settings);
      bad = bad || !pulsesTaken;
      break;
    case kPhaseView:
      phasePulse(info_, settings);
      break;
    default:
      break;
  }
}

void ScopeGrab::LoadFile(bool recalculate) {
  if (!recalculate) {
    std::ofstream(resolvePath(kFtpDataLog), std::ios::binary | std::ios::trunc)
        << readWholeFile(resolvePath(kExternalDataLog));
    std::printf("external file ");
  }
  const std::string whole = readWholeFile(resolvePath(kFtpDataLog));
  const size_t columns    = whole.find("Columns=");
  const std::string data  = columns == std::string::npos ? std::string() : whole.substr(columns);
  std::ofstream(resolvePath(kStrippedLog), std::ios::binary | std::ios::trunc) << data;
  std::printf("remove settings data and create externalDataLog");

  g_.fi = FileInfo{0, readTag(tag::vxi_linefrequency), readTag(tag::vxi_firingratio)};
  parseDataLogHeader(std::string_view(whole).substr(0, columns == std::string::npos ? whole.size() : columns), g_.fi);
  capture_->captureLength = parseDataLog(data, *capture_);
  if (!recalculate) std::remove(resolvePath(kExternalDataLog).c_str());
  std::printf("remove files ");
  SaveToFile(kReloadedLog);
}

int parseDataLog(std::string_view text, scope::Capture& capture) {
  const size_t marker = text.find("[Data]");
  if (marker == std::string_view::npos) return 0;
  size_t position = text.find('\n', marker);
  int samples     = 0;
  while (position != std::string_view::npos && position < text.size() && samples < scope::kMaxSamples) {
    const size_t start    = position + 1;
    position              = text.find('\n', start);
    std::string_view line = text.substr(start, (position == std::string_view::npos ? text.size() : position) - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::vector<std::string_view> values = splitValues(line);
    const auto value = [&](size_t column) { return column < values.size() ? values[column] : std::string_view(); };
    for (int ch = 0; ch < 4; ++ch) capture.CAPBuffers[ch].Value[samples] = parsed(value(ch), toFloat);
    capture.CAPBuffers[scope::CH_AUX].Value[samples] = 0;
    capture.limiterData[samples]                     = parsed(value(4), toWord);
    capture.maSetPointData[samples]                  = parsed(value(5), toWord);
    capture.firingAngleData[samples]                 = parsed(value(6), toWord);
    ++samples;
  }
  return samples;
}

void parseDataLogHeader(std::string_view text, FileInfo& info) {
  const auto valueOf = [&](std::string_view key, int& field) {
    size_t at = 0;
    while ((at = text.find(key, at)) != std::string_view::npos) {
      if (at == 0 || text[at - 1] == '\n') {
        field = parsed(
            text.substr(at + key.size(), kLongestValue),
            +[](const char* s, char** end) { return static_cast<int>(std::strtol(s, end, 10)); });
        return true;
      }
      at += key.size();
    }
    return false;
  };
  int frequency = 0;
  if (valueOf("Freq=", frequency)) info.sampleRate = frequency > 0 ? 9600 / frequency : 0;
  valueOf("vxi_linefrequency=", info.lineFrequency);
  valueOf("vxi_firingratio=", info.firingRatio);
}

}  // namespace scopegrab
