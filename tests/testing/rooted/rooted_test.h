// A test on a fresh machine root with fresh support objects: the root is
// made for the test and removed after it, the per-thread support objects and
// the registry hive start anew on it and are let go afterwards.
#pragma once

#include <gtest/gtest.h>

#include "testing/temp_root.h"

namespace testing_support {

class RootedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  TempRoot root_;
};

}  // namespace testing_support
