#include "mira/miralog.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "mira/distribution.h"
#include "mira/miratags.h"
#include "mira/words.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "sharedmem/tagaccess.h"

namespace mira {

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File openForAppend(const std::string& path) { return File(std::fopen(path.c_str(), "a"), std::fclose); }

long sizeOf(FILE* file) {
  std::fseek(file, 0, SEEK_END);
  return std::ftell(file);
}

void writeHeader(FILE* file) {
  const auto value = [](int handle) { return dbReadValueByHandle(handle); };
  std::fprintf(file,
               "mastertotalnr = %d\nmasternrinoff = %d\nmastertotpower = %d\nmasteradrlimlo = %d\n"
               "masteradrlimlhi = %d\nmiragain = %d\nmirasetval = %d\nmirahighlim = %d\nmirasampinterv = %d\n"
               "miraprofilefirst = %d\nmiraprofileinter = %d\nmiraprofilelast = %d\nmirapowerfirst = %d\n"
               "mirapowerintermediate = %d\nmirapowerlast = %d\n",
               value(tag::kMasterTotalNr), value(tag::kMasterNrInOff), value(tag::kMasterTotPower),
               value(tag::kMasterAdrLimLo), value(tag::kMasterAdrLimHi), value(tag::kGain), value(tag::kSetValue),
               value(tag::kHighLimit), value(tag::kSampleInterval), value(tag::kProfileFirst),
               value(tag::kProfileIntermediate), value(tag::kProfileLast), value(tag::kPowerFirst),
               value(tag::kPowerIntermediate), value(tag::kPowerLast));
  std::fprintf(file,
               "date;time;factorID;factor;miramainlimit;opaccurr;firstlimit;interlimit;lastlimit;"
               "miralimits1;miralimits2\n");
}

void writeLine(FILE* file, int factor) {
  const auto date = static_cast<uint32_t>(dbReadValueByHandle(tag::kDate));
  const auto time = static_cast<uint32_t>(dbReadValueByHandle(tag::kTime));
  std::fprintf(file, "%d/%02d/%02d; %02d:%02d:%02d; %d; %d; %d; %d;", static_cast<int>(date >> 16) + 1900,
               static_cast<int>((date >> 8) & 0xFF), static_cast<int>(date & 0xFF), static_cast<int>(time >> 24),
               static_cast<int>((time >> 16) & 0xFF), static_cast<int>((time >> 8) & 0xFF),
               dbReadValueByHandle(tag::kFactorId), factor, dbReadValueByHandle(tag::kMainLimit),
               dbReadValueByHandle(tag::kOpacCurr));
  const int cells = std::min(dbReadValueByHandle(tag::kTotalCells), kCells);
  for (int cell = 1; cell <= cells; ++cell) {
    const ThreeFields limits{static_cast<uint32_t>(dbReadValueByHandle(tag::kCellLimitsBefore + cell))};
    std::fprintf(file, "%d; %d; %d; %d;", cell, limits.get(kFirst), limits.get(kIntermediate), limits.get(kLast));
  }
  std::fprintf(file, "\n");
}

bool rotate() {
  using orvix::platform::resolvePath;
  using orvix::platform::shellQuoteFile;
  orvix::platform::ShellCommand command;
  command.format("mv %s %s", shellQuoteFile(resolvePath(kLogFile)).c_str(),
                 shellQuoteFile(resolvePath(kLogBackup)).c_str());
  return command.fits() && orvix::platform::runShellCommand(command) == 0;
}

}  // namespace

void appendMiraLog(int factor) {
  const std::string path = orvix::platform::resolvePath(kLogFile);
  File file              = openForAppend(path);
  if (file && sizeOf(file.get()) > kLogRotationBytes) {
    file.reset();
    if (!rotate()) std::fprintf(stderr, "cannot move %s to %s\n", kLogFile, kLogBackup);
    file = openForAppend(path);
  }
  if (!file) {
    std::perror(kLogFile);
    return;
  }
  if (sizeOf(file.get()) == 0) writeHeader(file.get());
  writeLine(file.get(), factor);
  // Each line reaches the disk before the next distribution, so a power cut loses none.
  if (std::fflush(file.get()) != 0 || fsync(fileno(file.get())) != 0) std::perror(kLogFile);
}

}  // namespace mira
