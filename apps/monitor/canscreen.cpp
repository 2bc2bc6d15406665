#include "canscreen.h"

#include "monitortags.h"
#include "platform/shell.h"
#include "sharedmem/shmem.h"
#include "terminal.h"

namespace monitor {

namespace {

constexpr int kCycleMs                 = 200;
constexpr int kRateCycles              = 5;   // one second of cycles
constexpr int kInterfaceCycles         = 50;  // the interface is read twice in this many cycles
constexpr int kInterfaceReadA          = 0;   // the 1st cycle
constexpr int kInterfaceReadB          = 27;  // the 28th cycle
constexpr int kWholeHzBelowCycles      = 6;   // too few cycles for a tenth
constexpr int kTenthsPerChangePerCycle = 10 * 1000 / kCycleMs;

std::string interfaceLine(const char* label) {
  char command[96];
  std::snprintf(command, sizeof command, "ifconfig can0 2>/dev/null | grep '%s'", label);
  char line[160] = "";
  int exitStatus = 0;
  if (!orvix::platform::readShellCommand(command, line, sizeof line, &exitStatus)) return {};
  return line;
}

}  // namespace

void FrameRate::sample(int cycle, int counter) {
  if (!seen_) {
    seen_        = true;
    lastCounter_ = counter;
    return;
  }
  if (cycle % kRateCycles != 0) return;
  const int perSecond = counter - lastCounter_;
  lastCounter_        = counter;
  // The mean of the last rate and the new one, rounded, smooths a bursty bus.
  rate_ = (rate_ + perSecond + 1) / 2;
}

void RefreshRate::addCycle(int changes) {
  changes_[static_cast<size_t>(next_)] = changes;
  next_                                = (next_ + 1) % kCycles;
  if (held_ < kCycles) ++held_;
}

void RefreshRate::print(std::FILE* out) const {
  int changes = 0;
  for (int i = 0; i < held_; ++i) changes += changes_[static_cast<size_t>(i)];
  const int tenths = held_ ? changes * kTenthsPerChangePerCycle / held_ : 0;
  if (held_ < kWholeHzBelowCycles) {
    std::fprintf(out, "\n Refresh freq \t\t%d.0 Hz \n", tenths / 10);
  } else {
    std::fprintf(out, "\n Refresh freq \t\t%d.%d Hz \n", tenths / 10, tenths % 10);
  }
}

void CanScreen::onPoll(const Poll& poll, std::FILE* out) {
  if (poll.updated) ++changesThisCycle_;
  if (!period_.due(poll.nowMs)) return;
  if (!poll.first) {
    refresh_.addCycle(changesThisCycle_);
    changesThisCycle_ = 0;
  }
  const int txFrames = status(handles::kCanTxFrames);
  const int rxFrames = status(handles::kCanRxFrames);
  tx_.sample(cycle_, txFrames);
  rx_.sample(cycle_, rxFrames);
  const int phase = cycle_ % kInterfaceCycles;
  if (phase == kInterfaceReadA || phase == kInterfaceReadB) {
    txPackets_ = interfaceLine("TX packets");
    rxPackets_ = interfaceLine("RX packets");
  }
  ++cycle_;

  beginRedraw(out);
  std::fprintf(out, "TX Frames \t\t%d \t%d frames/s\n", txFrames, tx_.perSecond());
  std::fprintf(out, "RX Frames \t\t%d \t%d frames/s\n", rxFrames, rx_.perSecond());
  std::fprintf(out, "%s\n%s\n", txPackets_.c_str(), rxPackets_.c_str());
  refresh_.print(out);
  std::fflush(out);
}

}  // namespace monitor
