// A fresh machine root for each branding test, with the branding
// configuration written to it when a test wants one of its own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/root/machine_root.h"
#include "support/branding/branding_file.h"
#include "support/diagnostics/diagnostics.h"
#include "testing/temp_root.h"

namespace support {

class SupportBranding : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMachineRoot(root_.path());
    platform::registry::ResetHiveForTesting();
    SetDiagnosticSink([this](const std::string& line) { diagnostics_.push_back(line); });
  }
  void TearDown() override {
    SetDiagnosticSink(nullptr);
    platform::registry::ResetHiveForTesting();
    platform::SetMachineRoot({});
  }

  // Puts a configuration of the test's own where an administrator would.
  void WriteConfiguration(const std::string& xml) { testing_support::WriteFileBytes(BrandingFilePath(), xml); }
  void WriteMachineConfig(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }

  testing_support::TempRoot root_;
  std::vector<std::string> diagnostics_;
};

}  // namespace support
