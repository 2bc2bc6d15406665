#include "tron.h"

#include <cstdio>

#include "energisationtags.h"
#include "platform/platform.h"

using namespace etag;

namespace {
constexpr const char* kTronFlag = "/home/root/TRON";  // the T/R set was on
}  // namespace

void handleTronCmd(TronState& state) {
  // Equal commands: an operator has set the one that did not reflect the state.
  if (readTag(kTronCommand) == readTag(kTroffCommand)) {
    if (readTag(kTronCommand) == 1 && readTag(kTron) == 0) {
      writeTag(kTron, 1);
      writeTag(kTroffCommand, 0);
    }
    if (readTag(kTroffCommand) == 1 && readTag(kTron) == 1) {
      writeTag(kTron, 0);
      writeTag(kTronCommand, 0);
    }
  }
  const int tron = readTag(kTron);
  if (tron == 0) {
    writeTag(kTroffCommand, 1);
    writeTag(kTronCommand, 0);
  } else if (tron == 1) {
    writeTag(kTroffCommand, 0);
    writeTag(kTronCommand, 1);
    if (state.lastTron == 0) {
      writeTag(kTronDate, readTag(kDate));
      writeTag(kTronTime, readTag(kTime));
    }
  }
  state.lastTron = tron;
}

void updateTronFile(TronState& state) {
  const int status = readTag(kTronStatus);
  if (state.lastStatus == 0 && status == 1) {
    if (!orvix::platform::touchFile(kTronFlag)) std::fprintf(stderr, "cannot touch %s\n", kTronFlag);
  } else if (state.lastStatus != 0 && status == 0) {
    orvix::platform::removeFile(kTronFlag);
  }
  state.lastStatus = status;
}

void makeDSPtroff() {
  objectType tron{};
  int errCode = 0;
  if (dbGetObjectByHandle(kTron, &tron, &errCode)) dbSetCanbusLastValue(tron.canbus.address, 1);
}
