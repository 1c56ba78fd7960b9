// A fresh machine root per test, and paths below it as strings.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace platform::fs {

class FsTest : public ::testing::Test {
 protected:
  FsTest() { SetMachineRoot(root_.path()); }
  ~FsTest() override {
    CloseAllFiles();
    SetMachineRoot({});
  }

  std::string Path(const std::string& rel) const { return (root_ / rel).string(); }
  void Write(const std::string& rel, const std::string& bytes) const { testing_support::WriteFileBytes(root_ / rel, bytes); }
  std::string Read(const std::string& rel) const { return testing_support::ReadFileBytes(root_ / rel); }

  testing_support::TempRoot root_;
};

// The Basic error number a step raised, 0 when it raised none.
template <class F>
int32_t ErrorOf(F&& step) {
  Err::Clear();
  Step(step);
  int32_t number = Err::Number();
  Err::Clear();
  return number;
}

}  // namespace platform::fs
