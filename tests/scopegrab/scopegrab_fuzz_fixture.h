// A unit image and tag store of the fuzz target's own, built once per process, with
// standard output silenced (the analyses talk there; libFuzzer reports on standard error).
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "orxtags/storebuilder.h"
#include "scopegrab.h"
#include "sharedmem/shmem.h"

namespace scopegrab::fuzzing {

class Fixture {
 public:
  static Fixture& instance() {
    static Fixture fixture;
    return fixture;
  }
  ScopeGrab& scope() { return *scope_; }

 private:
  Fixture() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    char pattern[] = "/tmp/scopegrab-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    root_ = pattern;
    setenv("ORVIX_ROOT", root_.c_str(), 1);
    std::filesystem::create_directories(root_ + "/tmp");
    std::filesystem::create_directories(root_ + "/home/ftp");
    key_       = 0x0D000000 + (getpid() & 0xFFFF);
    shared_mem = attach_memory_block(key_, sizeof(shmem_t));
    if (shared_mem == nullptr) std::abort();
    tagstore::buildTagStore();
    scope_ = std::make_unique<ScopeGrab>(Global{});
  }
  ~Fixture() {
    destroy_memory_block(key_);
    std::filesystem::remove_all(root_);
  }
  std::string root_;
  key_t key_ = 0;
  std::unique_ptr<ScopeGrab> scope_;
};

}  // namespace scopegrab::fuzzing
