#include "masterloop.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "mastertags.h"
#include "messagetext.h"
#include "orxtime/orxtime.h"
#include "platform/platform.h"
#include "sharedmem/tagaccess.h"

namespace master {

namespace {

constexpr int kMasterWaitMs       = 2000;  // silence after which commands are resent and polls sent
constexpr int kClientWaitMs       = 3000;
constexpr int64_t kPollCycleMs    = 5000;  // poll at least this often while messages keep coming
constexpr int kAfterTrOnMs        = 100;
constexpr int kRfRepeatMs         = 10;
constexpr int kHighestRappingNode = 126;

void setTag(int handle, int value) {
  int error = 0;
  dbSetValueByHandle(handle, value, &error);
}

// Reads a command tag and clears it; whether it was set.
bool takeCommand(int handle) {
  if (dbReadValueByHandle(handle) == 0) return false;
  setTag(handle, 0);
  return true;
}

bool isModeCommand(int type) { return type >= kModeFirst && type <= kModeLast; }

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int sendPort() { return kUdpPort + dbReadValueByHandle(tag::vxo_mastergroup); }

}  // namespace

void MasterLoop::broadcast(const std::string& text) { link_.broadcast(text, sendPort()); }

void MasterLoop::note(int code) { notes_.set(code, orvix::platform::monotonicMs()); }

void MasterLoop::run() {
  while (dbReadValueByHandle(internal::kSystemState) != internal::kStopSystemState) turn();
}

void MasterLoop::turn() {
  std::printf("[DEBUG] \33[31mTICK1\33[0m");
  const int own = dbReadValueByHandle(tag::vxo_nodeaddress);
  if (dbReadValueByHandle(tag::vxo_master) != 0) {
    masterTurn(own);
  } else {
    clientTurn(own);
  }
}

void MasterLoop::masterTurn(int own) {
  const int low  = dbReadValueByHandle(tag::vxo_masteradrlimlo);
  const int high = dbReadValueByHandle(tag::vxo_masteradrlimlhi);
  if (!wasMaster_) {
    table_.firstClearNodes();
    wasMaster_ = true;
  }

  int toSend = kUnknownMessage;
  if (lastWaitTimedOut_) {
    resendUnacknowledged(low, high, own);
    toSend = takeOperatorCommands(low, high, own);
    if (toSend == kUnknownMessage) toSend = kPoll;
  } else if (orvix::platform::monotonicMs() - cycleStartMs_ >= kPollCycleMs) {
    toSend = kPoll;
  }
  if (toSend != kUnknownMessage) send(toSend, low, high, own);

  Datagram datagram;
  lastWaitTimedOut_ = !link_.receive(kMasterWaitMs, &datagram);
  if (!lastWaitTimedOut_) handleAsMaster(datagram, low, high, own);

  if (own < low || own > high) {
    note(kNoteOwnOutOfRange);
    setTag(tag::vxi_mastercontrolled, 0);
  } else {
    setTag(tag::vxi_mastercontrolled, 1);
  }
  sendRappingRequests(own);
}

void MasterLoop::resendUnacknowledged(int low, int high, int own) {
  const bool trOn  = lastMessage_ == kTrOn;
  const bool other = lastMessage_ == kTrOff || lastMessage_ == kAlarmReset || isModeCommand(lastMessage_);
  if (!trOn && !other) return;
  for (int node = low; node <= high && node < kNodeCount; ++node) {
    if (node == own || node < 0 || table_.value(node, kAckColumn) != 0) continue;
    if (trOn) {
      note(kNoteTrOnResent);
      sleepMs(dbReadValueByHandle(tag::vxo_trondelay));
    }
    broadcast(commandText(lastMessage_, node, node, own));
  }
}

int MasterLoop::takeOperatorCommands(int low, int high, int own) {
  int command = kUnknownMessage;
  if (takeCommand(tag::vxo_mastertron)) {
    command = kTrOn;
    if (own >= low && own <= high) {
      setTag(tag::vxo_tron, 1);
      if (own >= 0 && own < kNodeCount) table_.setValue(own, kAckColumn, 1);
    }
  }
  if (takeCommand(tag::vxo_mastertroff)) {
    command = kTrOff;
    setTag(tag::vxo_tron, 0);
  }
  if (takeCommand(tag::vxo_mastersync)) command = kTimeSet;
  if (takeCommand(tag::vxo_masteralarmreset)) {
    command = kAlarmReset;
    setTag(tag::vxo_sumalarmreset, 1);
  }
  if (takeCommand(tag::vxo_mastermodecmd)) {
    const int mode = dbReadValueByHandle(tag::vxo_mastermode);
    command        = kModeFirst + mode;
    setTag(tag::vxo_mode, mode);
  }
  if (command != kUnknownMessage) note(kNoteCommandSent);
  return command;
}

void MasterLoop::send(int type, int low, int high, int own) {
  cycleStartMs_ = orvix::platform::monotonicMs();
  lastMessage_  = type;
  if (type == kPoll) {
    // The summary closes the cycle whose answers came in since the last poll.
    table_.sumNodes();
    PollData poll{};
    poll.low            = low;
    poll.high           = high;
    poll.opacityCurrent = dbReadValueByHandle(tag::vxi_opaccurr);
    poll.factorId       = dbReadValueByHandle(tag::vxi_mirafactorid);
    poll.totalCells     = dbReadValueByHandle(tag::vxo_esptotalcells);
    for (int cell = 0; cell < kMaxCells; ++cell) {
      poll.cellLimits[cell] = static_cast<uint32_t>(dbReadValueByHandle(internal::kCellLimitsFirst + cell));
    }
    uint32_t pathWords[tag::kPathWords];
    for (int path = 0; path < tag::kPathWords; ++path) {
      pathWords[path] = static_cast<uint32_t>(dbReadValueByHandle(tag::vxi_espunitonoffpath1 + path));
    }
    lastPathOffset_ = nextPathOffset(lastPathOffset_, pathWords);
    poll.pathOffset = lastPathOffset_;
    poll.pathWord   = pathWords[lastPathOffset_];
    table_.clearNodes();
    table_.addMyData();
    broadcast(pollText(poll));
    dbIncrementByHandle(internal::kUdpSendCounter);
    return;
  }
  if (type == kTrOn) {
    sendTrOn(low, high, own);
    return;
  }
  if (type == kTimeSet) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    getCurrentSystemDate(&year, &month, &day);
    getCurrentSystemTime(&hour, &minute, &second);
    broadcast(timeCommandText(low, high, own, year, month, day, hour, minute, second));
  } else {
    broadcast(commandText(type, low, high, own));
  }
  dbIncrementByHandle(internal::kUdpSendCounter);
  // Every node known in the range is to acknowledge; the others are resent the command.
  if (type == kTimeSet) return;
  for (int node = low; node <= high && node < kNodeCount; ++node) {
    if (node >= 0 && node != own && table_.value(node, kTrColumn) != kNoData) table_.setValue(node, kAckColumn, 0);
  }
}

// One node at a time, so that the T/R sets do not all start at the same moment.
void MasterLoop::sendTrOn(int low, int high, int own) {
  for (int node = low; node <= high && node < kNodeCount; ++node) {
    if (node < 0 || node == own || table_.value(node, kTrColumn) != 0) continue;
    sleepMs(dbReadValueByHandle(tag::vxo_trondelay));
    broadcast(commandText(kTrOn, node, node, own));
    table_.setValue(node, kAckColumn, 0);
  }
  sleepMs(kAfterTrOnMs);
}

void MasterLoop::handleAsMaster(const Datagram& datagram, int low, int high, int own) {
  const Message message = decodeMsg(datagram.text);
  received_.apply(message);
  if (message.sender == 1) {
    if (message.type == kClientData && table_.addNode(message) == kAddRefused) note(kNoteNodeNotEntered);
    if (message.type == kHeard && message.myNode >= low && message.myNode <= high && message.myNode < kNodeCount &&
        message.myNode >= 0) {
      table_.setValue(message.myNode, kAckColumn, 1);
    }
    return;
  }
  if (message.type == kUnknownMessage || !addresses(message, own) || link_.isOwnAddress(datagram.sourceAddress)) return;
  const std::string answer = client_.actAndRespond(message, true);
  std::printf("[DEBUG] Another master IP %d, MyIP %d\n\33[0m\n", static_cast<int>(datagram.sourceAddress),
              static_cast<int>(link_.primaryAddress()));
  note(kNoteOtherMaster);
  broadcast(answer);
}

void MasterLoop::clientTurn(int own) {
  if (wasMaster_) {
    table_.firstClearNodes();
    table_.sumNodes();
    wasMaster_ = false;
  }
  for (const int command :
       {tag::vxo_mastersync, tag::vxo_mastertroff, tag::vxo_mastertron, tag::vxi_masteralarm, tag::vxo_mastermodecmd}) {
    if (dbReadValueByHandle(command) != 0) setTag(command, 0);
  }
  note(kNoteWaitingClient);
  sendRappingRequests(own);

  Datagram datagram;
  if (!link_.receive(kClientWaitMs, &datagram)) {
    setTag(tag::vxi_mastercontrolled, 0);
    return;
  }
  const Message message = decodeMsg(datagram.text);
  received_.apply(message);
  if (message.sender == 1 || message.type == kUnknownMessage || !addresses(message, own)) return;
  broadcast(client_.actAndRespond(message, false));
}

void MasterLoop::sendRappingRequests(int own) {
  RappingEntry entries[kRappingEntries];
  const int count = rapping_.collect(entries);
  for (int index = 0; index < count; ++index) {
    const RappingEntry& entry = entries[index];
    if (entry.node < 1 || entry.node > kHighestRappingNode || (entry.onMask == 0 && entry.offMask == 0)) continue;
    const std::string text = rappingText(entry.node, own, entry.onMask, entry.offMask);
    broadcast(text);
    if (entry.onMask == 0) {
      sleepMs(kRfRepeatMs);
      broadcast(text);
    }
  }
}

}  // namespace master
