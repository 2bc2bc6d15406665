// The summary of the node table: counts, power sums, the position map with its path
// words and the MIRA cell words.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "mastertags.h"
#include "nodetable.h"
#include "sharedmem/tagaccess.h"

namespace master {

namespace {

constexpr int kPositions     = 16;  // cells and fields a 4-bit position id can name
constexpr int kMapFields     = 8;   // fields a path word holds
constexpr int kMiraCells     = 10;  // cells 1..10 have MIRA tags
constexpr int kProductCodes  = 32;  // 5-bit product codes
constexpr short kEmpty       = -1;  // map: no unit
constexpr short kDoubled     = 4;   // map: two units report this position
constexpr uint32_t kPathOn   = 1;   // path word: T/R set on (or a doubled position)
constexpr uint32_t kPathOff  = 2;
constexpr uint32_t kPathNone = 3;  // no unit or unit gone

// MiraMyStatus fields, from bit 0: productCode 5, fieldType 2, cell 4, followsUp 1,
// followsDown 1, idleCurr 3.
struct MyStatus {
  explicit MyStatus(uint16_t word)
      : productCode(word & 0x1F),
        fieldType((word >> 5) & 0x3),
        cell((word >> 7) & 0xF),
        followsUp((word >> 11) & 1),
        followsDown((word >> 12) & 1) {}
  int productCode, fieldType, cell, followsUp, followsDown;
};

// What one cell's nodes report for MIRA.
struct CellMira {
  int fProductCode, fFollowsUp, fFollowsDown;
  int iNumFollowsUp, iNumFollowsDown;
  int lProductCode, lFollowsUp, lFollowsDown;
  int intermediateCodes[kProductCodes];  // tally of the intermediate fields' product codes
  int powers[3];                         // first, intermediate, last; 0.1 kW
};

int saturate4(int count) { return count > 15 ? 15 : count; }

// MiraCellStatus, from bit 0: fProductCode 5, fFollowsUp 1, fFollowsDown 1, iProductCode 5,
// iNumNoStatus 4, iNumFollowsUp 4, iNumFollowsDown 4, lProductCode 5, lFollowsUp 1,
// lFollowsDown 1, spare 1. The intermediate fields' product code is the one most of them
// report; those that report none (code 0) are counted as without status.
uint32_t cellStatusWord(const CellMira& cell) {
  int iProductCode = 0;
  int reports      = 0;
  for (int code = 1; code < kProductCodes; ++code) {
    if (cell.intermediateCodes[code] > reports) {
      reports      = cell.intermediateCodes[code];
      iProductCode = code;
    }
  }
  const int iNumNoStatus = saturate4(cell.intermediateCodes[0]);
  return static_cast<uint32_t>(cell.fProductCode & 0x1F) | static_cast<uint32_t>(cell.fFollowsUp & 1) << 5 |
         static_cast<uint32_t>(cell.fFollowsDown & 1) << 6 | static_cast<uint32_t>(iProductCode) << 7 |
         static_cast<uint32_t>(iNumNoStatus) << 12 | static_cast<uint32_t>(saturate4(cell.iNumFollowsUp)) << 16 |
         static_cast<uint32_t>(saturate4(cell.iNumFollowsDown)) << 20 |
         static_cast<uint32_t>(cell.lProductCode & 0x1F) << 24 | static_cast<uint32_t>(cell.lFollowsUp & 1) << 29 |
         static_cast<uint32_t>(cell.lFollowsDown & 1) << 30;
}

// Share of part in total, per mille, rounded; 0 without a total.
int perMille(long part, long total) { return total == 0 ? 0 : static_cast<int>((part * 1000 + total / 2) / total); }

// ThreePowers of per-mille shares: first bits 0..9, intermediate 10..19, last 20..29.
uint32_t threePowersWord(const int (&powers)[3]) {
  const long total = static_cast<long>(powers[0]) + powers[1] + powers[2];
  return static_cast<uint32_t>(perMille(powers[0], total)) | static_cast<uint32_t>(perMille(powers[1], total)) << 10 |
         static_cast<uint32_t>(perMille(powers[2], total)) << 20;
}

void setTag(int handle, int value) {
  int error = 0;
  dbSetValueByHandle(handle, value, &error);
}

struct Summary {
  int on = 0, off = 0, warnings = 0, trips = 0;
  int modes[tag::kModeCounters] = {};
  long totalPower               = 0;
  short cellPower[kPositions]   = {};  // kW per cell number
  short fieldPower[kPositions]  = {};  // kW per field index
  short map[kPositions][kPositions];   // [cell][field]: T/R state, kDoubled or kEmpty
  int highestCell = 0, fieldCount = 0;
  CellMira mira[kMiraCells + 1] = {};  // by cell number 1..10
};

void foldMira(int node, short word, short power, Summary* s) {
  const MyStatus status(static_cast<uint16_t>(word));
  std::printf("Node:%d\tUp:%d\tDown:%d\n", node, status.followsUp, status.followsDown);
  if (status.cell < 1 || status.cell > kMiraCells) return;
  CellMira& cell       = s->mira[status.cell];
  const int addedPower = power > 0 ? power : 0;
  switch (status.fieldType) {
    case 0:
      cell.fProductCode = status.productCode;
      cell.fFollowsUp   = status.followsUp;
      cell.fFollowsDown = status.followsDown;
      cell.powers[0] += addedPower;
      break;
    case 1:
      cell.iNumFollowsUp += status.followsUp;
      cell.iNumFollowsDown += status.followsDown;
      ++cell.intermediateCodes[status.productCode];
      cell.powers[1] += addedPower;
      break;
    case 2:
      cell.lProductCode = status.productCode;
      cell.lFollowsUp   = status.followsUp;
      cell.lFollowsDown = status.followsDown;
      cell.powers[2] += addedPower;
      break;
    default:
      std::printf("Invalid fieldType in global.nodes[i][ES] node %d all:%d cell %d  fieldType %d \n", node, word,
                  status.cell, status.fieldType);
      break;
  }
}

void countRow(int node, const short (&row)[kNodeColumns], Summary* s) {
  if (row[kTrColumn] == 1) ++s->on;
  if (row[kTrColumn] == 0) ++s->off;
  if (row[kAlarmColumn] == kAlarmWarn) ++s->warnings;
  if (row[kAlarmColumn] == kAlarmTrip) ++s->trips;
  if (row[kModeColumn] >= 1 && row[kModeColumn] <= tag::kModeCounters) ++s->modes[row[kModeColumn] - 1];

  if (row[kPowerColumn] != kNoData) {
    const int position   = row[kPositionColumn] < 0 ? 0 : row[kPositionColumn];
    const int cell       = getCellFromPoId(position);
    const int field      = getFieldFromPoId(position);
    const short kW       = static_cast<short>((row[kPowerColumn] + 5) / 10);
    s->cellPower[cell]   = static_cast<short>(s->cellPower[cell] + kW);
    s->fieldPower[field] = static_cast<short>(s->fieldPower[field] + kW);
    s->map[cell][field]  = s->map[cell][field] == kEmpty ? row[kTrColumn] : kDoubled;
    if (cell > s->highestCell) s->highestCell = cell;
    if (field + 1 > s->fieldCount) s->fieldCount = field + 1;
    s->totalPower += row[kPowerColumn];
    std::printf("cell %d po %d *** ", cell, position);
    std::printf("field %d po %d \n", field, position);
  }
  if (row[kMiraStatusColumn] != kNoData) foldMira(node, row[kMiraStatusColumn], row[kPowerColumn], s);
}

uint32_t pathNibble(short mapValue) {
  if (mapValue == 1 || mapValue == kDoubled) return kPathOn;
  if (mapValue == 0) return kPathOff;
  return kPathNone;
}

// Path words of cells 1..8 and the printed map of the plant.
void publishPositions(const Summary& s) {
  for (int path = 0; path < tag::kPathWords; ++path) setTag(tag::vxi_espunitonoffpath1 + path, 0);
  std::printf("ESP size %d x %d\n", s.highestCell, s.fieldCount);
  for (int field = 0; field < s.fieldCount; ++field) std::printf(" %c ", 'A' + field);
  std::printf("\n");
  int positions = 0, on = 0, unresponsive = 0;
  for (int cell = 1; cell <= s.highestCell; ++cell) {
    std::printf("%d:", cell);
    uint32_t word = 0;
    for (int field = 0; field < s.fieldCount; ++field) {
      const short value = s.map[cell][field];
      if (value == kEmpty) {
        std::printf(" - ");
      } else {
        std::printf(" %d ", value);
      }
      ++positions;
      if (pathNibble(value) == kPathOn) ++on;
      if (pathNibble(value) == kPathNone) ++unresponsive;
      if (field < kMapFields) word |= pathNibble(value) << (4 * field);
    }
    std::printf(":\n");
    if (cell <= tag::kPathWords) setTag(tag::vxi_espunitonoffpath1 + cell - 1, static_cast<int>(word));
  }
  std::printf("On %d %d Unresponsive \n", positions == 0 ? 0 : on * 100 / positions,
              positions == 0 ? 0 : unresponsive * 100 / positions);
}

void publishPowers(const Summary& s) {
  constexpr int kFieldPairTags[] = {tag::vxi_abfieldstotpower, tag::vxi_cdfieldstotpower, tag::vxi_effieldstotpower,
                                    tag::vxi_ghfieldstotpower};
  constexpr int kPathPairTags[]  = {tag::vxi_path12stotpower, tag::vxi_path34stotpower, tag::vxi_path56stotpower,
                                    tag::vxi_path78stotpower};
  for (int pair = 0; pair < 4; ++pair) {
    // Fields are indexed from 0 (A), cells numbered from 1: pair 0 is A/B and cells 1/2.
    setTag(kFieldPairTags[pair], s.fieldPower[2 * pair] * 65536 + s.fieldPower[2 * pair + 1]);
    setTag(kPathPairTags[pair], s.cellPower[2 * pair + 1] * 65536 + s.cellPower[2 * pair + 2]);
  }
}

void publishMira(const Summary& s) {
  int sums[3] = {};
  for (int cell = 1; cell <= kMiraCells; ++cell) {
    const CellMira& mira = s.mira[cell];
    setTag(internal::kCellStatusFirst + cell - 1, static_cast<int>(cellStatusWord(mira)));
    setTag(internal::kCellPowersFirst + cell - 1, static_cast<int>(threePowersWord(mira.powers)));
    for (int part = 0; part < 3; ++part) sums[part] += mira.powers[part];
  }
  const long total = static_cast<long>(sums[0]) + sums[1] + sums[2];
  setTag(tag::vxi_mirapowerfirst, 10 * perMille(sums[0], total));
  setTag(tag::vxi_mirapowerintermediate, 10 * perMille(sums[1], total));
  setTag(tag::vxi_mirapowerlast, 10 * perMille(sums[2], total));
}

void publishCounts(const Summary& s) {
  setTag(tag::vxi_masterwarnalarm, s.warnings);
  setTag(tag::vxi_mastertripalarm, s.trips);
  setTag(tag::vxi_masteralarm, s.warnings + s.trips > 0 ? 1 : 0);
  setTag(tag::vxi_masternrinon, s.on);
  setTag(tag::vxi_masternrinoff, s.off);
  setTag(tag::vxi_mastertotalnr, s.on + s.off);
  setTag(tag::vxi_mastertotpower, static_cast<int>(s.totalPower));
  for (int mode = 0; mode < tag::kModeCounters; ++mode) setTag(tag::vxi_masternrinmode1 + mode, s.modes[mode]);
}

}  // namespace

void NodeTable::sumNodes() {
  int low  = dbReadValueByHandle(tag::vxo_masteradrlimlo);
  int high = dbReadValueByHandle(tag::vxo_masteradrlimlhi);
  if (low < 0) low = 0;
  if (high >= kNodeCount) high = kNodeCount - 1;

  Summary summary;
  for (auto& cells : summary.map) {
    for (short& position : cells) position = kEmpty;
  }
  for (int node = low; node <= high; ++node) {
    short(&row)[kNodeColumns] = nodes_[node];
    if (row[kTrColumn] != kNoData) {
      row[kTimeoutColumn] = 0;
    } else {
      if (row[kTimeoutColumn] < kTimeoutCycles) {
        std::printf("Time Out Time Node %d ur %d \n", node, row[kTimeoutColumn]);
        for (int column = kTrColumn; column <= kPositionColumn; ++column) row[column] = oldNodes_[node][column];
        ++row[kTimeoutColumn];
      }
      if (row[kTimeoutColumn] == kTimeoutCycles) {
        std::printf("node %d time out ..... \n", node);
        for (int column = kTrColumn; column <= kMiraStatusColumn; ++column) {
          row[column]             = kNoData;
          oldNodes_[node][column] = kNoData;
        }
        row[kTimeoutColumn] = kGoneNode;
      }
    }
    countRow(node, row, &summary);
  }
  publishPowers(summary);
  publishPositions(summary);
  publishMira(summary);
  publishCounts(summary);
}

}  // namespace master
