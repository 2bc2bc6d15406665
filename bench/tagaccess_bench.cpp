// Checked access by handle and name lookup, unsorted (linear) against sorted (binary).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"

namespace {

// A private store for the run, removed when the benchmarks end.
class BenchStore {
 public:
  BenchStore() : key_(0x0E000000 + (getpid() & 0xFFFF)) {
    shared_mem = attach_memory_block(key_, sizeof(shmem_t));
    if (shared_mem == nullptr) {
      std::fprintf(stderr, "cannot create the benchmark store\n");
      std::exit(1);
    }
    shmStructbZero();
  }
  ~BenchStore() {
    detach_memory_block(const_cast<shmem_t*>(shared_mem));
    destroy_memory_block(key_);
  }

 private:
  key_t key_;
};

BenchStore& store() {
  static BenchStore instance;
  return instance;
}

// 1200 names of the unit's shape, in handle order (the order the start-up attaches them).
std::vector<std::string> names() {
  std::vector<std::string> result;
  for (int i = 0; i < kNoOfNameSlots; ++i) {
    char name[kTagNameSize];
    std::snprintf(name, sizeof name, "%s_tag%04d_%c", (i * 7919) % 2 ? "vxo" : "vxi", (i * 7919) % 10007, 'a' + i % 26);
    result.emplace_back(name);
  }
  return result;
}

void fillNames(bool sorted) {
  store();
  shmStructbZero();
  std::vector<std::string> list = names();
  std::vector<int> handles(list.size());
  for (size_t i = 0; i < list.size(); ++i) handles[i] = static_cast<int>(i);
  if (sorted) {
    std::vector<size_t> order(list.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return list[a] < list[b]; });
    std::vector<std::string> sortedList;
    std::vector<int> sortedHandles;
    for (size_t i : order) {
      sortedList.push_back(list[i]);
      sortedHandles.push_back(handles[i]);
    }
    list.swap(sortedList);
    handles.swap(sortedHandles);
  }
  for (size_t slot = 0; slot < list.size(); ++slot) {
    std::strncpy(const_cast<char*>(shared_mem->tag.name[slot]), list[slot].c_str(), kTagNameSize - 1);
    shared_mem->tag.iRef[slot] = handles[slot];
    shared_mem->parameter.config[handles[slot]].bits.initialized = 1;
  }
  const int count = static_cast<int>(list.size());
  shared_mem->tag.status = sorted ? -count : count;
}

void defineRangedTag(int handle) {
  store();
  shmStructbZero();
  Bit32tag config{};
  config.bits.objectType = 1;
  config.bits.initialized = 1;
  shared_mem->parameter.config[handle].all = config.all;
  shared_mem->parameter.iMin[handle] = 0;
  shared_mem->parameter.iMax[handle] = 1000000;
}

void CheckedReadByHandle(benchmark::State& state) {
  defineRangedTag(700);
  int value = 0;
  int code = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(dbGetValueByHandle(700, &value, &code));
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(CheckedReadByHandle);

void CheckedWriteByHandle(benchmark::State& state) {
  defineRangedTag(700);
  int code = 0;
  int value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(dbSetValueByHandle(700, value, &code));
    value = (value + 1) & 0xFFFF;
  }
}
BENCHMARK(CheckedWriteByHandle);

void LookupByName(benchmark::State& state, bool sorted) {
  fillNames(sorted);
  const std::vector<std::string> list = names();
  size_t next = 0;
  int handle = 0;
  int code = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(dbGetHandleByTagname(list[next].c_str(), &handle, &code));
    next = (next + 97) % list.size();  // spread over the whole list
  }
  if (code != 0) state.SkipWithError("a name was not found");
}
BENCHMARK_CAPTURE(LookupByName, unsorted_linear_1200, false);
BENCHMARK_CAPTURE(LookupByName, sorted_binary_1200, true);

}  // namespace

BENCHMARK_MAIN();
