// A tag store of the test's own: a fresh segment under an unused key, attached as the
// process's store for the test's lifetime and removed afterwards.
#pragma once

#include <sys/types.h>

#include <gtest/gtest.h>

#include "sharedmem/shmem.h"

namespace orvix::testing {

class PrivateStore {
 public:
  PrivateStore();
  ~PrivateStore();
  PrivateStore(const PrivateStore&) = delete;
  PrivateStore& operator=(const PrivateStore&) = delete;

  key_t key() const { return key_; }
  shmem_t* block() const { return block_; }

 private:
  key_t key_ = -1;
  shmem_t* block_ = nullptr;
  volatile shmem_t* previous_ = nullptr;
};

// Fixture: every test starts on an empty, reset store.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { shmStructbZero(); }
  PrivateStore store_;
};

}  // namespace orvix::testing
