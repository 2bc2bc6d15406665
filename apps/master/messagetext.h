// The texts of the messages master sends, from their fields.
#pragma once

#include <cstdint>
#include <string>

namespace master {

// What a client reports of itself in "My Data".
struct ClientData {
  int node;
  int tron;   // 1 on, 0 off
  int mode;   // 0..5
  int alarm;  // kAlarmTrip, kAlarmWarn or kAlarmNone
  int watt;   // 0.1 kW
  int kVolt;  // 0.1 kV
  int mAmp;   // mA
  int cRatio;
  char field;      // field letter
  int cell;        // 1..10
  int miraStatus;  // MiraMyStatus word
};

constexpr int kMaxCells = 10;

// What a poll carries.
struct PollData {
  int low, high;                   // addressed node range
  int opacityCurrent;              // vxi_opaccurr, 0.01 %; 10000 sends one limit for all cells
  int factorId;                    // vxi_mirafactorid
  int totalCells;                  // vxo_esptotalcells, 1..10
  uint32_t cellLimits[kMaxCells];  // ThreeLimits of each cell
  int pathOffset;                  // 0..7: path word sent with this poll
  uint32_t pathWord;
};

// The path sent after lastOffset: the next one with a non-zero word, path 1 at the latest.
int nextPathOffset(int lastOffset, const uint32_t (&pathWords)[8]);

std::string pollText(const PollData& poll);
std::string clientDataText(const ClientData& data);
// Commands of types 3, 4, 6 and 7..12 to the node range low..high from node own.
std::string commandText(int type, int low, int high, int own);
// The time command with the given local date and time.
std::string timeCommandText(int low, int high, int own, int year, int month, int day, int hour, int minute, int second);
// The acknowledgement of a command of the given type; lastSetTime for a time command.
std::string heardText(int commandType, int own, const char* lastSetTime);
std::string readAnswerText(bool ok, int own, int value);
std::string setAnswerText(bool ok, int own);
// Rapping groups to switch on and off at one node (bit g - 1 for group g).
std::string rappingText(int node, int own, uint32_t onMask, uint32_t offMask);

}  // namespace master
