#include "nodetable.h"

#include <cstdio>
#include <cstring>

#include "mastertags.h"
#include "sharedmem/tagaccess.h"

namespace master {

namespace {

constexpr int kLastFieldIndex     = 12;  // 'M'
constexpr int kFieldTypeFirst     = 0;   // MiraMyStatus field types
constexpr int kFieldTypeInter     = 1;
constexpr int kFieldTypeLast      = 2;
constexpr int kStatusFieldTypeBit = 5;
constexpr int kStatusCellBit      = 7;

void clearData(short (&row)[kNodeColumns]) {
  for (int column = kTrColumn; column <= kPositionColumn; ++column) row[column] = kNoData;
}

int alarmColumnValue(int sumAlarm, int sumAlarmTrip) {
  if (sumAlarm != 0) return sumAlarmTrip != 0 ? kAlarmTrip : kAlarmWarn;
  return kAlarmNone;
}

// A MIRA status for a unit that sent none: its cell and whether it is the first, an
// intermediate or the last field of its cell.
int statusFromPosition(int cell, char fieldLetter) {
  const int codeFields = dbReadValueByHandle(tag::vxo_espcodefields);
  int fieldType        = kFieldTypeInter;
  if (fieldLetter == 'A') {
    fieldType = kFieldTypeFirst;
  } else if (fieldLetter > 'A' + codeFields - 1) {
    fieldType = kFieldTypeLast;
  }
  return (cell & 0xF) << kStatusCellBit | fieldType << kStatusFieldTypeBit;
}

}  // namespace

int positionId(int cell, char fieldLetter) {
  int field = 0;
  if (fieldLetter >= 'a' && fieldLetter <= 'a' + kLastFieldIndex) field = fieldLetter - 'a';
  if (fieldLetter >= 'A' && fieldLetter <= 'A' + kLastFieldIndex) field = fieldLetter - 'A';
  return (cell & 0xF) << 4 | field;
}

void NodeTable::firstClearNodes() {
  for (int node = 0; node < kNodeCount; ++node) {
    clearData(nodes_[node]);
    clearData(oldNodes_[node]);
    nodes_[node][kTimeoutColumn]    = kTimeoutCycles;
    oldNodes_[node][kTimeoutColumn] = kTimeoutCycles;
  }
  countMyself_ = 0;
}

void NodeTable::clearNodes() {
  std::memcpy(oldNodes_, nodes_, sizeof nodes_);
  for (auto& row : nodes_) clearData(row);
  countMyself_ = 0;
}

void NodeTable::addMyData() {
  const int own = dbReadValueByHandle(tag::vxo_nodeaddress);
  if (own < 0 || own >= kNodeCount) return;
  short(&row)[kNodeColumns] = nodes_[own];
  row[kTrColumn]            = static_cast<short>(dbReadValueByHandle(tag::vxo_tron));
  row[kAlarmColumn]         = static_cast<short>(
      alarmColumnValue(dbReadValueByHandle(tag::vxi_sumalarm), dbReadValueByHandle(tag::vxi_sumalarmtrip)));
  row[kModeColumn]       = static_cast<short>(dbReadValueByHandle(tag::vxo_mode) + 1);
  row[kPowerColumn]      = static_cast<short>(dbReadValueByHandle(tag::vxi_actpower));
  row[kPositionColumn]   = static_cast<short>(positionId(dbReadValueByHandle(tag::vxo_cellposition),
                                                         static_cast<char>(dbReadValueByHandle(tag::vxo_fieldposition))));
  row[kMiraStatusColumn] = static_cast<short>(dbReadValueByHandle(tag::vxi_miramystatus));
}

AddResult NodeTable::addNode(const Message& message) {
  const int node = message.clientAdr;
  const int low  = dbReadValueByHandle(tag::vxo_masteradrlimlo);
  const int high = dbReadValueByHandle(tag::vxo_masteradrlimlhi);
  if (node < low || node > high || node < 0 || node >= kNodeCount) return kAddOutsideRange;

  short(&row)[kNodeColumns] = nodes_[node];
  const int position        = positionId(message.cellPos, message.fieldPos);
  if (row[kTrColumn] != kNoData) {
    if (node == dbReadValueByHandle(tag::vxo_nodeaddress) && countMyself_ == 0) {
      ++countMyself_;
      std::printf("!!!!!countMyself!!!!: %d %d %d %d \n", node, message.cellPos, message.fieldPos, position);
      return kAddOwnRepeat;
    }
    return kAddRefused;
  }
  row[kTrColumn]       = static_cast<short>(message.tr);
  row[kAlarmColumn]    = static_cast<short>(message.alarm);
  row[kModeColumn]     = static_cast<short>(message.mode);
  row[kPowerColumn]    = static_cast<short>(message.watt);
  row[kPositionColumn] = static_cast<short>(position);
  std::printf("addNode: %d %d %d %d \n", node, message.cellPos, message.fieldPos, position);

  int status = message.miraStatus;
  if (status == 0) {
    std::printf("0 == indata.miraStatus ##############");
    status = statusFromPosition(message.cellPos, message.fieldPos);
    std::printf("indata.miraStatus: %d  \n", status);
  }
  row[kMiraStatusColumn] = static_cast<short>(status);
  return kAddEntered;
}

}  // namespace master
