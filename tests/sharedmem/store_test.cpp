#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "private_store.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace {

using orvix::testing::PrivateStore;
using orvix::testing::StoreTest;

// Runs body in a child process and returns its exit status.
template <typename Body>
int inChild(Body body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int waitStatus = 0;
  waitpid(child, &waitStatus, 0);
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

void defineCounter(int handle) {
  shared_mem->parameter.config[handle].bits.initialized = 1;
  shared_mem->parameter.config[handle].bits.noRangeCheck = 1;
}

TEST_F(StoreTest, TwoProcessesSeeEachOthersWrites) {
  defineCounter(100);
  defineCounter(101);
  int code = 0;
  ASSERT_TRUE(dbSetValueByHandle(100, 1234, &code));
  const key_t key = store_.key();
  const int childResult = inChild([key] {
    shmem_t* own = attach_memory_block(key, sizeof(shmem_t));
    if (own == nullptr) return 10;
    shared_mem = own;
    if (dbReadValueByHandle(100) != 1234) return 11;
    int childCode = 0;
    return dbSetValueByHandle(101, -99, &childCode) ? 0 : 12;
  });
  EXPECT_EQ(childResult, 0);
  EXPECT_EQ(dbReadValueByHandle(101), -99);
}

TEST(StoreSegment, InitCreatesAZeroFilledStoreUnderTheConfiguredKey) {
  PrivateStore reservation;  // a key known to be free once released
  const key_t key = reservation.key();
  ASSERT_TRUE(destroy_memory_block(key));
  const std::string keyText = std::to_string(key);
  setenv("ORVIX_SHM_KEY", keyText.c_str(), 1);
  shmem_t* block = init_shm();
  unsetenv("ORVIX_SHM_KEY");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(shared_mem, block);
  int value = 0;
  int code = 0;
  for (const int handle : {0, 700, 1499}) {
    EXPECT_FALSE(dbGetValueByHandle(handle, &value, &code));
    EXPECT_EQ(code, kTagUninitialised);
  }
  EXPECT_EQ(dbTagNameListStatus(), 0);
  detach_memory_block(block);
  EXPECT_TRUE(destroy_memory_block(key));
  EXPECT_LT(shmget(key, 0, 0), 0);  // really gone
  EXPECT_FALSE(destroy_memory_block(key));
}

TEST(StoreSegment, ASegmentOfAnotherSizeIsRefused) {
  PrivateStore reservation;
  const key_t key = reservation.key();
  ASSERT_TRUE(destroy_memory_block(key));
  for (const size_t otherSize : {size_t{1000}, sizeof(shmem_t) + 4096}) {
    const int id = shmget(key, otherSize, IPC_CREAT | 0600);
    ASSERT_GE(id, 0);
    EXPECT_EQ(attach_memory_block(key, sizeof(shmem_t)), nullptr) << otherSize;
    const std::string keyText = std::to_string(key);
    setenv("ORVIX_SHM_KEY", keyText.c_str(), 1);
    EXPECT_EXIT(init_shm(), ::testing::ExitedWithCode(1), "Could not get shared memory: Invalid argument");
    unsetenv("ORVIX_SHM_KEY");
    shmctl(id, IPC_RMID, nullptr);
  }
  EXPECT_EQ(attach_memory_block(-1, sizeof(shmem_t)), nullptr);
}

TEST(StoreLayout, FlagFieldsSitAtTheirBits) {
  Bit32tag tag{};
  tag.bits.store = 1;
  tag.bits.protect = 1;
  tag.bits.textString = 0xF;
  tag.bits.modeSetting = 5;
  tag.bits.bit27 = 1;
  EXPECT_EQ(tag.all, (1u << 3) | (1u << 6) | (0xFu << 8) | (5u << 17) | (1u << 27));
  Bit32Modbustag modbus{};
  modbus.bits.dataFormat = 2;
  modbus.bits.wordSwap = 1;
  modbus.bits.address = 1107;
  modbus.bits.handleRef = 619;
  EXPECT_EQ(modbus.allModbus, 2u | (1u << 3) | (1107u << 5) | (619u << 20));
  Bit32Canbustag can{};
  can.bits.lastValue = -1;
  can.bits.source = 3;
  can.bits.dataLen = 2;
  can.bits.handleRef = 94;
  EXPECT_EQ(can.allCanbus, 0xFFFFFFFFull | (3ull << 32) | (2ull << 34) | (94ull << 36));
}

TEST_F(StoreTest, ResetClearsTagsNamesAndCountsButLeavesCellsAndTexts) {
  volatile auto& s = *shared_mem;
  s.parameter.iValue[5] = 9;
  s.parameter.iSaveValue[5] = 9;
  s.parameter.config[5].all = 0xFFFFFFFF;
  s.parameter.modbus.address[5] = 12;
  s.tag.name[3][0] = 'x';
  s.tag.unit[3][0] = 'y';
  s.tag.iRef[3] = 5;
  s.tag.status = -4;
  s.canbus.config[7].bits.source = 3;
  s.canbus.config[7].bits.handleRef = 5;
  s.modbus.noOfAttacedVars = 3;
  s.modbus.lastValue[0] = 77;
  s.group.handles[0][0][0] = 123;
  s.text.txt[0][0] = 'T';
  s.text.noOfAttachedTexts = 1;

  shmStructbZero();
  EXPECT_EQ(s.parameter.iValue[5], 0);
  EXPECT_EQ(s.parameter.iSaveValue[5], 0);
  EXPECT_EQ(s.parameter.config[5].all, 0u);
  EXPECT_EQ(s.parameter.modbus.address[5], -1);
  EXPECT_EQ(s.parameter.canbus.address[1499], -1);
  EXPECT_EQ(s.tag.name[3][0], 0);
  EXPECT_EQ(s.tag.unit[3][0], 0);
  EXPECT_EQ(s.tag.iRef[3], -1);
  EXPECT_EQ(s.tag.status, 0);
  EXPECT_EQ(unsigned{s.canbus.config[7].bits.source}, 0u);
  EXPECT_EQ(unsigned{s.canbus.config[7].bits.handleRef}, 5u);
  EXPECT_EQ(s.modbus.noOfAttacedVars, 0);
  EXPECT_EQ(s.text.noOfAttachedTexts, 0);
  EXPECT_EQ(s.modbus.lastValue[0], 77);
  EXPECT_EQ(s.group.handles[0][0][0], 123);
  EXPECT_EQ(s.text.txt[0][0], 'T');
}

}  // namespace
