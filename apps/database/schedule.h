// When the main loop runs what: the slot schedule (slots 1..19 of each second, every
// pass, each new second) and the clock schedule of slot 19 (by the seconds of the day).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "daemon.h"

// A task of the loop; true when it did significant work (the loop then skips its sleep).
using LoopTask = bool (*)(Daemon&);

constexpr int kFirstSlot = 1;
constexpr int kLastSlot = 19;

// Bit n stands for slot n; two further bits for every pass and each new second.
struct SlotSet {
  uint32_t bits;
  constexpr bool has(int slot) const { return slot >= kFirstSlot && slot <= kLastSlot && (bits >> slot & 1u) != 0; }
};

constexpr SlotSet inSlots(std::initializer_list<int> slots) {
  uint32_t bits = 0;
  for (const int slot : slots) bits |= slot >= 0 && slot < 30 ? 1u << slot : 1u;  // bit 0: a wrong slot
  return SlotSet{bits};
}
constexpr SlotSet kEveryPass{1u << 31};
constexpr SlotSet kEachNewSecond{1u << 30};

struct ScheduledTask {
  LoopTask run;
  SlotSet when;
  const char* name;
};

// Runs in slot 19 when the seconds of the day modulo period equal phase.
struct ClockTask {
  LoopTask run;
  int period;  // seconds
  int phase;   // seconds
  const char* name;
};

std::span<const ScheduledTask> loopSchedule();
std::span<const ClockTask> clockSchedule();

// Empty when both schedules are sound, else what is wrong: a task without a slot or
// in a slot outside 1..19, a clock phase outside its period, a function or name twice.
std::string checkSchedules(std::span<const ScheduledTask> loop, std::span<const ClockTask> clock);
