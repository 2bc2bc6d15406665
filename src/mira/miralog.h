// "/tmp/miraLog.csv": one line per distribution of the master, with a header block of the
// plant and MIRA settings at the top of every new file; moved to "/tmp/miraLog.bak" when
// it has grown past 100000 bytes.
#pragma once

namespace mira {

constexpr const char* kLogFile   = "/tmp/miraLog.csv";
constexpr const char* kLogBackup = "/tmp/miraLog.bak";
constexpr long kLogRotationBytes = 100000;

void appendMiraLog(int factor);

}  // namespace mira
