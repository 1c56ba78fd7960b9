// A fresh machine root with a machine configuration of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace support {

class SupportComponents : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetMachineRoot(root_.path()); }
  void TearDown() override { platform::SetMachineRoot({}); }
  void WriteMachineConfig(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }

  testing_support::TempRoot root_;
};

}  // namespace support
