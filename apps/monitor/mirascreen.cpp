#include "mirascreen.h"

#include <string>

#include "monitortags.h"
#include "sharedmem/shmem.h"
#include "tagvalue.h"
#include "terminal.h"

namespace monitor {

namespace {

constexpr int kUnits          = 10;
constexpr int kFieldBits      = 10;  // each packed power or limit, 0.1 %
constexpr unsigned kFieldMask = (1u << kFieldBits) - 1;
constexpr int kLabelWidth     = 13;
constexpr int kValueWidth     = 7;

// The up and down flags of the three field types in a unit's status word.
struct StatusFlags {
  unsigned firstUp, firstDown, interUp, interDown, lastUp, lastDown;
};

StatusFlags flagsOf(unsigned word) {
  return StatusFlags{(word >> 5) & 1u,    (word >> 6) & 1u,  (word >> 16) & 0xFu,
                     (word >> 20) & 0xFu, (word >> 29) & 1u, (word >> 30) & 1u};
}

void printPacked(std::FILE* out, const std::string& label, int word) {
  const unsigned bits = static_cast<unsigned>(word);
  std::fprintf(out, "%-*s", kLabelWidth, label.c_str());
  for (int field = 0; field < 3; ++field) {
    std::fprintf(out, " %s", fittedScaled((bits >> (field * kFieldBits)) & kFieldMask, -1, kValueWidth).c_str());
  }
  std::fputc('\n', out);
}

}  // namespace

void printMira(std::FILE* out) {
  static const NamedTag mainLimit("vxi_miramainlimit");
  static const NamedTag opacityLimit("vxi_opaccurr");
  std::fprintf(out, "Mira Main Limit %s %%\n",
               fittedScaled(mainLimit.value(), mainLimit.exponent(), kValueWidth).c_str());
  std::fprintf(out, "OpOpt Limit     %s %%\n",
               fittedScaled(opacityLimit.value(), opacityLimit.exponent(), kValueWidth).c_str());
  std::fprintf(out, "%-*s first  inter   last  (up down)\n", kLabelWidth, "");
  for (int unit = 0; unit < kUnits; ++unit) {
    const StatusFlags f     = flagsOf(static_cast<unsigned>(status(handles::kMiraStatus + unit)));
    const std::string label = "MIRASTATUS" + std::to_string(unit + 1);
    std::fprintf(out, "%-*s  %u %u   %X %X    %u %u\n", kLabelWidth, label.c_str(), f.firstUp, f.firstDown, f.interUp,
                 f.interDown, f.lastUp, f.lastDown);
  }
  std::fprintf(out, "%-*s   first   inter    last (%%)\n", kLabelWidth, "");
  for (int unit = 0; unit < kUnits; ++unit) {
    printPacked(out, "MIRAPOWER" + std::to_string(unit + 1), status(handles::kMiraPowers + unit));
  }
  printPacked(out, "PROFILE", status(handles::kMiraProfile));
  for (int unit = 0; unit < kUnits; ++unit) {
    printPacked(out, "MIRALIMITS" + std::to_string(unit + 1), status(handles::kMiraLimits + unit));
  }
}

void MiraScreen::onPoll(const Poll& poll, std::FILE* out) {
  if (!period_.due(poll.nowMs)) return;
  beginRedraw(out);
  printMira(out);
  std::fflush(out);
}

void DebugScreen::onPoll(const Poll& poll, std::FILE* out) {
  if (!period_.due(poll.nowMs)) return;
  const int first = handles::kDebugWords;
  beginRedraw(out);
  std::fprintf(out, "\n\33[1;32m %d %d %d %d", status(first), status(first + 1), status(first + 2), status(first + 3));
  std::fflush(out);
}

}  // namespace monitor
