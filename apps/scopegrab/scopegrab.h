// Processing one capture into the data log, the web files and the analysis of its view
// type (SaveToFile), and reloading an external data log (LoadFile).
#pragma once

#include <memory>
#include <string_view>

#include "analyses.h"
#include "sampleinfo.h"
#include "scopecapture/capture.h"
#include "spectrum.h"

namespace scopegrab {

struct FileInfo {
  int sampleRate    = 0;  // divider
  int lineFrequency = 0;  // 0.1 Hz
  int firingRatio   = 0;  // 0.01 %
};

struct Global {
  char logFilePath[100] = "/home/ftp/";  // directory of "scopedatalog", with its trailing "/"
  char iniFile[100]     = {};
  char delim[2]         = ";";
  bool logSettings      = true;  // the data log carries the tags
  bool webScope         = true;  // "/tmp/scope.tmp" and "/tmp/control.tmp" are written
  bool debug            = false;
  FileInfo fi;  // settings of a reloaded data log
};

enum Source : int { kFreshCapture = 0, kReloadedLog = 1 };

// View types of vxo_scopeview2type.
enum ViewType : int {
  kControlView  = 0,
  kSpectrumView = 1,
  kSparkView    = 2,
  kChargeView   = 3,
  kCoronaView   = 4,
  kPulseView    = 5,
  kPhaseView    = 6,
};

constexpr const char* kExternalDataLog = "/home/ftp/externaldatalog";
constexpr const char* kFtpDataLog      = "/home/ftp/scopedatalog";
constexpr const char* kStrippedLog     = "/tmp/externalDataLog";

class ScopeGrab {
 public:
  explicit ScopeGrab(const Global& global);
  scope::Capture& capture() { return *capture_; }
  const sampleInfo& info() const { return info_; }

  void SaveToFile(int source);
  void LoadFile(bool recalculate);

 private:
  void writeDataLogHeader(std::FILE* log, const char* dateTime);
  void analyse(int viewType, const CaptureSettings& settings, bool& bad);

  Global g_;
  std::unique_ptr<scope::Capture> capture_;
  sampleInfo info_;
  SpectrumTransform transform_;
  FFT ffts_[4];
};

// The samples of a data log: after the line holding "[Data]", one sample a line, values
// separated by ";" (each at most 11 characters) in the order of the capture's channels.
// Returns the number of samples taken, at most 4096.
int parseDataLog(std::string_view text, scope::Capture& capture);

// The settings a data log's header names: "Freq=" gives the divider, and the tags section
// the line frequency and the firing ratio; what it does not name is left unchanged.
void parseDataLogHeader(std::string_view text, FileInfo& info);

}  // namespace scopegrab
