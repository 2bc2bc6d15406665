#include "limiters.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "sharedmem/tagaccess.h"

namespace limiters {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTickPoll = std::chrono::milliseconds(10);
// The tick changes once a second: after one is seen the next is not polled for before
// this (leaving room for the database's jitter), so a host of many units stays quiet.
constexpr auto kQuietAfterTick = std::chrono::milliseconds(800);
constexpr auto kStopCheck      = std::chrono::milliseconds(100);

void write(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

bool stopRequested() { return dbReadValueByHandle(internal::kSystemState) == internal::kStopSystemState; }

int currentTick() { return dbReadValueByHandle(internal::kSecondsOfDay); }

// Polls from `pollFrom` on until the tick satisfies `done`; false when the stop word came first.
template <typename Done>
bool waitForTick(Done done, int* tick, Clock::time_point pollFrom = {}) {
  for (;;) {
    if (stopRequested()) return false;
    if (const Clock::time_point now = Clock::now(); now < pollFrom) {
      std::this_thread::sleep_for(std::min<Clock::duration>(kStopCheck, pollFrom - now));
      continue;
    }
    *tick = currentTick();
    if (done(*tick)) return true;
    std::this_thread::sleep_for(kTickPoll);
  }
}

bool switchedOn(int before, int now) { return before == 0 && now != 0; }

}  // namespace

void writeTestValues() {
  for (int code = 0; code < kCodes; ++code) {
    write(tag::kShortShare[code], 20 + 10 * code);
    write(tag::kLongShare[code], 1000 + code);
  }
}

void clearCounts() {
  for (int handle : tag::kCount) write(handle, 0);
}

void Limiters::initLimiters() {
  statistics_.reset();
  publish();
  lastTron_    = dbReadValueByHandle(tag::vxi_tronstatus);
  lastRapping_ = dbReadValueByHandle(tag::vxi_rapping);
  for (int timer = 0; timer < kTimers; ++timer) lastTimer_[timer] = dbReadValueByHandle(tag::kTimerStatus[timer]);
  eventsKnown_ = false;
}

// Every edge is followed on every pass, so that a change of the setting never sees a stale one.
bool Limiters::resetEventOccurred() {
  const int tron    = dbReadValueByHandle(tag::vxi_tronstatus);
  const int rapping = dbReadValueByHandle(tag::vxi_rapping);
  std::array<bool, kTimers> timerStarted{};
  for (int timer = 0; timer < kTimers; ++timer) {
    const int status    = dbReadValueByHandle(tag::kTimerStatus[timer]);
    timerStarted[timer] = switchedOn(lastTimer_[timer], status);
    lastTimer_[timer]   = status;
  }
  const bool tronOn       = switchedOn(lastTron_, tron);
  const bool rappingEnded = lastRapping_ != 0 && rapping != lastRapping_;
  lastTron_               = tron;
  lastRapping_            = rapping;

  const int event = dbReadValueByHandle(tag::vxo_limiterstatreset);
  if (event == 1) {
    if (!tronOn) std::printf("TR\n");
    return tronOn;
  }
  if (event == 2) return rappingEnded;
  if (event >= 3 && event < 3 + kTimers) return timerStarted[event - 3];
  return false;
}

// The first row after start only learns the counters: what they counted before is no event.
// A counter still at 0 then is known too, so its very first spark counts.
void Limiters::addEvents() {
  const bool known   = eventsKnown_;
  eventsKnown_       = true;
  const auto changed = [known](int& last, int now) {
    const bool event = known && now != last;
    last             = now;
    return event;
  };
  if (changed(lastArc_, dbReadValueByHandle(tag::vxi_accarc))) dbIncrementByHandle(tag::kCount[kArcCode]);
  if (changed(lastSpark_, dbReadValueByHandle(tag::vxi_accspark))) dbIncrementByHandle(tag::kCount[kSparkCode]);
  if (changed(lastDouble_, dbReadValueByHandle(tag::vxi_accdoublespark))) {
    dbIncrementByHandle(tag::kCount[kSparkCode]);
  }
}

// Each count is read and cleared in one step: a sample counted meanwhile goes to the next row.
Counts Limiters::takeCounts() {
  Counts counts{};
  int ignored = 0;
  for (int code = 0; code < kCodes; ++code) dbTakeValueByHandle(tag::kCount[code], &counts[code], &ignored);
  return counts;
}

void Limiters::publish() const {
  for (int code = 0; code < kCodes; ++code) {
    write(tag::kShortShare[code], statistics_.shortResult()[code]);
    write(tag::kLongShare[code], statistics_.longResult()[code]);
  }
}

void Limiters::pass(int tick) {
  if (resetEventOccurred()) {
    clearCounts();
    initLimiters();
    return;
  }
  if (tick % kRowSeconds != 0) return;
  addEvents();
  statistics_.addRow(takeCounts(), dbReadValueByHandle(tag::vxo_limiterstatshort),
                     dbReadValueByHandle(tag::vxo_limiterstatlong));
  publish();
}

void run(Limiters& limiters, bool testValues) {
  limiters.initLimiters();
  // Written after the initialisation, which clears the results, so that they can be seen.
  if (testValues) writeTestValues();
  std::printf("[DEBUG] \33[31mTICK1\33[0m\n");
  int tick = 0;
  // The first period starts on a whole 10 seconds, with nothing counted before it.
  if (!waitForTick([](int now) { return now % kRowSeconds == 0; }, &tick)) return;
  clearCounts();
  const int aligned = tick;
  if (!waitForTick([aligned](int now) { return now != aligned; }, &tick)) return;
  std::printf("[DEBUG] \33[31mTICK2\33[0m\n");
  for (;;) {
    const int last               = tick;
    const Clock::time_point seen = Clock::now();
    if (!waitForTick([last](int now) { return now != last; }, &tick, seen + kQuietAfterTick)) return;
    std::printf("[DEBUG] \33[31mTICK\33[0m\n");
    limiters.pass(tick);
  }
}

}  // namespace limiters
