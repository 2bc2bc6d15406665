#include "unitstores.h"

#include <sys/shm.h>

#include <algorithm>

#include "sharedmem/tagaccess.h"

namespace plantsim {

namespace {

// clang-format off
constexpr int kFieldPosition = 622;  // vxo_fieldposition, character code of the field letter
constexpr int kCellPosition  = 624;  // vxo_cellposition, 1..10
constexpr int kSecVoltAvg    = 223;  // vxi_secvoltavg, 0.1 kV
constexpr int kActPower      = 222;  // vxi_actpower, 0.1 kW
// clang-format on

}  // namespace

bool UnitStores::attach() {
  bool all = true;
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (blocks_[i] == nullptr && shmget(keys_[i], 0, 0) >= 0) {
      blocks_[i] = attach_memory_block(keys_[i], sizeof(shmem_t));
    }
    all = all && blocks_[i] != nullptr;
  }
  return all;
}

std::vector<FieldEnergisation> UnitStores::read() const {
  // The tag library reads the process's one store: point it at each unit's in turn.
  volatile shmem_t* const own = shared_mem;
  std::vector<FieldEnergisation> fields;
  for (shmem_t* block : blocks_) {
    if (block == nullptr) continue;
    shared_mem = block;
    fields.push_back({dbReadValueByHandle(kCellPosition), dbReadValueByHandle(kFieldPosition) - 'A',
                      dbReadValueByHandle(kSecVoltAvg), dbReadValueByHandle(kActPower)});
  }
  shared_mem = own;
  return fields;
}

int UnitStores::cellsOf(const std::vector<FieldEnergisation>& fields) {
  int cells = 1;
  for (const FieldEnergisation& field : fields) cells = std::max(cells, field.cell);
  return cells;
}

}  // namespace plantsim
