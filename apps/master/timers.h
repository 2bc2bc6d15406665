// The note shown in vxi_masternotes for five seconds, and the timer thread that clears it
// and watches the master mode setting.
#pragma once

#include <cstdint>
#include <mutex>
#include <thread>

namespace master {

// vxi_masternotes codes.
enum MasterNote : int {
  kNoteNone           = 0,
  kNoteOtherMaster    = 1,  // commanded by another master
  kNoteNodeNotEntered = 3,
  kNoteOwnOutOfRange  = 4,
  kNoteTrOnResent     = 5,
  kNoteCommandSent    = 6,
  kNoteWaitingClient  = 7,
};

constexpr int64_t kNoteShownMs = 5000;

// The note and its time-out are set by the main thread and cleared by the timer thread:
// both go under one lock so that a new note is never cleared by the old one's time-out.
class MasterNotes {
 public:
  void set(int note, int64_t nowMs);
  // Clears the note once it has been shown for kNoteShownMs.
  void expire(int64_t nowMs);

 private:
  std::mutex mutex_;
  int64_t clearAtMs_ = 0;  // 0: nothing to clear
};

// Beside the receive loop: clears notes and, when vxo_mastermode changes, asks the
// master turn to send the new mode (vxo_mastermodecmd).
class TimerThread {
 public:
  explicit TimerThread(MasterNotes& notes);

 private:
  void run(std::stop_token stop);
  MasterNotes& notes_;
  std::jthread thread_;
};

}  // namespace master
