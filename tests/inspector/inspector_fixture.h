// A store built by the unit's definitions under a private key, a temporary image, and
// the inspector run against both as a separate process.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "private_store.h"
#include "program_runner.h"
#include "temp_image.h"

namespace orvix::testing {

class InspectorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ProgramResult inspect(const std::vector<std::string>& args) { return runProgram(inspector(), args); }
  static std::string inspector() { return buildProgram("inspector"); }

  // The library's view of a tag, to compare the inspector's output with.
  static int handleOf(const char* name);
  static int valueOf(int handle);
  static void setRaw(int handle, int value);

  PrivateStore store_;
  TempImage image_;
};

// The lines of a text, without their newlines.
std::vector<std::string> linesOf(const std::string& text);
// The text without ANSI colour sequences.
std::string withoutColours(const std::string& text);

}  // namespace orvix::testing
