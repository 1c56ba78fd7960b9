// A fresh machine root for the folder tests, with the thread's support
// objects made anew for it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "contracts/support_objects.h"
#include "platform/registry/registry.h"
#include "platform/root/machine_root.h"
#include "testing/rooted/rooted_test.h"
#include "testing/temp_root.h"

namespace settings {

class FoldersTest : public testing_support::RootedTest {
 protected:
  void WriteMachineConfig(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }
  std::string Native(const std::string& relative) const { return (root_ / relative).string(); }
  std::string LogText() const {
    return testing_support::ReadFileBytes(root_ / "commonfiles/Norvale/QORC/log/hearth.log");
  }

};

}  // namespace settings
