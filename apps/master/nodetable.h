// The master's node table: the last data each polled node reported, the table of the
// previous poll cycle, and the summary of the whole precipitator made from them.
#pragma once

#include "message.h"

namespace master {

constexpr int kNodeCount   = 1000;  // node addresses 0..999
constexpr int kNodeColumns = 8;

// Columns of one node row; -1 means no data.
enum NodeColumn : int {
  kTrColumn         = 0,  // 1 on, 0 off
  kAlarmColumn      = 1,  // 2 trip, 1 warning, -1 none
  kModeColumn       = 2,  // operating mode + 1 (1..6)
  kPowerColumn      = 3,  // 0.1 kW
  kAckColumn        = 4,  // 1 when the last command was acknowledged, 0 while awaited
  kMiraStatusColumn = 5,  // MiraMyStatus word
  kPositionColumn   = 6,  // position id
  kTimeoutColumn    = 7,  // poll cycles without an answer (0 = answered this cycle)
};

constexpr short kNoData        = -1;
constexpr short kTimeoutCycles = 5;  // a node silent for this many polls is gone
constexpr short kGoneNode      = 6;

// Results of addNode.
enum AddResult : int {
  kAddRefused      = 0,  // the row already holds data of this cycle
  kAddOutsideRange = 1,
  kAddOwnRepeat    = 2,  // the own node's data arrived again and was counted
  kAddEntered      = 3,
};

// Cell (4 bits) shifted left by 4, plus the field index 0..12 of 'A'..'M' (either case).
int positionId(int cell, char fieldLetter);
inline int getCellFromPoId(int positionId) { return (positionId >> 4) & 0xF; }
inline int getFieldFromPoId(int positionId) { return positionId & 0xF; }

class NodeTable {
 public:
  NodeTable() { firstClearNodes(); }

  // Empties both tables; every node starts as gone until it answers.
  void firstClearNodes();
  // Starts a new poll cycle: the current table becomes the old one and is emptied.
  void clearNodes();
  // Enters the own unit's data from the store into the row of vxo_nodeaddress.
  void addMyData();
  // Enters a received "My Data" message.
  AddResult addNode(const Message& message);
  // Folds the rows of the master range into the summary tags and counts the time-out
  // of every silent node. Runs once per poll cycle.
  void sumNodes();

  short value(int node, NodeColumn column) const { return nodes_[node][column]; }
  void setValue(int node, NodeColumn column, short value) { nodes_[node][column] = value; }

 private:
  short nodes_[kNodeCount][kNodeColumns];
  short oldNodes_[kNodeCount][kNodeColumns];
  int countMyself_ = 0;
};

}  // namespace master
