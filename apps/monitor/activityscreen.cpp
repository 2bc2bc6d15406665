#include "activityscreen.h"

#include "monitortags.h"
#include "pacing.h"
#include "sharedmem/shmem.h"
#include "terminal.h"

namespace monitor {

namespace {

constexpr int kRefreshMs        = 100;
constexpr unsigned kChannelBits = 0xF;
constexpr int kCountWrap        = 100000;  // the counters show five digits
enum Channel { kWebServer, kCanBus, kModbus, kUdp };

}  // namespace

void ActivityScreen::sample() {
  // Producers set their bits at any time: an atomic and clears only the bits read here,
  // so a bit set between the read and the clear is kept for the next look.
  volatile int* word  = &shared_mem->parameter.iValue[handles::kActivityFlags];
  const unsigned seen = static_cast<unsigned>(*word) & kChannelBits;
  if (seen != 0) __atomic_fetch_and(const_cast<int*>(word), ~static_cast<int>(seen), __ATOMIC_SEQ_CST);
  lastBits_ = seen;
  for (int channel = kWebServer; channel <= kUdp; ++channel) {
    if (seen & (1u << channel))
      counts_[static_cast<size_t>(channel)] = (counts_[static_cast<size_t>(channel)] + 1) % kCountWrap;
  }
}

void ActivityScreen::print(std::FILE* out) const {
  auto colour = [this](int channel) { return (lastBits_ & (1u << channel)) ? kGreen : ""; };
  auto reset  = [this](int channel) { return (lastBits_ & (1u << channel)) ? kColourReset : ""; };
  std::fprintf(out, "%sModbus    %05d%s -> |\n", colour(kModbus), counts_[kModbus], reset(kModbus));
  std::fprintf(out, "%sWebServer %05d%s -> | -> %sCanBus %05d %s\n", colour(kWebServer), counts_[kWebServer],
               reset(kWebServer), colour(kCanBus), counts_[kCanBus], reset(kCanBus));
  std::fprintf(out, "%sUDP       %05d%s -> |\n", colour(kUdp), counts_[kUdp], reset(kUdp));
}

int runActivityScreen(std::FILE* out) {
  ActivityScreen screen;
  do {
    screen.sample();
    beginRedraw(out);
    screen.print(out);
    std::fflush(out);
  } while (!waitOrStop(kRefreshMs));
  return 0;
}

}  // namespace monitor
