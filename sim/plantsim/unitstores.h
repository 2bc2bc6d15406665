// The plant's units as the gas sees them: each unit's tag store gives the voltage and power
// its signal processor reports and the field's place; nothing is written there.
#pragma once

#include <sys/types.h>

#include <vector>

#include "opacitymodel.h"
#include "sharedmem/shmem.h"

namespace plantsim {

class UnitStores {
 public:
  explicit UnitStores(std::vector<key_t> keys) : keys_(std::move(keys)), blocks_(keys_.size(), nullptr) {}

  // Attaches the stores that exist by now (a store is never created here); true when all are.
  bool attach();
  // The energisation of every attached unit.
  std::vector<FieldEnergisation> read() const;
  // The highest cell number a unit reports.
  static int cellsOf(const std::vector<FieldEnergisation>& fields);

 private:
  std::vector<key_t> keys_;
  std::vector<shmem_t*> blocks_;
};

}  // namespace plantsim
