// The unit message protocol: one UDP text datagram decoded into a message record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace master {

constexpr int kUdpPort              = 49200;  // every master binds this port
constexpr size_t kReceiveBufferSize = 256;    // bytes of a datagram kept
constexpr size_t kMaxMessageLength  = 255;    // longer messages are cut to this
constexpr int kMaxFields            = 30;     // ";"-separated fields decoded per message
constexpr size_t kMaxFieldLength    = 20;     // characters kept of one field
constexpr size_t kTagNameSize       = 31;
constexpr size_t kTimeTextSize      = 17;  // "Ti:" value echoed in the acknowledgement
constexpr int kPasswordCount        = 3;   // low, medium, high access level
constexpr size_t kPasswordSize      = 8;   // 7 letters or digits and the terminator

// Message types; the numbers are internal and never sent.
enum MessageType : int {
  kUnknownMessage  = 0,
  kPoll            = 1,
  kClientData      = 2,
  kTrOn            = 3,
  kTrOff           = 4,
  kHeard           = 5,
  kAlarmReset      = 6,
  kModeFirst       = 7,  // kModeFirst + mode, modes 0..5
  kModeLast        = 12,
  kTimeSet         = 13,
  kPasswords       = 14,
  kSetTag          = 16,
  kReadTag         = 17,
  kStatisticsReset = 18,
  kReadFailed      = 50,
  kReadOk          = 51,
  kSetFailed       = 52,
  kSetOk           = 53,
  kRappingOn       = 54,
  kRappingOff      = 55,
  kRappingOnAndOff = 56,
};

enum AlarmState : int {
  kAlarmNot          = 0,
  kAlarmWarn         = 1,
  kAlarmTrip         = 2,
  kAlarmNone         = -1,
  kAlarmResetCommand = 6,
};

enum class StatisticsReset { kNone, kAll, kIo, kKwh };

// One "Eo:" field: the MIRA factor id and one cell's three limits (0.1 %).
struct EspLimitField {
  int factorId;
  char cell;      // 'A' for every cell, else '0' + cell index
  int limits[3];  // first, intermediate, last field
};

struct Message {
  int sender                                    = 0;      // 1: from a client ("My Data", "I Heard")
  bool command                                  = false;  // "I Command": its keys give the type
  int type                                      = kUnknownMessage;
  int clientAdr                                 = 0;  // node number of a client message
  int masterAdrLimLow                           = 0;  // addressed node range of a master message
  int masterAdrLimHigh                          = 0;
  bool hasOpacity                               = false;
  int opacCurrLim                               = 0;  // "Op:", 0.01 %
  bool hasMiraStatus                            = false;
  short miraStatus                              = 0;   // "Es:", MiraMyStatus word of the sender
  int mode                                      = 0;   // "Mo:" + 1, 0 = no mode
  int tr                                        = -1;  // 1 on, 0 off, -1 not sent
  int alarm                                     = kAlarmNone;
  int watt                                      = 0;  // 0.1 kW
  int kVolt                                     = 0;  // 0.1 kV
  int mAmp                                      = 0;  // mA
  int cRatio                                    = 0;
  char fieldPos                                 = 0;
  int cellPos                                   = 0;
  int myNode                                    = 0;  // "Mn:", node number of the sender
  int parameterValue                            = 0;
  char tagName[kTagNameSize]                    = {};
  char date[7]                                  = {};  // YYMMDD, empty unless six digits arrived
  char time[7]                                  = {};  // HHMMSS, likewise
  char timeText[kTimeTextSize]                  = {};
  int Au                                        = 0;
  int pathNumber                                = 0;  // 1..9 of a path field, 0 = none
  uint32_t pathWord                             = 0;
  int limitCount                                = 0;
  EspLimitField limits[kMaxFields]              = {};
  bool passwordsValid                           = false;
  char passwords[kPasswordCount][kPasswordSize] = {};
  StatisticsReset statisticsReset               = StatisticsReset::kNone;
};

// Decodes one received datagram; a datagram longer than 255 characters is cut to 255
// (with the console line saying so). Has no effect beyond the record and that line.
Message decodeMsg(std::string_view datagram);

// Whether the node lies in the message's addressed range; node 0 never does.
inline bool addresses(const Message& message, int node) {
  return node != 0 && node >= message.masterAdrLimLow && node <= message.masterAdrLimHigh;
}

}  // namespace master
